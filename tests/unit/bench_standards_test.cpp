// The simulator's bench reads the calibration prompts as a person would.
#include "sim/bench_standards.h"

#include <gtest/gtest.h>

#include "sim/simulated_instrument.h"

namespace ostra {
namespace {

TEST(StandardAskedFor, EachPromptNamesItsStandard) {
  EXPECT_EQ(StandardAskedFor("Connect Standard LOAD and click OK"), Dut::Load);
  EXPECT_EQ(StandardAskedFor("Connect Standard OPEN and click OK"), Dut::Open);
  EXPECT_EQ(StandardAskedFor("Connect Standard SHORT and click OK"), Dut::Short);
  EXPECT_EQ(StandardAskedFor("Connect THRU adaptor/cable and click OK"), Dut::Thru);
  EXPECT_EQ(StandardAskedFor("Terminate RF IN port on 50ohms load and click OK"), Dut::Load);
  EXPECT_EQ(StandardAskedFor("Error..Device is saturating due to excess power"), std::nullopt);
}

TEST(PromptFollower, ConnectsEachStandardAndPutsTheDeviceBackAfterwards) {
  SimulatedInstrument sim;
  sim.SetDut(Dut::BandPass);
  PromptFollower follower(sim);
  follower.CapturesDone();  // nothing was connected: nothing changes
  EXPECT_EQ(sim.GetDut(), Dut::BandPass);
  follower.PromptAnswered("Connect THRU adaptor/cable and click OK");
  EXPECT_EQ(sim.GetDut(), Dut::Thru);
  follower.PromptAnswered("Some other box");
  EXPECT_EQ(sim.GetDut(), Dut::Thru);
  follower.PromptAnswered("Connect Standard SHORT and click OK");
  EXPECT_EQ(sim.GetDut(), Dut::Short);
  follower.CapturesDone();
  EXPECT_EQ(sim.GetDut(), Dut::BandPass);
  // A later calibration remembers the device of its own start.
  sim.SetDut(Dut::Open);
  follower.PromptAnswered("Connect Standard LOAD and click OK");
  follower.CapturesDone();
  EXPECT_EQ(sim.GetDut(), Dut::Open);
}

}  // namespace
}  // namespace ostra
