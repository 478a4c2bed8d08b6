#include "cal/reflection_terms.h"

namespace ostra {

ReflectionTerms ReflectionErrorTerms(std::complex<double> open, std::complex<double> short_,
                                     std::complex<double> load) {
  const std::complex<double> epsilon(kReflectionEpsilon, 0.0);
  const std::complex<double> a = open - load;
  const std::complex<double> b = short_ - load;
  const std::complex<double> e11 = (a + b) / (a - b + epsilon);
  const std::complex<double> e01 = -2.0 * a * b / (a - b + epsilon);
  ReflectionTerms terms;
  terms.load = load;
  terms.e11 = e11;
  terms.base = e01 - load * e11;
  return terms;
}

ReflectionTerms NudgedReflectionErrorTerms(std::complex<double> open, std::complex<double> short_,
                                           std::complex<double> load) {
  bool nudged = false;
  if (open == short_) {
    open += 0.01;
    nudged = true;
  }
  if (open == load) {
    open += 0.01;
    nudged = true;
  }
  if (load == short_) {
    load += 0.01;
    nudged = true;
  }
  ReflectionTerms terms = ReflectionErrorTerms(open, short_, load);
  terms.nudged = nudged;
  return terms;
}

}  // namespace ostra
