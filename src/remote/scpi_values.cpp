#include "remote/scpi_values.h"

#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "remote/scpi_error.h"

namespace ostra {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool NamesChoice(std::string_view upper, std::string_view pattern) {
  std::string short_form;
  for (char c : pattern) {
    if (std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)))
      short_form += c;
  }
  return upper == short_form || upper == Upper(pattern);
}

// The multiplier of a bare prefix (SCPI's: "M" is milli, "MA" mega).
bool PrefixFactor(std::string_view prefix, double& factor) {
  static constexpr std::array<std::pair<std::string_view, double>, 8> kPrefixes = {{
      {"", 1.0},
      {"K", 1e3},
      {"M", 1e-3},
      {"MA", 1e6},
      {"G", 1e9},
      {"U", 1e-6},
      {"N", 1e-9},
      {"MI", 1e-6},
  }};
  for (const auto& [name, value] : kPrefixes) {
    if (prefix == name) {
      factor = value;
      return true;
    }
  }
  return false;
}

// The factor of a unit suffix for `unit`; -131 when it is not one.
double SuffixFactor(std::string_view suffix, ScpiUnit unit) {
  const std::string s = Upper(suffix);
  if (s == "MHZ" && unit == ScpiUnit::Hertz) return 1e6;  // the one exception to milli
  static constexpr std::array<std::pair<ScpiUnit, std::string_view>, 4> kUnits = {{
      {ScpiUnit::Hertz, "HZ"},
      {ScpiUnit::Dbm, "DBM"},
      {ScpiUnit::Degree, "DEG"},
      {ScpiUnit::Second, "S"},
  }};
  double factor = 1.0;
  for (const auto& [kind, name] : kUnits) {
    if (kind != unit || s.size() < name.size()) continue;
    if (s.compare(s.size() - name.size(), name.size(), name) != 0) continue;
    if (unit == ScpiUnit::Dbm && s != name) break;  // dBm takes no prefix
    if (PrefixFactor(std::string_view(s).substr(0, s.size() - name.size()), factor)) return factor;
  }
  if (unit != ScpiUnit::Dbm && unit != ScpiUnit::None && PrefixFactor(s, factor)) return factor;
  if (unit == ScpiUnit::None && s.empty()) return 1.0;
  throw ScpiError(scpi::kInvalidSuffix);
}

}  // namespace

double ParseNumber(std::string_view param, ScpiUnit unit, double min, double max) {
  const std::string upper = Upper(param);
  if (upper == "MIN" || upper == "MINIMUM") return min;
  if (upper == "MAX" || upper == "MAXIMUM") return max;
  size_t i = 0;
  if (i < param.size() && (param[i] == '+' || param[i] == '-')) ++i;
  const size_t mantissa = i;
  while (i < param.size() &&
         (std::isdigit(static_cast<unsigned char>(param[i])) || param[i] == '.'))
    ++i;
  if (i == mantissa || (i == mantissa + 1 && param[mantissa] == '.')) {
    throw ScpiError(scpi::kDataTypeError);
  }
  if (i < param.size() && (param[i] == 'e' || param[i] == 'E')) {
    size_t j = i + 1;
    if (j < param.size() && (param[j] == '+' || param[j] == '-')) ++j;
    const size_t digits = j;
    while (j < param.size() && std::isdigit(static_cast<unsigned char>(param[j]))) ++j;
    if (j > digits) i = j;  // otherwise the E begins the suffix ("EX...")
  }
  double value = 0;
  const char* first = param.data() + (param[0] == '+' ? 1 : 0);
  const auto [end, ec] = std::from_chars(first, param.data() + i, value);
  if (ec != std::errc() || end != param.data() + i || !std::isfinite(value)) {
    throw ScpiError(scpi::kNumericDataError);
  }
  std::string_view suffix = param.substr(i);
  while (!suffix.empty() && (suffix.front() == ' ' || suffix.front() == '\t'))
    suffix.remove_prefix(1);
  if (suffix.empty()) return value;
  const double result = value * SuffixFactor(suffix, unit);
  if (!std::isfinite(result)) throw ScpiError(scpi::kNumericDataError);
  return result;
}

bool ParseBool(std::string_view param) {
  const std::string upper = Upper(param);
  if (upper == "ON") return true;
  if (upper == "OFF") return false;
  double value = 0;
  const auto [end, ec] = std::from_chars(param.data(), param.data() + param.size(), value);
  if (ec == std::errc() && end == param.data() + param.size()) return std::nearbyint(value) != 0;
  throw ScpiError(scpi::kIllegalParameterValue);
}

size_t ParseChoice(std::string_view param, std::initializer_list<std::string_view> choices) {
  const std::string upper = Upper(param);
  size_t index = 0;
  for (std::string_view choice : choices) {
    if (NamesChoice(upper, choice)) return index;
    ++index;
  }
  throw ScpiError(scpi::kIllegalParameterValue);
}

std::string ParseString(std::string_view param) {
  if (param.size() < 2 || (param.front() != '"' && param.front() != '\'') ||
      param.back() != param.front()) {
    throw ScpiError(scpi::kDataTypeError);
  }
  const char quote = param.front();
  std::string out;
  for (size_t i = 1; i + 1 < param.size(); ++i) {
    out += param[i];
    if (param[i] == quote) {
      if (param[i + 1] != quote || i + 2 >= param.size()) throw ScpiError(scpi::kInvalidStringData);
      ++i;
    }
  }
  return out;
}

namespace {

// Whole numbers as integers ("20000000"), others in their shortest form.
void AppendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += std::isnan(value) ? "9.91e+37" : (value > 0 ? "9.9e+37" : "-9.9e+37");
    return;
  }
  std::array<char, 32> buffer{};
  std::to_chars_result r{};
  if (value == std::nearbyint(value) && std::fabs(value) < 1e15) {
    r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<int64_t>(value));
  } else {
    r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  }
  out.append(buffer.data(), r.ptr);
}

}  // namespace

std::string FormatNumber(double value) {
  std::string out;
  AppendNumber(out, value);
  return out;
}

std::string FormatInteger(int64_t value) { return std::to_string(value); }

std::string FormatNumberList(std::span<const double> values) {
  std::string out;
  out.reserve(values.size() * 24);
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    AppendNumber(out, values[i]);
  }
  return out;
}

std::string FormatBlock(std::span<const double> values, bool real32, bool swapped) {
  const size_t width = real32 ? 4 : 8;
  const std::string length = std::to_string(values.size() * width);
  std::string out = "#" + std::to_string(length.size()) + length;
  const size_t header = out.size();
  // Room for the line end that follows the block.
  out.reserve(header + values.size() * width + 1);
  out.resize(header + values.size() * width);
  char* p = out.data() + header;
  // NORM is big-endian; SWAP the other way round.
  const bool big = !swapped;
  const bool host_big = std::endian::native == std::endian::big;
  for (double v : values) {
    std::array<unsigned char, 8> bytes{};
    if (real32) {
      const float f = static_cast<float>(v);
      std::memcpy(bytes.data(), &f, 4);
    } else {
      std::memcpy(bytes.data(), &v, 8);
    }
    if (big != host_big) {
      for (size_t i = 0; i < width / 2; ++i) std::swap(bytes[i], bytes[width - 1 - i]);
    }
    std::memcpy(p, bytes.data(), width);
    p += width;
  }
  return out;
}

}  // namespace ostra
