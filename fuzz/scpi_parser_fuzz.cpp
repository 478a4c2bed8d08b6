// What a remote client sends: any bytes split into program messages, every
// command looked up in the command table and every parameter read as each
// kind of value. Nothing may crash; a fault is an error number of the
// command classes; a number read is finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "remote/remote_commands.h"
#include "remote/scpi_error.h"
#include "remote/scpi_parser.h"
#include "remote/scpi_values.h"

using namespace ostra;

namespace {

void ReadParam(std::string_view param) {
  for (ScpiUnit unit : {ScpiUnit::None, ScpiUnit::Hertz, ScpiUnit::Dbm, ScpiUnit::Degree}) {
    try {
      FUZZ_CHECK(std::isfinite(ParseNumber(param, unit, -1, 1)));
    } catch (const ScpiError& e) {
      FUZZ_CHECK(e.Code() <= -100 && e.Code() > -300);
    }
  }
  try {
    ParseBool(param);
  } catch (const ScpiError&) {
  }
  try {
    FUZZ_CHECK(ParseChoice(param, {"MLOGarithmic", "S11", "REAL32"}) < 3);
  } catch (const ScpiError&) {
  }
  try {
    FUZZ_CHECK(ParseString(param).size() < param.size());
  } catch (const ScpiError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CommandTable table;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const ParsedCommand& command : ParseProgramMessage(text)) {
    FUZZ_CHECK(command.error == 0 || (command.error <= -100 && command.error > -200));
    if (command.error != 0) continue;
    FUZZ_CHECK(!command.nodes.empty());
    const CommandTable::Found found = table.Find(command);
    FUZZ_CHECK((found.row != nullptr) == (found.error == 0));
    for (const std::string& param : command.params) ReadParam(param);
  }
  return 0;
}
