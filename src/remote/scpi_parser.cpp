#include "remote/scpi_parser.h"

#include <cctype>

#include "remote/scpi_error.h"

namespace ostra {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits at `separator` outside quoted strings; false when a string is not
// closed.
bool SplitOutsideQuotes(std::string_view text, char separator, std::vector<std::string_view>& out) {
  char quote = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;  // a doubled quote reopens at once
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == separator) {
      out.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(text.substr(start));
  return quote == 0;
}

// One mnemonic with its optional numeric suffix; false when it is not one.
bool ReadNode(std::string_view text, HeaderNode& node) {
  if (text.empty() || !IsAlpha(text.front())) return false;
  size_t end = text.size();
  while (end > 0 && IsDigit(text[end - 1])) --end;
  for (size_t i = 0; i < end; ++i) {
    if (!IsAlpha(text[i]) && !IsDigit(text[i]) && text[i] != '_') return false;
  }
  for (size_t i = 0; i < end; ++i) {
    node.mnemonic += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  }
  if (end < text.size()) {
    const std::string_view digits = text.substr(end);
    if (digits.size() > 6) return false;
    node.has_suffix = true;
    node.suffix = 0;
    for (char d : digits) node.suffix = node.suffix * 10 + (d - '0');
  }
  return true;
}

int ReadHeader(std::string_view header, std::vector<HeaderNode>& path, ParsedCommand& command) {
  if (!header.empty() && header.back() == '?') {
    command.query = true;
    header.remove_suffix(1);
  }
  if (!header.empty() && header.front() == '*') {
    command.common = true;
    HeaderNode node;
    if (!ReadNode(header.substr(1), node) || node.has_suffix) return scpi::kSyntaxError;
    node.mnemonic = "*" + node.mnemonic;
    command.nodes.push_back(std::move(node));
    return 0;
  }
  const bool absolute = !header.empty() && header.front() == ':';
  if (absolute) header.remove_prefix(1);
  std::vector<HeaderNode> nodes = absolute ? std::vector<HeaderNode>{} : path;
  std::vector<std::string_view> parts;
  SplitOutsideQuotes(header, ':', parts);
  for (std::string_view part : parts) {
    HeaderNode node;
    if (!ReadNode(part, node)) return scpi::kSyntaxError;
    nodes.push_back(std::move(node));
  }
  command.nodes = nodes;
  nodes.pop_back();
  path = std::move(nodes);
  return 0;
}

int ReadParams(std::string_view text, ParsedCommand& command) {
  text = Trim(text);
  if (text.empty()) return 0;
  std::vector<std::string_view> params;
  if (!SplitOutsideQuotes(text, ',', params)) return scpi::kInvalidStringData;
  for (std::string_view p : params) {
    p = Trim(p);
    if (p.empty()) return scpi::kSyntaxError;
    command.params.emplace_back(p);
  }
  return 0;
}

// A character that no command may hold outside a string.
bool HasInvalidCharacter(std::string_view unit) {
  char quote = 0;
  for (char c : unit) {
    const auto u = static_cast<unsigned char>(c);
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') quote = c;
    if ((u < 0x20 && c != '\t') || u >= 0x7F) return true;
  }
  return false;
}

ParsedCommand ReadCommand(std::string_view unit, std::vector<HeaderNode>& path) {
  ParsedCommand command;
  if (HasInvalidCharacter(unit)) {
    command.error = scpi::kInvalidCharacter;
    return command;
  }
  size_t end = 0;
  while (end < unit.size() && !IsBlank(unit[end])) ++end;
  const std::string_view header = unit.substr(0, end);
  if (header.find('?') != std::string_view::npos && header.find('?') + 1 != header.size()) {
    command.error = scpi::kSyntaxError;
    return command;
  }
  command.error = ReadHeader(header, path, command);
  if (command.error == 0) command.error = ReadParams(unit.substr(end), command);
  return command;
}

}  // namespace

std::vector<ParsedCommand> ParseProgramMessage(std::string_view message) {
  std::vector<ParsedCommand> commands;
  std::vector<std::string_view> units;
  const bool closed = SplitOutsideQuotes(message, ';', units);
  std::vector<HeaderNode> path;
  for (size_t i = 0; i < units.size(); ++i) {
    const std::string_view unit = Trim(units[i]);
    if (unit.empty()) {
      // A message of blanks, or one that ends in ';', holds no command there.
      if (i + 1 == units.size() || (units.size() == 1)) continue;
      ParsedCommand empty;
      empty.error = scpi::kSyntaxError;
      commands.push_back(std::move(empty));
      continue;
    }
    commands.push_back(ReadCommand(unit, path));
    if (!closed && i + 1 == units.size() && commands.back().error == 0) {
      commands.back().error = scpi::kInvalidStringData;
    }
  }
  return commands;
}

}  // namespace ostra
