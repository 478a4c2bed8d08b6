#include "base/sweep_settings.h"

#include <algorithm>

#include "base/constants.h"
#include "base/errors.h"
#include "base/instrument_limits.h"
#include "base/text_util.h"

namespace ostra {

namespace {

// Reads boxes into the value, listing those that do not convert.
class BoxReader {
 public:
  BoxReader(const InstrumentSettings& settings, SweepSettings& out)
      : settings_(settings), out_(out) {}

  int64_t Whole(Setting box) { return Read(box, StrToInt); }
  double Decimal(Setting box) { return Read(box, StrToFloat); }

 private:
  template <typename Convert>
  auto Read(Setting box, Convert convert) -> decltype(convert(std::string_view())) {
    try {
      return convert(settings_.Text(box));
    } catch (const ConversionError& e) {
      out_.bad.push_back({box, e.what()});
      return {};
    }
  }

  const InstrumentSettings& settings_;
  SweepSettings& out_;
};

void ReadStimulus(BoxReader& read, SweepSettings& s) {
  switch (s.sweep) {
    case SweepKind::Frequency:
      s.start = read.Whole(Setting::StartFreq);
      s.stop = read.Whole(Setting::StopFreq);
      s.source_dbm = read.Decimal(Setting::PowerFreq);
      break;
    case SweepKind::Phase:
      s.start = read.Whole(Setting::StartPhase);
      s.stop = read.Whole(Setting::StopPhase);
      s.source_dbm = read.Decimal(Setting::PowerPhase);
      s.source_hz = read.Whole(Setting::FreqPhase);
      break;
    case SweepKind::Power:
    case SweepKind::Other:
      s.start_dbm = read.Decimal(Setting::StartPower);
      s.stop_dbm = static_cast<double>(read.Whole(Setting::StopPower));
      s.source_hz = read.Whole(Setting::FreqPower);
      s.source_deg = read.Whole(Setting::PhasePower);
      break;
  }
}

}  // namespace

Setting StartBoxOf(SweepKind sweep) {
  return sweep == SweepKind::Frequency ? Setting::StartFreq
         : sweep == SweepKind::Phase   ? Setting::StartPhase
                                       : Setting::StartPower;
}

Setting StopBoxOf(SweepKind sweep) {
  return sweep == SweepKind::Frequency ? Setting::StopFreq
         : sweep == SweepKind::Phase   ? Setting::StopPhase
                                       : Setting::StopPower;
}

bool SweepSettings::Converted(Setting box) const {
  return std::none_of(bad.begin(), bad.end(), [box](const BadBox& b) { return b.box == box; });
}

void SweepSettings::Require(std::initializer_list<Setting> boxes) const {
  for (const BadBox& b : bad) {
    if (std::find(boxes.begin(), boxes.end(), b.box) != boxes.end()) {
      throw ConversionError(b.message);
    }
  }
}

void SweepSettings::RequireSweep() const {
  for (const BadBox& b : bad) {
    if (b.box != Setting::Average) throw ConversionError(b.message);
  }
}

SweepSettings ReadSweepSettings(const InstrumentSettings& settings) {
  SweepSettings s;
  BoxReader read(settings, s);
  s.sweep = ParseSweepType(settings.SweepType());
  s.mode = ParseMode(settings.Mode());
  s.dwell = read.Whole(Setting::Dwell);
  s.points = read.Whole(Setting::Points);
  s.rx_gain_db = read.Whole(Setting::RxGain);
  s.preamp = settings.Checked(Setting::Preamp);
  ReadStimulus(read, s);
  s.average = read.Whole(Setting::Average);
  s.average_on = settings.Checked(Setting::AveEnable);
  return s;
}

const SweepSettings& SweepSettingsCache::Current() {
  if (settings_.Revision() != revision_) {
    value_ = ReadSweepSettings(settings_);
    revision_ = settings_.Revision();
  }
  return value_;
}

std::string RunLimitRefusal(const SweepSettings& sweep) {
  const int64_t points = sweep.points == kMaxTracePoints ? kLimits.points.upper : sweep.points;
  std::string refusal = LimitRefusal(kPointsLimits, static_cast<double>(points));
  if (refusal.empty())
    refusal = LimitRefusal({kDwellLimits.lower, {}}, static_cast<double>(sweep.dwell));
  return refusal;
}

}  // namespace ostra
