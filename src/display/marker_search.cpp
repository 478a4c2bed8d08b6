#include "display/marker_search.h"

#include <cmath>

namespace ostra {

std::optional<std::size_t> ExtremePointIndex(std::span<const double> values, TraceExtreme which) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (std::isnan(values[i])) continue;
    if (!best) {
      best = i;
    } else if (which == TraceExtreme::Maximum ? values[i] > values[*best]
                                              : values[i] < values[*best]) {
      best = i;
    }
  }
  return best;
}

}  // namespace ostra
