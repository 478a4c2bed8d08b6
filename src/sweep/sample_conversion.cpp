#include "sweep/sample_conversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "base/text_util.h"
#include "sweep/sweep_programming.h"

namespace ostra {

namespace {

// The reading's count: the 12-bit two's-complement word, high byte first.
// Without a branch: bit 11 times 30 is 0xF000, the sign's extension.
inline int Counts(uint8_t high, uint8_t low) {
  const unsigned w = static_cast<unsigned>(high << 8 | low);
  return static_cast<int16_t>(static_cast<uint16_t>(w | (w & 0x0800u) * 30u));
}

// A count in volts. Every count is an exact multiple of 5/4096 V, and so is
// any sum of counts, so the volts of a sum of counts are exactly the sum of
// the volts of each count.
inline double CountVolts(int64_t counts) { return static_cast<double>(counts) * 5.0 / 4096.0; }

inline double Volts(uint8_t high, uint8_t low) { return CountVolts(Counts(high, low)); }

inline double ReadingVolts(const uint8_t* bytes) { return Volts(bytes[0], bytes[1]); }

// The sums of a point's I and Q counts, reading by reading.
std::pair<int64_t, int64_t> ExactCounts(const uint8_t* p, size_t samples) {
  int64_t counts_i = 0;
  int64_t counts_q = 0;
  for (size_t h = 0; h < samples; ++h, p += 4) {
    counts_i += Counts(p[0], p[1]);
    counts_q += Counts(p[2], p[3]);
  }
  return {counts_i, counts_q};
}

// The same sums, eight bytes (two readings) at a time. A twelve-bit word
// (its four top bits clear, as the instrument sends them) counts as the word
// with bit 11 flipped, less 0x800. Loaded little-endian, the eight bytes are
// I high, I low, Q high, Q low twice over; the high bytes and the low bytes
// are summed in four 16-bit lanes each, which 256 readings cannot overflow.
// A point with any word of more than twelve bits is summed reading by reading.
std::pair<int64_t, int64_t> PointCounts(const uint8_t* p, size_t samples) {
  if constexpr (std::endian::native != std::endian::little) return ExactCounts(p, samples);
  constexpr uint64_t kBytes = 0x00FF00FF00FF00FFull;
  constexpr uint64_t kBit11 = 0x0008000800080008ull;
  constexpr uint64_t kTopBits = 0x00F000F000F000F0ull;
  const size_t pairs = samples / 2;
  uint64_t top = 0;
  int64_t sum_i = 0;
  int64_t sum_q = 0;
  for (size_t done = 0; done < pairs;) {
    const size_t chunk = std::min<size_t>(pairs - done, 128);
    uint64_t high = 0;
    uint64_t low = 0;
    for (size_t k = 0; k < chunk; ++k) {
      uint64_t v;
      std::memcpy(&v, p + 8 * (done + k), sizeof v);
      top |= v;
      v ^= kBit11;
      high += v & kBytes;
      low += (v >> 8) & kBytes;
    }
    const auto lane = [](uint64_t lanes, int n) {
      return static_cast<int64_t>((lanes >> (16 * n)) & 0xFFFF);
    };
    sum_i += 256 * (lane(high, 0) + lane(high, 2)) + lane(low, 0) + lane(low, 2);
    sum_q += 256 * (lane(high, 1) + lane(high, 3)) + lane(low, 1) + lane(low, 3);
    done += chunk;
  }
  if ((top & kTopBits) != 0) return ExactCounts(p, samples);
  const int64_t bias = static_cast<int64_t>(2 * pairs) * 0x800;
  auto [tail_i, tail_q] = ExactCounts(p + 8 * pairs, samples - 2 * pairs);
  return {sum_i - bias + tail_i, sum_q - bias + tail_q};
}

}  // namespace

double SampleVolts(uint8_t high, uint8_t low) { return Volts(high, low); }

void SampleConverter::SizeHistory(int factor, int points) {
  const int rows = std::clamp(factor, 1, kMaxAverageFactor);
  // No run sweeps more points than the per-point arrays hold: a state file's
  // absurd point count must not size a history of gigabytes.
  const int length = std::clamp(points, 0, kMaxTracePoints);
  const size_t size = static_cast<size_t>(rows) * static_cast<size_t>(length);
  history_i_.assign(size, 0.0);
  history_q_.assign(size, 0.0);
  history_rows_ = rows;
  history_length_ = length;
  AverageCount = 0;
}

void SampleConverter::BeginRun(const std::string& capture_mode) {
  SaturationCount = 0;
  previous_factor_ = 0;
  const SweepSettings& sweep = sweep_.Current();
  sweep.Require({Setting::Points, Setting::Dwell, StartBoxOf(sweep.sweep), StopBoxOf(sweep.sweep)});
  RunParameters run;
  run.capture_mode = capture_mode;
  run.sweep_type = settings_.SweepType();
  run.points = static_cast<int>(std::clamp<int64_t>(sweep.points, 0, 65535));
  run.dwell = static_cast<int>(std::clamp<int64_t>(sweep.dwell, 0, 65535));
  run.mode = settings_.Mode();
  run.sweep = sweep.sweep;
  run.measure = sweep.mode;

  // The axis is labelled with span / (points - 1); one point has no span.
  const StimulusAxis axis = ReadStimulusAxis(sweep);
  run.axis = run.sweep == SweepKind::Frequency ? AxisKind::Frequency
             : run.sweep == SweepKind::Phase   ? AxisKind::Phase
                                               : AxisKind::Power;
  run.axis_start = axis.start;
  run.axis_step = axis.step;
  run.settings = sweep;
  run_ = std::move(run);
  run_normal_ = run_.capture_mode == kNormalMode;
}

double SampleConverter::AxisValue(int i) const {
  switch (run_.axis) {
    case AxisKind::Frequency:
      return (static_cast<double>(i) * static_cast<double>(run_.axis_step) +
              static_cast<double>(run_.axis_start)) /
             1000000.0;
    case AxisKind::Phase:
      return static_cast<double>(i) * static_cast<double>(run_.axis_step) +
             static_cast<double>(run_.axis_start);
    case AxisKind::Power:
      break;
  }
  // The step of a power sweep is at most 65535 words: no overflow here.
  const int64_t word = static_cast<int64_t>(i) * run_.axis_step + run_.axis_start;
  return DbmFromPowerWord(static_cast<uint16_t>(word));
}

void SampleConverter::AveragePointSamples(const uint8_t* acquisition, int sweep, int points,
                                          int dwell, size_t acquisition_bytes) {
  const size_t count = points > 0 ? static_cast<size_t>(points) : 0;
  if (PointI.size() != count) {
    PointI.resize(count);
    PointQ.resize(count);
  }
  if (count == 0) return;
  if (dwell <= 0 || sweep < 0 || acquisition == nullptr) {
    std::fill(PointI.begin(), PointI.end(), 0.0);
    std::fill(PointQ.begin(), PointQ.end(), 0.0);
    return;
  }
  const size_t samples = static_cast<size_t>(dwell);
  const size_t point_bytes = samples * 4;
  const size_t sweep_offset = static_cast<size_t>(sweep) * count * point_bytes;
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = sweep_offset + i * point_bytes;
    double sum_i = 0.0;
    double sum_q = 0.0;
    if (begin <= acquisition_bytes && point_bytes <= acquisition_bytes - begin) {
      // Whole counts added up and turned into volts once: the same value
      // as adding the volts of each reading.
      const auto [counts_i, counts_q] = PointCounts(acquisition + begin, samples);
      sum_i = CountVolts(counts_i);
      sum_q = CountVolts(counts_q);
    } else {
      // Past the end of the acquisition: only the samples that are there.
      for (size_t h = 0; h < samples; ++h) {
        const size_t at = begin + h * 4;
        if (at > acquisition_bytes || 4 > acquisition_bytes - at) break;
        sum_i += ReadingVolts(acquisition + at);
        sum_q += ReadingVolts(acquisition + at + 2);
      }
    }
    PointI[i] = sum_i / static_cast<double>(dwell);
    PointQ[i] = sum_q / static_cast<double>(dwell);
  }
}

void SampleConverter::BeginSweep() {
  if (settings_.Checked(Setting::AveEnable) && AverageCount < previous_factor_) ++AverageCount;
}

int SampleConverter::AveragingFactor() {
  // The box is converted again only when a setting has changed since.
  const SweepSettings& sweep = sweep_.Current();
  if (!sweep.bad.empty())
    sweep.Require({Setting::Average});  // per point: the call only when needed
  return static_cast<int>(std::clamp<int64_t>(sweep.average, 1, kMaxAverageFactor));
}

void SampleConverter::AveragePoint(size_t i) {
  const int factor = AveragingFactor();
  previous_factor_ = factor;
  const int length = static_cast<int>(std::min<size_t>(PointI.size(), kMaxTracePoints));
  if (history_rows_ != factor || history_length_ != length) SizeHistory(factor, length);
  if (i >= static_cast<size_t>(history_length_)) return;  // beyond every run's points

  const size_t rows = static_cast<size_t>(factor);
  double* hi = history_i_.data() + i * rows;
  double* hq = history_q_.data() + i * rows;
  double sum_i = 0.0;
  double sum_q = 0.0;
  for (size_t j = 0; j + 1 < rows; ++j) {
    hi[j] = hi[j + 1];
    hq[j] = hq[j + 1];
    sum_i += hi[j];
    sum_q += hq[j];
  }
  hi[rows - 1] = PointI[i];
  hq[rows - 1] = PointQ[i];
  sum_i += PointI[i];
  sum_q += PointQ[i];
  if (AverageCount >= factor && run_normal_) {
    PointI[i] = sum_i / factor;
    PointQ[i] = sum_q / factor;
  }
}

ConvertedPoint SampleConverter::ConvertPoint(int i, bool polar) {
  ConvertedPoint point;
  if (i < 0 || static_cast<size_t>(i) >= PointI.size()) return point;
  const size_t k = static_cast<size_t>(i);

  if (settings_.Checked(Setting::AveEnable)) AveragePoint(k);

  const double pi = PointI[k];
  const double pq = PointQ[k];
  if (pi > kSaturationVolts || pi < -kSaturationVolts) ++SaturationCount;
  if (pq > kSaturationVolts || pq < -kSaturationVolts) ++SaturationCount;

  point.x = AxisValue(i);
  point.raw_i = pi;
  point.raw_q = pq;
  const double in_phase = pi - (k < DcOffsetI.size() ? DcOffsetI[k] : 0.0);
  const double quadrature = pq - (k < DcOffsetQ.size() ? DcOffsetQ[k] : 0.0);
  point.in_phase = in_phase;
  point.quadrature = quadrature;
  if (polar) {
    point.m = std::sqrt(in_phase * in_phase + quadrature * quadrature);
    point.phi = std::atan2(quadrature, in_phase);
  }
  return point;
}

}  // namespace ostra
