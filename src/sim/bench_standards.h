// The person at the bench, for the simulated instrument: a calibration prompt
// names the standard to connect ("Connect Standard OPEN and click OK"), and
// closing it means that standard is on the port now. The program's core knows
// nothing of this; the program started with the simulator, and the tests,
// connect the calibration's prompts to it.
#pragma once

#include <optional>
#include <string_view>

#include "sim/dut_model.h"

namespace ostra {

class SimulatedInstrument;

// The standard a prompt asks for: LOAD, OPEN, SHORT, THRU, or a 50 ohm load
// for "Terminate RF IN port on 50ohms load ..."; nothing for any other text.
std::optional<Dut> StandardAskedFor(std::string_view prompt);

// Connects to the simulated instrument the standard each answered prompt asks
// for, and when the calibration's captures are done puts back the device
// under test that was connected before the first.
class PromptFollower {
 public:
  explicit PromptFollower(SimulatedInstrument& sim) : sim_(sim) {}

  void PromptAnswered(std::string_view prompt);
  void CapturesDone();

 private:
  SimulatedInstrument& sim_;
  std::optional<Dut> before_;
};

}  // namespace ostra
