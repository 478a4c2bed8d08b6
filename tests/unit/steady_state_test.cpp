// Once warmed up, converting, correcting and plotting a sweep allocates no
// memory: the acquisition loop runs this for every sweep on the
// user-interface thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>
#ifdef _WIN32
#include <malloc.h>
#endif

#include "cal/cal_tables.h"
#include "cal/error_correction.h"
#include "display/chart_model.h"
#include "display/marker_readout.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "sweep/sample_conversion.h"

// The replaced global allocation functions below pair malloc with free; GCC
// cannot see that through inlined standard containers and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

// Every allocation function is replaced, so that each pairs with its own
// deallocation whichever form the standard library calls.
void* CountedAllocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* CountedAllocate(std::size_t size, std::align_val_t align) {
  if (counting) ++allocations;
  const auto a = static_cast<std::size_t>(align);
#ifdef _WIN32
  return _aligned_malloc(size == 0 ? 1 : size, a);  // Windows has no aligned_alloc
#else
  return std::aligned_alloc(a, (size + a - 1) / a * a);
#endif
}
void AlignedFree(void* p) {
#ifdef _WIN32
  _aligned_free(p);
#else
  std::free(p);
#endif
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = CountedAllocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
  if (void* p = CountedAllocate(size, align)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete[](void* p, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { AlignedFree(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { AlignedFree(p); }

namespace ostra {
namespace {

TEST(SteadyState, ASweepAllocatesNothingOnceWarm) {
  for (const bool averaging : {false, true}) {
    for (const char* format : {"Log", "Smith"}) {
      InstrumentSettings settings;
      settings.SetText(Setting::Format, format);
      settings.SetChecked(Setting::AveEnable, averaging);
      SampleConverter converter(settings);
      converter.SizeHistory(8, 201);
      converter.DcOffsetI.assign(201, 0.01);
      converter.DcOffsetQ.assign(201, -0.01);
      CalibrationStore store;
      ChartModel chart;
      TraceDisplay display(chart, settings);
      display.UseInsertionOrder();
      display.UpdateDisplayLayout();
      std::vector<uint8_t> acquisition(19296, 0x01);
      converter.BeginRun("normal");

      auto sweep = [&](int k) {
        converter.AveragePointSamples(acquisition.data(), k, 201, 8, acquisition.size());
        display.ClearTrace();
        converter.BeginSweep();
        for (int i = 0; i < 201; ++i) {
          const ConvertedPoint p = converter.ConvertPoint(i);
          bool doubtful = false;
          const auto result = CorrectPoint(store, converter.Run().sweep, converter.Run().measure, i,
                                           201, p.x, p.m, p.phi, doubtful);
          if (result) display.PlotTracePoint(i, p.x, *result);
        }
      };
      for (int k = 0; k < 12; ++k) sweep(k % 3);  // the history fills, the series grow
      allocations = 0;
      counting = true;
      for (int k = 0; k < 6; ++k) sweep(k % 3);
      counting = false;
      EXPECT_EQ(allocations.load(), 0) << format << (averaging ? " with averaging" : "");
      EXPECT_EQ(chart.Series(SeriesId::MagDataSeries).points.size(), 201u);
    }
  }
}

TEST(SteadyState, RebuildingTheMarkerTableAllocatesNothingOnceWarm) {
  for (const char* format : {"Log", "Smith", "VSWR"}) {
    InstrumentSettings settings;
    settings.SetText(Setting::Format, format);
    ChartModel chart;
    TraceDisplay display(chart, settings);
    display.UseInsertionOrder();
    display.UpdateDisplayLayout();
    display.ShowPhaseOverlay();
    MarkerState markers;
    MarkerReadout readout(settings, display, chart, markers);
    const char* at[] = {"20", "35", "42.5", "60"};
    for (int m = 0; m < 4; ++m) {
      markers.Select(m);
      markers.PlaceSelected(std::stod(at[m]) * 1e6);
    }
    // Three sweeps taking turns, one with an open-like reflection whose
    // impedance is a long text.
    auto sweep = [&](int k) {
      display.ClearTrace();
      for (int i = 0; i < 201; ++i) {
        PointResult r;
        r.gamma = std::polar(k == 2 ? 0.9999 : 0.2 * (k + 1), 0.03 * i - 3);
        display.PlotTracePoint(i, 20 + 0.15 * i, r);
      }
      readout.UpdateMarkers();
    };
    for (int k = 0; k < 6; ++k) sweep(k % 3);
    allocations = 0;
    counting = true;
    for (int k = 0; k < 6; ++k) sweep(k % 3);
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << format;
    EXPECT_EQ(readout.Table().Cell(0, 4), "M4");
  }
}

}  // namespace
}  // namespace ostra
