// The Sweep Parameters dialog's fields on the whole program: a value typed
// into a field and the field left (its enter and exit handlers), the limits
// and messages of every validator, the dependent fields both ways, the
// whole-number fields, and the three combo boxes changed by the user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/trace_display.h"
#include "panel/validators.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

using testing::AnalyserRig;
using ::testing::ElementsAre;

class DialogFields : public ::testing::Test {
 protected:
  DialogFields() { rig.analyser->Dialog().FormShow(); }

  InstrumentSettings& Settings() { return rig.analyser->Settings(); }
  std::string Text(Setting s) { return Settings().Text(s); }
  // The user enters the field, types `text` over its contents and leaves it.
  void Type(Setting field, const std::string& text) {
    rig.analyser->Dialog().FieldEnter(field);
    Settings().SetText(field, text);
    rig.analyser->Dialog().FieldExit(field);
  }
  std::vector<std::string> Messages() {
    auto texts = rig.platform.MessageTexts();
    rig.platform.ClearMessages();
    return texts;
  }

  AnalyserRig rig;
};

// --- Frequency tab ------------------------------------------------------------------

TEST_F(DialogFields, StartFrequencyBelowTheLimitComesBackAndCentreAndSpanFollowTheOldStart) {
  Settings().SetText(Setting::CentreFreq, "1");  // out of step until the start is left
  Settings().SetText(Setting::SpanFreq, "2");
  Type(Setting::StartFreq, "499999");
  EXPECT_THAT(Messages(), ElementsAre("Start Frequency can not be less than 500000 Hz"));
  EXPECT_EQ(Text(Setting::StartFreq), "20000000");
  EXPECT_EQ(Text(Setting::CentreFreq), "35000000");
  EXPECT_EQ(Text(Setting::SpanFreq), "30000000");

  Type(Setting::StartFreq, "500000");  // the limits are exact
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Text(Setting::StartFreq), "500000");
  Type(Setting::StartFreq, "120000001");
  EXPECT_THAT(Messages(), ElementsAre("Start Frequency can not be more than 120000000 Hz"));
  Type(Setting::StartFreq, "60000000");
  EXPECT_THAT(Messages(), ElementsAre("Start Frequency can not be more than stop frequency"));
  EXPECT_EQ(Text(Setting::StartFreq), "500000");
}

TEST_F(DialogFields, StartAndStopGiveCentreHalvedTiesToEvenAndSpan) {
  Type(Setting::StartFreq, "50000000");  // equal to the stop: accepted
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Text(Setting::CentreFreq), "50000000");
  EXPECT_EQ(Text(Setting::SpanFreq), "0");

  Type(Setting::StartFreq, "1000001");
  Type(Setting::StopFreq, "2000000");
  EXPECT_EQ(Text(Setting::CentreFreq), "1500000");  // 1500000.5 goes to the even neighbour
  EXPECT_EQ(Text(Setting::SpanFreq), "999999");
  Type(Setting::StartFreq, "1000003");
  EXPECT_EQ(Text(Setting::CentreFreq), "1500002");  // 1500001.5 likewise

  Type(Setting::StopFreq, "1000000");
  EXPECT_THAT(Messages(), ElementsAre("Stop Frequency can not be less than start frequency"));
  EXPECT_EQ(Text(Setting::StopFreq), "2000000");
  Type(Setting::StopFreq, "120000000");
  EXPECT_EQ(Text(Setting::StopFreq), "120000000");
  Type(Setting::StopFreq, "499999");
  EXPECT_THAT(Messages(), ElementsAre("Stop Frequency can not be less than 500000 Hz"));
}

TEST_F(DialogFields, CentreAndSpanGiveClampedStartAndStopAndStayAsTyped) {
  Type(Setting::CentreFreq, "1000000");
  EXPECT_EQ(Text(Setting::StartFreq), "500000");  // 1000000 - 15000000 clamped
  EXPECT_EQ(Text(Setting::StopFreq), "16000000");
  EXPECT_EQ(Text(Setting::SpanFreq), "30000000");

  Type(Setting::CentreFreq, "500000");  // a centre must lie above the lower limit
  EXPECT_THAT(Messages(), ElementsAre("Frequency can not be less than 500000"));
  EXPECT_EQ(Text(Setting::CentreFreq), "1000000");
  Type(Setting::CentreFreq, "120000001");
  EXPECT_THAT(Messages(), ElementsAre("Frequency can not be more than 120000000"));

  Type(Setting::CentreFreq, "10000000");
  Type(Setting::SpanFreq, "-1000000");  // no range limit: the start ends above the stop
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Text(Setting::StartFreq), "10500000");
  EXPECT_EQ(Text(Setting::StopFreq), "9500000");

  Type(Setting::CentreFreq, "119000000");
  Type(Setting::SpanFreq, "3");
  EXPECT_EQ(Text(Setting::StartFreq), "118999998");  // 118999998.5 to even
  EXPECT_EQ(Text(Setting::StopFreq), "119000002");   // 119000001.5 to even
  Type(Setting::SpanFreq, "5000000");
  EXPECT_EQ(Text(Setting::StopFreq), "120000000");
}

// A whole number beyond 64 bits is out of the field's range, not invalid.
TEST_F(DialogFields, ANumberTooLargeForSixtyFourBitsGetsTheRangeMessage) {
  Type(Setting::StartFreq, "99999999999999999999");
  EXPECT_THAT(Messages(), ElementsAre("Start Frequency can not be more than 120000000 Hz"));
  EXPECT_EQ(Text(Setting::StartFreq), "20000000");
  Type(Setting::Points, "-99999999999999999999");
  EXPECT_THAT(Messages(), ElementsAre(::testing::StartsWith("Points can not be less than")));
  Type(Setting::StopFreq, "99999999999999999999.5");
  EXPECT_THAT(Messages(), ElementsAre("Invalid number"));
}

TEST_F(DialogFields, WholeNumberFieldsRefuseFractionsAndExponents) {
  for (Setting field : {Setting::StartFreq, Setting::CentreFreq, Setting::SpanFreq,
                        Setting::FreqPhase, Setting::FreqPower, Setting::StartPhase,
                        Setting::SpanPower, Setting::Average, Setting::PhasePower}) {
    const std::string before = Text(field);
    for (const char* typed : {"25000000.5", "2.5e7", "1e6", "abc", "", "12,5"}) {
      Type(field, typed);
      EXPECT_THAT(Messages(), ElementsAre("Invalid number")) << typed;
      EXPECT_EQ(Text(field), before);
    }
  }
  // Decimal fields take them.
  Type(Setting::PowerFreq, "-20.5");
  Type(Setting::Scale, "2.5e-1");
  Type(Setting::RefLevel, "-3,5");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Text(Setting::PowerFreq), "-20.5");
  EXPECT_EQ(Text(Setting::Scale), "2.5e-1");
  Type(Setting::RefLevel, "1-2");
  EXPECT_THAT(Messages(), ElementsAre("Invalid number"));
  EXPECT_EQ(Text(Setting::RefLevel), "-3,5");
}

// --- Phase and power tabs ---------------------------------------------------------------

TEST_F(DialogFields, PhaseAndPowerLimitsAndTheirCrossChecks) {
  Type(Setting::StartPhase, "400");
  EXPECT_THAT(Messages(), ElementsAre("Start Phase can not be more than 360 deg"));
  Type(Setting::StopPhase, "90");
  Type(Setting::StartPhase, "100");
  EXPECT_THAT(Messages(), ElementsAre("Stop phase can not be less than start phase"));
  EXPECT_EQ(Text(Setting::CentrePhase), "45");
  EXPECT_EQ(Text(Setting::SpanPhase), "90");
  Type(Setting::CentrePhase, "0");
  EXPECT_THAT(Messages(), ElementsAre("Phase can not be less than 0"));
  Type(Setting::CentrePhase, "350");
  EXPECT_EQ(Text(Setting::StartPhase), "305");
  EXPECT_EQ(Text(Setting::StopPhase), "360");

  Type(Setting::StopPower, "-20");
  Type(Setting::StartPower, "-12");
  EXPECT_THAT(Messages(), ElementsAre("Stop power can not be less than start power"));
  Type(Setting::StartPower, "-10");
  EXPECT_THAT(Messages(), ElementsAre("Start Power can not be more than -12 dBm"));
  EXPECT_EQ(Text(Setting::StartPower), "-42");
  EXPECT_EQ(Text(Setting::CentrePower), "-31");
  Type(Setting::CentrePower, "-42");
  EXPECT_THAT(Messages(), ElementsAre("Power can not be less than -42"));

  Type(Setting::FreqPhase, "120000001");  // a lower-case "frequency" here
  EXPECT_THAT(Messages(), ElementsAre("frequency can not be more than 120000000 Hz"));
  Type(Setting::FreqPower, "120000001");
  EXPECT_THAT(Messages(), ElementsAre("Frequency can not be more than 120000000 Hz"));
}

// Every range message, character for character, at the first value past each limit.
TEST_F(DialogFields, EveryRangeMessage) {
  struct Case {
    Setting field;
    const char* value;
    const char* message;
  };
  const Case cases[] = {
      {Setting::PowerFreq, "-42.5", "Power can not be less than -42 dBm"},
      {Setting::PowerFreq, "-11.9", "Power can not be more than -12 dBm"},
      {Setting::PowerPhase, "-43", "Power can not be less than -42 dBm"},
      {Setting::PowerPhase, "-11", "Power can not be more than -12 dBm"},
      {Setting::StartPhase, "-1", "Start Phase can not be less than 0 deg"},
      {Setting::StopPhase, "-1", "Stop Phase can not be less than 0 deg"},
      {Setting::StopPhase, "361", "Stop Phase can not be more than 360 deg"},
      {Setting::CentrePhase, "361", "Phase can not be more than 360"},
      {Setting::FreqPhase, "499999", "Frequency can not be less than 500000 Hz"},
      {Setting::StartPower, "-43", "Start Power can not be less than -42 dBm"},
      {Setting::StopPower, "-43", "Stop Power can not be less than -42 dBm"},
      {Setting::StopPower, "-11", "Stop Power can not be more than -12 dBm"},
      {Setting::CentrePower, "-11", "Power can not be more than -12"},
      {Setting::PhasePower, "-1", "Phase can not be less than 0 deg"},
      {Setting::PhasePower, "361", "Phase can not be more than 360 deg"},
      {Setting::FreqPower, "499999", "Frequency can not be less than 500000 Hz"},
      {Setting::Points, "0", "Points can not be less than 1"},
      {Setting::Points, "501", "Points can not be more than 500"},
      {Setting::Dwell, "0", "Dwell can not be less than 1"},
      {Setting::Dwell, "257", "Dwell can not be more than 256"},
      {Setting::Average, "0", "Ave can not be less than 1"},
      {Setting::Average, "257", "Ave can not be more than 256"},
      {Setting::Scale, "0", "Scale can not be less than 0"},
      {Setting::Scale, "-0.1", "Scale can not be less than 0"},
  };
  for (const Case& c : cases) {
    const std::string before = Text(c.field);
    Type(c.field, c.value);
    EXPECT_THAT(Messages(), ElementsAre(c.message)) << c.value;
    EXPECT_EQ(Text(c.field), before);
  }
  for (auto [field, value] : {std::pair{Setting::Scale, "0.1"},
                              {Setting::Points, "500"},
                              {Setting::Dwell, "256"},
                              {Setting::Average, "1"},
                              {Setting::RefLevel, "-1e3"},
                              {Setting::SpanPhase, "-720"}}) {
    Type(field, value);
    EXPECT_TRUE(Messages().empty()) << value;
    EXPECT_EQ(Text(field), value);
  }
}

TEST_F(DialogFields, AStopThatIsNoNumberIsNoLimitAndLeavesCentreAndSpan) {
  Settings().SetText(Setting::StopFreq, "fifty");  // from a hand-edited file
  Type(Setting::StartFreq, "30000000");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Text(Setting::StartFreq), "30000000");
  EXPECT_EQ(Text(Setting::CentreFreq), "35000000");
  Type(Setting::StopFreq, "fifty");
  EXPECT_THAT(Messages(), ElementsAre("Invalid number"));
}

// --- Enter, exit and the dialog's buttons ---------------------------------------------

TEST_F(DialogFields, TheTextAtEnterComesBackAndOkSavesOnlyAcceptedValues) {
  rig.analyser->Dialog().FieldEnter(Setting::StartFreq);
  EXPECT_EQ(rig.analyser->Dialog().PreviousFieldText(), "20000000");
  Settings().SetText(Setting::StartFreq, "2");
  Settings().SetText(Setting::StartFreq, "ab");  // keystroke by keystroke
  Settings().SetText(Setting::StartFreq, "abc");
  rig.analyser->Dialog().FieldExit(Setting::StartFreq);  // OK takes the focus first
  rig.analyser->Dialog().opt_ok_btnClick();
  EXPECT_THAT(Messages(), ElementsAre("Invalid number"));
  const std::string config = testing::ReadFile(rig.CalFile("config.dat"));
  EXPECT_NE(config.find("Start Frequency: 20000000\r\n"), std::string::npos);

  rig.analyser->Dialog().FormShow();
  Type(Setting::StopFreq, "80000000");
  Type(Setting::StartFreq, "10000000");
  rig.analyser->Dialog().opt_ok_btnClick();
  const std::string saved = testing::ReadFile(rig.CalFile("config.dat"));
  EXPECT_NE(saved.find("Centre Frequency: 45000000\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Span: 70000000\r\n"), std::string::npos);
  EXPECT_EQ(rig.analyser->Chart().Label(LabelId::source_lbl).text,
            "Start: 10.000MHz   Stop: 80.000MHz   Centre: 45.000MHz   Span: 70.000MHz   "
            "Power: -20dBm");

  // Fields without a validator have no enter or exit work.
  rig.analyser->Dialog().FieldEnter(Setting::RxGain);
  EXPECT_EQ(rig.analyser->Dialog().PreviousFieldText(), "20000000");
}

// --- Combo boxes ------------------------------------------------------------------------

TEST_F(DialogFields, SweepTypeModeAndFormatChangedByTheUser) {
  Settings().SetText(Setting::RxGain, "39");
  Settings().SetText(Setting::SweepType, "Phase");
  rig.analyser->Dialog().opt_sweep_type_boxChange();
  EXPECT_EQ(Text(Setting::Mode), "Transmission");
  EXPECT_EQ(Text(Setting::Format), "Phase");
  EXPECT_EQ(Text(Setting::RxGain), "24");   // a transmission's gain, or the receiver saturates
  EXPECT_EQ(Text(Setting::RefLevel), "0");  // the format's own change does not run

  Settings().SetText(Setting::SweepType, "Power");
  rig.analyser->Dialog().opt_sweep_type_boxChange();
  EXPECT_EQ(Text(Setting::Format), "Log");
  Settings().SetText(Setting::Mode, "Reflection");
  Settings().SetText(Setting::SweepType, "Frequency");
  rig.analyser->Dialog().opt_sweep_type_boxChange();
  EXPECT_EQ(Text(Setting::Mode), "Reflection");

  Settings().SetText(Setting::Mode, "Transmission");
  rig.analyser->Dialog().opt_mode_boxChange();
  EXPECT_EQ(Text(Setting::RxGain), "24");
  Settings().SetText(Setting::Mode, "transmission");  // compared exactly
  rig.analyser->Dialog().opt_mode_boxChange();
  EXPECT_EQ(Text(Setting::RxGain), "39");

  Settings().SetText(Setting::Format, "Smith");
  rig.analyser->Dialog().opt_format_boxChange();
  EXPECT_EQ(Text(Setting::RefLevel), "1");
  EXPECT_EQ(Text(Setting::Scale), "0.1");
  rig.analyser->Display().Scaling().SetRefLevel("Lin", 2.25);
  Settings().SetText(Setting::Format, "Lin");
  rig.analyser->Dialog().opt_format_boxChange();
  EXPECT_EQ(Text(Setting::RefLevel), "2.25");
  EXPECT_EQ(Text(Setting::Scale), "0.2");
  Settings().SetText(Setting::Format, "Polar");
  rig.analyser->Dialog().opt_format_boxChange();
  EXPECT_EQ(Text(Setting::RefLevel), "2.25");
}

TEST(ValidatorTable, OneValidatorPerValidatedFieldAndTheKeypadsTwenty) {
  int validated = 0;
  for (const SettingInfo& info : SettingTable()) {
    const auto v = ValidatorOf(info.setting);
    if (!v) continue;
    ++validated;
    EXPECT_EQ(InfoOf(*v).field, info.setting);
  }
  EXPECT_EQ(validated, kValidatorCount);
  EXPECT_FALSE(ValidatorOf(Setting::RxGain));
  EXPECT_FALSE(ValidatorOf(Setting::Mode));
  EXPECT_STREQ(InfoOf(FieldValidator::ValidateFreqPhase).name, "ValidateFreqPhase");
}

}  // namespace
}  // namespace ostra
