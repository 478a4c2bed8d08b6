#include "base/text_util.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/errors.h"

namespace ostra {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::string CutForMessage(std::string_view text) {
  if (text.size() <= kMaxQuotedLength) return std::string(text);
  size_t cut = kMaxQuotedLength;
  // Back off to the start of a UTF-8 character (at most three continuation bytes).
  for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++i)
    --cut;
  return std::string(text.substr(0, cut)) + "...";
}

bool TryStrToInt(std::string_view text, int64_t& value) {
  std::string_view t = TrimBlanks(text);
  if (t.empty()) return false;
  bool negative = false;
  if (t.front() == '+' || t.front() == '-') {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return false;
  uint64_t magnitude = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude);
  if (ec != std::errc() || ptr != t.data() + t.size()) return false;
  if (negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    value = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

int64_t StrToInt(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw ConversionError("'" + CutForMessage(text) + "' is not a valid integer value");
  }
  return value;
}

bool TryStrToFloat(std::string_view text, double& value) {
  std::string t(TrimBlanks(text));
  if (t.empty()) return false;
  for (char& c : t) {
    if (c == ',') c = '.';
  }
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  if (*begin == '+') ++begin;
  if (begin == end) return false;
  // Only digits, one sign, one point and an exponent: no "inf", "nan" or hex.
  for (const char* p = begin; p != end; ++p) {
    const char c = *p;
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E')) {
      return false;
    }
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(v)) return false;
  value = v;
  return true;
}

double StrToFloat(std::string_view text) {
  double value = 0;
  if (!TryStrToFloat(text, value)) {
    throw ConversionError("'" + CutForMessage(text) + "' is not a valid floating point value");
  }
  return value;
}

bool TryWholeNumber(std::string_view text, int64_t factor, int64_t& value) {
  double checked = 0;
  if (!TryStrToFloat(text, checked)) return false;
  std::string t(TrimBlanks(text));
  for (char& c : t) {
    if (c == ',') c = '.';
  }
  const char* begin = t.data();
  if (*begin == '+') ++begin;
  long double v = 0;
  auto [ptr, ec] = std::from_chars(begin, t.data() + t.size(), v, std::chars_format::general);
  if (ec != std::errc()) v = checked;
  const long double r = std::nearbyint(v * static_cast<long double>(factor));
  if (r >= 9.2e18L) {
    value = std::numeric_limits<int64_t>::max();
  } else if (r <= -9.2e18L) {
    value = std::numeric_limits<int64_t>::min();
  } else {
    value = static_cast<int64_t>(r);
  }
  return true;
}

int64_t RoundHalfEven(double value) {
  // std::nearbyint honours the current rounding mode, which is
  // round-to-nearest-even unless someone changed it. Values beyond the 64-bit
  // range (only absurd settings give one) are held at its ends; NaN gives 0.
  if (std::isnan(value)) return 0;
  const double r = std::nearbyint(value);
  if (r >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (r <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

std::string FormatFixed(double value, int decimals) {
  char buffer[400];
  auto [ptr, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "0";
  return std::string(buffer, ptr);
}

std::string FormatGeneral(double value) {
  char buffer[64];
  // Next to the largest double, 15 digits round to a text beyond it that
  // would not read back: there the shortest exact form is written.
  auto [ptr, ec] =
      std::fabs(value) > 1.7e308
          ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general)
          : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  std::string text(buffer, ptr);
  if (text == "-0") text = "0";
  return text;
}

std::string FormatHex(uint64_t value, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buffer;
}

std::string FormatPadded(int64_t value, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*lld", digits, static_cast<long long>(value));
  return buffer;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    if (i >= line.size()) break;
    size_t start = i;
    while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') ++i;
    fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string ToUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace ostra
