#include "files/touchstone.h"

#include <charconv>
#include <cstdio>
#include <span>
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

constexpr const char* kNoFrequencyResponse =
    "There is no measured frequency response to save as a Touchstone file.";
constexpr const char* kNotFrequencySweep =
    "A phase or power sweep is not a frequency response and can not be saved as a Touchstone "
    "file.";
constexpr const char* kFrequenciesRepeat =
    "The points of this sweep are not at different frequencies (a zero span), and a Touchstone "
    "file must list increasing frequencies: save it as comma delimited data instead.";

int64_t Hertz(double mhz) { return RoundHalfEven(mhz * 1e6); }

// True when the points' frequencies all differ, in one direction.
bool Monotonic(std::span<const RecordedPoint> points) {
  if (points.size() < 2) return true;
  const bool rising = Hertz(points.back().x) > Hertz(points.front().x);
  for (size_t i = 1; i < points.size(); ++i) {
    const int64_t a = Hertz(points[i - 1].x);
    const int64_t b = Hertz(points[i].x);
    if (rising ? b <= a : b >= a) return false;
  }
  return true;
}

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

std::optional<std::string> TouchstoneRefusal(const SweepRecord* record) {
  if (record == nullptr) return kNoFrequencyResponse;
  if (TouchstonePorts(record->Conditions()) == 0) {
    return record->Conditions().sweep != SweepKind::Frequency ? kNotFrequencySweep
                                                              : kNoFrequencyResponse;
  }
  if (!Monotonic(record->Points())) return kFrequenciesRepeat;
  return std::nullopt;
}

std::string TouchstoneText(const SweepRecord& record, const TouchstoneHeader& header) {
  if (const auto why = TouchstoneRefusal(&record)) throw std::logic_error(*why);
  const int ports = TouchstonePorts(record.Conditions());
  std::string text = Comments(record, header, ports);
  text += "# Hz S RI R 50";
  text += kEol;
  const auto points = record.Points();
  const bool falling = points.size() > 1 && points.back().x < points.front().x;
  for (size_t k = 0; k < points.size(); ++k) {
    const RecordedPoint& p = points[falling ? points.size() - 1 - k : k];
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
