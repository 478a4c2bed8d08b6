#include "base/instrument_limits.h"

namespace ostra {

std::string LimitRefusal(const FieldLimits& limits, double value) {
  for (const LimitCheck& check : {limits.lower, limits.upper}) {
    if (Fails(check.compare, value, static_cast<double>(check.bound))) {
      return check.text + std::to_string(check.bound) + check.unit;
    }
  }
  return {};
}

}  // namespace ostra
