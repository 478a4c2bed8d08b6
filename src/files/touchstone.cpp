#include "files/touchstone.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "base/atomic_file.h"
#include "base/text_util.h"

namespace ostra {

namespace {

constexpr const char* kEol = "\r\n";

std::string DateText(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

int64_t Hertz(double mhz) { return RoundHalfEven(mhz * 1e6); }

std::string SweepLine(const SweepRecord& record, int ports) {
  const SweepConditions& c = record.Conditions();
  const auto points = record.Points();
  std::string line = std::string("! ") + (ports == 1 ? "Reflection [S11]" : "Transmission [S21]") +
                     ", " + c.sweep_type + " sweep, " + std::to_string(points.size()) + " points";
  if (!points.empty()) {
    line += " from " + std::to_string(Hertz(points.front().x)) + " Hz to " +
            std::to_string(Hertz(points.back().x)) + " Hz";
  }
  return line;
}

std::string SettingsLine(const SweepConditions& c) {
  return "! Source power " + c.power + " dBm, dwell " + std::to_string(c.dwell) + ", averaging " +
         (c.averaging ? "on, factor " + c.average : std::string("off"));
}

std::string Comments(const SweepRecord& record, const TouchstoneHeader& header, int ports) {
  const SweepConditions& c = record.Conditions();
  std::string text = "! Touchstone file written by " + header.program + kEol;
  text += "! Saved " + DateText(header.saved) + kEol;
  text += SweepLine(record, ports) + kEol;
  text += SettingsLine(c) + kEol;
  text += c.calibration_doubtful
              ? "! Corrected with calibration tables that do not belong to this sweep (C?)"
              : "! Corrected data of the last complete sweep";
  text += kEol;
  if (ports == 2) {
    text += "! Only S21 was measured: S11, S12 and S22 were not measured and are written as 0";
    text += kEol;
  }
  return text;
}

}  // namespace

int TouchstonePorts(const SweepConditions& conditions) {
  if (conditions.sweep != SweepKind::Frequency) return 0;
  switch (conditions.measure) {
    case ModeKind::Reflection:
      return 1;
    case ModeKind::Transmission:
      return 2;
    case ModeKind::Other:
      break;
  }
  return 0;
}

std::string TouchstoneExtension(int ports) { return ports == 2 ? "s2p" : "s1p"; }

std::filesystem::path WithTouchstoneExtension(const std::filesystem::path& file, int ports) {
  const std::string extension = ToUpper(file.extension().string());
  if (extension != ".S1P" && extension != ".S2P") return file;
  std::filesystem::path fixed = file;
  if (extension != "." + ToUpper(TouchstoneExtension(ports))) {
    fixed.replace_extension("." + TouchstoneExtension(ports));
  }
  return fixed;
}

std::string ExactNumber(double value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  if (ec != std::errc()) return "0";
  return std::string(text, end);
}

std::string TouchstoneText(const SweepRecord& record, const TouchstoneHeader& header) {
  const int ports = TouchstonePorts(record.Conditions());
  if (ports == 0) throw std::logic_error("not a frequency response");
  std::string text = Comments(record, header, ports);
  text += "# Hz S RI R 50";
  text += kEol;
  for (const RecordedPoint& p : record.Points()) {
    text += std::to_string(Hertz(p.x));
    const std::string re = ExactNumber(p.value.real());
    const std::string im = ExactNumber(p.value.imag());
    if (ports == 1) {
      text += " " + re + " " + im;
    } else {
      // S11, S21, S12, S22 on one line.
      text += " 0 0 " + re + " " + im + " 0 0 0 0";
    }
    text += kEol;
  }
  return text;
}

void WriteTouchstone(const std::filesystem::path& file, const SweepRecord& record,
                     const TouchstoneHeader& header) {
  const std::string text = TouchstoneText(record, header);
  AtomicFile out(file);
  out.Write(text);
  out.Commit();
}

}  // namespace ostra
