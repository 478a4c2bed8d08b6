#include <cmath>

#include "remote/remote_commands.h"

namespace ostra {

CommandTable::CommandTable() {
  for (auto rows : {CommonRows(), StimulusRows(), TriggerAndDataRows(), MarkerCalFileRows()}) {
    for (const CommandRow& row : rows) entries_.push_back({ParsePattern(row.pattern), &row});
  }
}

CommandTable::Found CommandTable::Find(const ParsedCommand& command) const {
  Found found;
  found.error = -113;
  for (const Entry& entry : entries_) {
    const HeaderMatch m = MatchHeader(entry.nodes, command.nodes);
    if (!m.matched) continue;
    if (m.suffix_error != 0) {
      found.error = m.suffix_error;
      continue;  // another row may take the header as it is
    }
    const CommandHandler handler = command.query ? entry.row->query : entry.row->set;
    if (handler == nullptr) continue;
    return Found{entry.row, m.index, 0};
  }
  return found;
}

std::vector<std::string> CommandTable::Patterns() const {
  std::vector<std::string> out;
  for (const Entry& entry : entries_) out.emplace_back(entry.row->pattern);
  return out;
}

double NumberParam(const CommandCall& call, ScpiUnit unit, double lower, double upper) {
  const double value = ParseNumber(call.params.at(0), unit, lower, upper);
  if (!(value >= lower && value <= upper)) throw ScpiError(scpi::kDataOutOfRange);
  return value;
}

}  // namespace ostra
