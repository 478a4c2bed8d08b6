// The remote interface's command table: one row per command, with the header
// pattern, the function of its setting form and of its query form, and the
// number of parameters the setting takes. A new command is one row and one
// function.
#pragma once

#include <complex>
#include <span>
#include <string>
#include <vector>

#include "base/measurement.h"
#include "remote/remote_instrument.h"
#include "remote/scpi_parser.h"
#include "remote/scpi_table.h"
#include "remote/scpi_values.h"

namespace ostra {

struct CommandCall {
  const std::vector<std::string>& params;
  int index;  // the numeric suffix of a marker node (1..4), else 1
};

// Returns the reply of a query (nothing is sent for a setting's return).
// Raises ScpiError; a command that raises has changed nothing.
using CommandHandler = std::string (*)(RemoteInstrument&, const CommandCall&);

struct CommandRow {
  const char* pattern;
  CommandHandler set;    // null: the command has no setting form
  CommandHandler query;  // null: the command has no query form
  int min_params;        // of the setting form; a query takes none
  int max_params;
  bool waits = false;  // runs only once the pending sweep is done (*OPC?, *WAI)
};

// The rows, by group.
std::span<const CommandRow> CommonRows();
std::span<const CommandRow> StimulusRows();
std::span<const CommandRow> TriggerAndDataRows();
std::span<const CommandRow> MarkerCalFileRows();

class CommandTable {
 public:
  CommandTable();

  struct Found {
    const CommandRow* row = nullptr;
    int index = 1;
    int error = 0;  // -113 or -114 when no row serves the header
  };
  Found Find(const ParsedCommand& command) const;
  // Every row's pattern, for the documentation and the tests.
  std::vector<std::string> Patterns() const;

 private:
  struct Entry {
    std::vector<PatternNode> nodes;
    const CommandRow* row;
  };
  std::vector<Entry> entries_;
};

// Helpers that the command groups share.
// The one parameter of a setting, as a number of `unit` within `range`
// (MIN and MAX are its ends); -222 outside it.
double NumberParam(const CommandCall& call, ScpiUnit unit, double lower, double upper);
// A point's value in a display format, as FDAT and the markers give it: the
// second number is 0 except in the Smith chart (real, imaginary).
std::pair<double, double> FormattedPoint(FormatKind format, std::complex<double> value);

}  // namespace ostra
