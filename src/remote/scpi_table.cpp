#include "remote/scpi_table.h"

#include <cctype>

namespace ostra {

namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

PatternNode ReadPatternNode(std::string_view text, bool optional) {
  PatternNode node;
  node.optional = optional;
  const size_t hash = text.find('#');
  if (hash != std::string_view::npos) {
    const std::string_view range = text.substr(hash + 1);
    node.max_suffix = range.empty() ? 1 : std::stoi(std::string(range));
    text = text.substr(0, hash);
  }
  for (char c : text) {
    if (std::isupper(static_cast<unsigned char>(c)) || c == '*') node.short_form += c;
    node.long_form += Upper(c);
  }
  return node;
}

bool NameMatches(const PatternNode& p, const HeaderNode& h) {
  return h.mnemonic == p.short_form || h.mnemonic == p.long_form;
}

bool MatchFrom(const std::vector<PatternNode>& p, size_t i, const std::vector<HeaderNode>& in,
               size_t j, HeaderMatch& m) {
  if (i == p.size()) return j == in.size();
  if (p[i].optional && MatchFrom(p, i + 1, in, j, m)) return true;
  if (j == in.size() || !NameMatches(p[i], in[j])) return false;
  if (in[j].has_suffix && p[i].max_suffix == 0) return false;
  if (!MatchFrom(p, i + 1, in, j + 1, m)) return false;
  if (in[j].has_suffix && (in[j].suffix < 1 || in[j].suffix > p[i].max_suffix)) {
    m.suffix_error = -114;
  }
  if (p[i].max_suffix > 1) m.index = in[j].suffix;
  return true;
}

}  // namespace

std::vector<PatternNode> ParsePattern(std::string_view pattern) {
  std::vector<PatternNode> nodes;
  size_t i = 0;
  while (i < pattern.size()) {
    bool optional = false;
    if (pattern[i] == '[') {
      optional = true;
      ++i;
    }
    if (i < pattern.size() && pattern[i] == ':') ++i;
    size_t end = i;
    while (end < pattern.size() && pattern[end] != ':' && pattern[end] != '[' &&
           pattern[end] != ']') {
      ++end;
    }
    nodes.push_back(ReadPatternNode(pattern.substr(i, end - i), optional));
    i = end;
    if (i < pattern.size() && pattern[i] == ']') ++i;
  }
  return nodes;
}

HeaderMatch MatchHeader(const std::vector<PatternNode>& pattern,
                        const std::vector<HeaderNode>& nodes) {
  HeaderMatch m;
  m.matched = MatchFrom(pattern, 0, nodes, 0, m);
  return m;
}

}  // namespace ostra
