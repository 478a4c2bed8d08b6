// Reading one program message of the remote interface (a line without its
// end): the commands separated by ';', each with its header resolved against
// the current path, a query mark and its parameters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostra {

struct HeaderNode {
  std::string mnemonic;  // in upper case, without its numeric suffix
  int suffix = 1;
  bool has_suffix = false;
};

struct ParsedCommand {
  bool common = false;            // "*IDN?": `nodes` holds the one mnemonic, "*" included
  std::vector<HeaderNode> nodes;  // the whole path, from the root
  bool query = false;
  // The parameters as written, blanks around them removed; a string keeps
  // its quotes.
  std::vector<std::string> params;
  int error = 0;  // a syntax fault found in this command (an error number)
};

// The commands of `message` in order. A command that follows another without
// a leading colon continues the previous command's path (all of its nodes but
// the last); a common command leaves the path as it is. A fault in one command
// is reported in its `error` and does not stop the others.
std::vector<ParsedCommand> ParseProgramMessage(std::string_view message);

}  // namespace ostra
