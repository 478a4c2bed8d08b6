// The sweep type, measurement mode and display format are settings texts,
// kept exactly as the file holds them; code that branches on them parses the
// text once into one of these, where a text that matches none of the known
// ones (compared exactly and case-sensitively) is "Other".
#pragma once

#include <string_view>

namespace ostra {

enum class SweepKind { Frequency, Phase, Power, Other };
enum class ModeKind { Reflection, Transmission, Other };
enum class FormatKind { Log, Lin, Phase, VSWR, Smith, Other };

constexpr SweepKind ParseSweepType(std::string_view text) {
  if (text == "Frequency") return SweepKind::Frequency;
  if (text == "Phase") return SweepKind::Phase;
  if (text == "Power") return SweepKind::Power;
  return SweepKind::Other;
}

constexpr ModeKind ParseMode(std::string_view text) {
  if (text == "Reflection") return ModeKind::Reflection;
  if (text == "Transmission") return ModeKind::Transmission;
  return ModeKind::Other;
}

constexpr FormatKind ParseFormat(std::string_view text) {
  if (text == "Log") return FormatKind::Log;
  if (text == "Lin") return FormatKind::Lin;
  if (text == "Phase") return FormatKind::Phase;
  if (text == "VSWR") return FormatKind::VSWR;
  if (text == "Smith") return FormatKind::Smith;
  return FormatKind::Other;
}

}  // namespace ostra
