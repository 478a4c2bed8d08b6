#include "sim/bench_standards.h"

#include "sim/simulated_instrument.h"

namespace ostra {

std::optional<Dut> StandardAskedFor(std::string_view prompt) {
  auto says = [prompt](std::string_view word) { return prompt.find(word) != prompt.npos; };
  if (says("THRU")) return Dut::Thru;
  if (says("SHORT")) return Dut::Short;
  if (says("OPEN")) return Dut::Open;
  if (says("LOAD") || says("50ohms load")) return Dut::Load;
  return std::nullopt;
}

void PromptFollower::PromptAnswered(std::string_view prompt) {
  const std::optional<Dut> standard = StandardAskedFor(prompt);
  if (!standard) return;
  if (!before_) before_ = sim_.GetDut();
  sim_.SetDut(*standard);
}

void PromptFollower::CapturesDone() {
  if (!before_) return;
  sim_.SetDut(*before_);
  before_.reset();
}

}  // namespace ostra
