// The sample conversion: any settings a state file can bring (numbers or
// not) and a sample stream of any length and content give finite points,
// or the conversion error.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/instrument_settings.h"
#include "fuzz_check.h"
#include "sweep/sample_conversion.h"

using namespace ostra;

namespace {

// A number as a box holds it, now and then any text.
std::string BoxText(FuzzedDataProvider& in, int64_t low, int64_t high) {
  if (in.ConsumeIntegralInRange<int>(0, 7) == 0) return in.ConsumeRandomLengthString(12);
  return std::to_string(in.ConsumeIntegralInRange<int64_t>(low, high));
}

void FillSettings(FuzzedDataProvider& in, InstrumentSettings& s) {
  s.SetText(Setting::SweepType, in.PickValueInArray({"Frequency", "Phase", "Power", "Other"}));
  s.SetText(Setting::Mode, in.PickValueInArray({"Reflection", "Transmission", "?"}));
  s.SetText(Setting::Points, BoxText(in, -2, kMaxTracePoints + 2));
  s.SetText(Setting::Dwell, BoxText(in, -1, 64));
  // Mostly small factors: a large one (held at 1000) makes every run slow.
  s.SetText(Setting::Average, in.ConsumeIntegralInRange<int>(0, 31) == 0 ? BoxText(in, -2, 2000)
                                                                         : BoxText(in, -2, 40));
  s.SetChecked(Setting::AveEnable, in.ConsumeBool());
  for (Setting axis : {Setting::StartFreq, Setting::StopFreq, Setting::StartPhase,
                       Setting::StopPhase, Setting::StartPower, Setting::StopPower}) {
    s.SetText(axis, BoxText(in, -200000000, 200000000));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  InstrumentSettings settings;
  FillSettings(in, settings);
  SampleConverter converter(settings);
  const std::string capture = in.PickValueInArray({"normal", "open_cal", "dc_offset_cal"});
  const int history_points = in.ConsumeIntegralInRange<int>(0, kMaxTracePoints);
  try {
    converter.SizeHistory(static_cast<int>(settings.Int(Setting::Average)), history_points);
    converter.BeginRun(capture);
  } catch (const ConversionError&) {
    return 0;
  }
  const RunParameters& run = converter.Run();
  converter.DcOffsetI.assign(static_cast<size_t>(std::max(run.points, 0)), 0.01);
  converter.DcOffsetQ.assign(static_cast<size_t>(std::max(run.points, 0)), -0.01);
  const std::vector<uint8_t> stream = in.ConsumeRemainingBytes<uint8_t>();
  for (int sweep = 0; sweep < 3; ++sweep) {
    converter.AveragePointSamples(stream.data(), sweep, run.points, run.dwell, stream.size());
    converter.BeginSweep();
    for (int i = 0; i < run.points; ++i) {
      try {
        const ConvertedPoint p = converter.ConvertPoint(i);
        FUZZ_CHECK(std::isfinite(p.m) && std::isfinite(p.phi) && std::isfinite(p.raw_i));
      } catch (const ConversionError&) {
        return 0;
      }
    }
  }
  return 0;
}
