// The command table's header patterns and the lookup of a parsed header in
// them. A pattern is written as the command tree documents it:
// "[SENSe#]:FREQuency:STARt", "CALCulate#:MARKer#4[:STATe]", "*IDN". Upper
// case letters are the short form, the whole mnemonic the long form, either
// accepted in any letter case; "[...]" is an optional node; "#" a numeric
// suffix that must be 1 (a channel, a trace), "#4" one from 1 to 4.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "remote/scpi_parser.h"

namespace ostra {

struct PatternNode {
  std::string short_form;
  std::string long_form;
  bool optional = false;
  int max_suffix = 0;  // 0: the node takes no suffix
};

std::vector<PatternNode> ParsePattern(std::string_view pattern);

struct HeaderMatch {
  bool matched = false;
  int suffix_error = 0;  // -114 when a suffix is out of its range
  int index = 1;         // the suffix of the node whose range is wider than 1
};

HeaderMatch MatchHeader(const std::vector<PatternNode>& pattern,
                        const std::vector<HeaderNode>& nodes);

}  // namespace ostra
