// Writes the model's 500 points and the program's correction of each to the
// file named by the first argument, one point per line:
// f_hz, measured, open, short, load, gamma (CorrectReflection), gamma
// (CorrectPoint with tables captured at those frequencies), true gamma, each
// complex value as real and imaginary part. Exit status 1 when the point step
// thought the tables doubtful.
#include <cstdio>

#include "cal/cal_tables.h"
#include "cal/error_correction.h"
#include "one_port_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  const auto points = ostra::testing::MakeOnePortPoints(500);
  ostra::CalibrationStore store;
  auto put = [](ostra::CalTable& t, size_t i, double f, std::complex<double> v) {
    (*t.stimulus)[i] = f;
    t.magnitude[i] = std::abs(v);
    t.phase[i] = std::arg(v);
  };
  for (size_t i = 0; i < points.size(); ++i) {
    put(store.Open, i, points[i].f_hz, points[i].open);
    put(store.Short, i, points[i].f_hz, points[i].short_);
    put(store.Load, i, points[i].f_hz, points[i].load);
  }
  // As the tables are after loading; the sweep's lookups carried by a cursor.
  store.PrepareReflectionTerms();
  ostra::OslCursor cursor;
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 2;
  }
  bool doubtful = false;
  const int count = static_cast<int>(points.size());
  for (int i = 0; i < count; ++i) {
    const auto& p = points[static_cast<size_t>(i)];
    const auto gamma = ostra::CorrectReflection(p.measured, p.open, p.short_, p.load);
    const auto point = ostra::CorrectPoint(
        store, ostra::SweepKind::Frequency, ostra::ModeKind::Reflection, i, count, p.f_hz / 1e6,
        std::abs(p.measured), std::arg(p.measured), doubtful, &cursor);
    const auto g2 = point ? point->gamma : std::complex<double>(NAN, NAN);
    std::fprintf(out, "%.17g", p.f_hz);
    for (auto v : {p.measured, p.open, p.short_, p.load, gamma, g2, p.gamma_true}) {
      std::fprintf(out, " %.17g %.17g", v.real(), v.imag());
    }
    std::fputc('\n', out);
  }
  std::fclose(out);
  return doubtful ? 1 : 0;
}
