// The sweep's settings as numbers: which box a bad text is reported in, for
// each sweep type, and one limit refused alike by the dialog, the start of a
// run and a remote client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/sweep_settings.h"
#include "panel/validators.h"
#include "remote/remote_session.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

struct TypeBoxes {
  const char* type;
  std::vector<Setting> boxes;  // in the order they are read
};

TEST(SweepSettings, EachBadBoxOfEachSweepTypeIsReportedWithItsOwnMessage) {
  const TypeBoxes types[] = {
      {"Frequency", {Setting::StartFreq, Setting::StopFreq, Setting::PowerFreq}},
      {"Phase", {Setting::StartPhase, Setting::StopPhase, Setting::PowerPhase, Setting::FreqPhase}},
      {"Power", {Setting::StartPower, Setting::StopPower, Setting::FreqPower, Setting::PhasePower}},
  };
  for (const TypeBoxes& t : types) {
    std::vector<Setting> boxes = {Setting::Dwell, Setting::Points, Setting::RxGain};
    boxes.insert(boxes.end(), t.boxes.begin(), t.boxes.end());
    boxes.push_back(Setting::Average);
    for (Setting box : boxes) {
      SCOPED_TRACE(std::string(t.type) + " " + InfoOf(box).control);
      InstrumentSettings settings;
      settings.SetText(Setting::SweepType, t.type);
      ASSERT_EQ(ReadSweepSettings(settings).FirstBad(), nullptr);
      settings.SetText(box, "7.5x");
      const SweepSettings sweep = ReadSweepSettings(settings);
      ASSERT_NE(sweep.FirstBad(), nullptr);
      EXPECT_EQ(sweep.FirstBad()->box, box);
      const bool decimal =
          box == Setting::PowerFreq || box == Setting::PowerPhase || box == Setting::StartPower;
      EXPECT_EQ(sweep.FirstBad()->message, decimal ? "'7.5x' is not a valid floating point value"
                                                   : "'7.5x' is not a valid integer value");
      // A sweep does not stop at the averaging factor: only averaging does.
      if (box == Setting::Average) {
        EXPECT_NO_THROW(sweep.RequireSweep());
      } else {
        EXPECT_THROW(sweep.RequireSweep(), ConversionError);
      }
    }
    // Another type's boxes are not the sweep's.
    InstrumentSettings settings;
    settings.SetText(Setting::SweepType, t.type);
    for (Setting other : {Setting::StartFreq, Setting::FreqPhase, Setting::PhasePower}) {
      if (std::find(t.boxes.begin(), t.boxes.end(), other) == t.boxes.end()) {
        settings.SetText(other, "x");
      }
    }
    EXPECT_EQ(ReadSweepSettings(settings).FirstBad(), nullptr);
  }

  // Dwell is read before points; the numbers are those of the texts.
  InstrumentSettings settings;
  settings.SetText(Setting::SweepType, "Power");
  settings.SetText(Setting::StartPower, "-30.5");
  SweepSettings sweep = ReadSweepSettings(settings);
  EXPECT_EQ(sweep.sweep, SweepKind::Power);
  EXPECT_EQ(sweep.points, 201);
  EXPECT_DOUBLE_EQ(sweep.start_dbm, -30.5);
  EXPECT_DOUBLE_EQ(sweep.stop_dbm, -12.0);
  EXPECT_EQ(sweep.source_hz, 35000000);
  settings.SetText(Setting::Points, "");
  settings.SetText(Setting::Dwell, "");
  sweep = ReadSweepSettings(settings);
  ASSERT_EQ(sweep.bad.size(), 2u);
  EXPECT_EQ(sweep.bad[0].box, Setting::Dwell);
  EXPECT_THROW(sweep.Require({Setting::Points}), ConversionError);
  EXPECT_NO_THROW((sweep.Require({Setting::RxGain, Setting::Average})));
}

// A client's line and the session's last reply.
std::string Remote(RemoteSession& session, std::vector<std::string>& replies,
                   const std::string& line) {
  replies.clear();
  session.Receive(line);
  return replies.empty() ? std::string() : replies.back();
}

TEST(SweepSettings, APointCountOutsideTheLimitsIsRefusedAlikeEverywhere) {
  // The dialog (and the keypad through it) with its message.
  InstrumentSettings settings;
  std::vector<std::string> shown;
  const auto show = [&](const std::string& m) { shown.push_back(m); };
  EXPECT_FALSE(RunValidator(FieldValidator::ValidatePoints, settings, "201", "502", show));
  EXPECT_FALSE(RunValidator(FieldValidator::ValidatePoints, settings, "201", "0", show));
  EXPECT_FALSE(RunValidator(FieldValidator::ValidateDwell, settings, "8", "0", show));
  EXPECT_THAT(shown, ::testing::ElementsAre("Points can not be more than 500",
                                            "Points can not be less than 1",
                                            "Dwell can not be less than 1"));
  EXPECT_EQ(settings.Text(Setting::Points), "201");

  // The start of a run, with the same messages; a state's 501 points fill
  // the per-point arrays exactly and still sweep.
  shown.clear();
  for (const char* points : {"502", "0", "501"}) {
    settings.SetText(Setting::Points, points);
    shown.push_back(RunLimitRefusal(ReadSweepSettings(settings)));
  }
  settings.SetText(Setting::Points, "201");
  settings.SetText(Setting::Dwell, "0");
  shown.push_back(RunLimitRefusal(ReadSweepSettings(settings)));
  EXPECT_THAT(shown, ::testing::ElementsAre("Points can not be more than 500",
                                            "Points can not be less than 1", "",
                                            "Dwell can not be less than 1"));

  // A remote client: -222, nothing changed; a value within is taken.
  testing::AnalyserRig rig;
  rig.StartUp();  // the first sweep is due but not begun
  RemoteInstrument remote(*rig.analyser);
  std::vector<std::string> replies;
  RemoteSession session(remote, [&](std::string_view r) { replies.emplace_back(r); });
  const InstrumentSettings& live = rig.analyser->Settings();
  for (const char* points : {"501", "502", "0"}) {
    EXPECT_EQ(Remote(session, replies, std::string("SENS:SWE:POIN ") + points + ";:SYST:ERR?\n"),
              "-222,\"Data out of range\"\n");
    EXPECT_EQ(live.Text(Setting::Points), "201");
  }
  EXPECT_EQ(Remote(session, replies, "SENS:SWE:DWEL 0;:SYST:ERR?\n"),
            "-222,\"Data out of range\"\n");
  EXPECT_EQ(Remote(session, replies, "SENS:SWE:POIN 500;:SYST:ERR?\n"), "+0,\"No error\"\n");
  EXPECT_EQ(live.Text(Setting::Points), "500");
}

}  // namespace
}  // namespace ostra
