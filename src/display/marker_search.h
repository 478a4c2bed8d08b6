// The search for a trace's largest or smallest value, which moves a marker
// onto it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace ostra {

enum class TraceExtreme { Maximum, Minimum };

// The index of the largest (or smallest) value, the first of equal ones;
// values that are not numbers are passed over. Nothing for a trace without a
// number.
std::optional<std::size_t> ExtremePointIndex(std::span<const double> values, TraceExtreme which);

}  // namespace ostra
