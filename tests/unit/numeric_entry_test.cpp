// The keypad on the whole program and the simulated instrument, entry by
// entry: the text the keys build, the unit factor, what each entry applies
// to through the dialog's validators, the stop and restart of the sweep and
// the program the instrument then receives, the remembered reference level
// and scale, and the entries that fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "display/chart_model.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "support/panel_rig.h"
#include "sweep/sweep_programming.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::PanelRig;

// The entry closed: keypad off, box silver and empty.
void ExpectClosed(PanelRig& rig) {
  EXPECT_FALSE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Silver);
  EXPECT_EQ(rig.Pad().Text(), "");
}

// --- Building the text -----------------------------------------------------------------

TEST(KeypadText, KeysAppendADotStartsWithZeroAndEmptyUnitKeysDoNothing) {
  PanelRig rig;
  rig.Keys({"1", "2"});  // the keypad is off until an entry opens
  EXPECT_EQ(rig.Pad().Text(), "");

  rig.Hard(HardKey::amp_ptn);
  rig.Soft("Ref Level");
  EXPECT_TRUE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Aqua);
  EXPECT_EQ(rig.Pad().FocusRequests(), 1u);
  EXPECT_EQ(rig.Pad().EntryFunction(), "Ref Level");
  rig.Keys({"MHz", "kHz", "Hz", "Enter"});
  EXPECT_TRUE(rig.Pad().Enabled());  // nothing to apply
  rig.Keys({"."});
  EXPECT_EQ(rig.Pad().Text(), "0.");
  rig.Keys({"5", "-", ".", "1", "2", "3", "4", "6", "7", "8", "9", "0"});
  EXPECT_EQ(rig.Pad().Text(), "0.5-.123467890");

  // Another entry action keeps the text; a hard key abandons it.
  rig.Soft("Scale");
  EXPECT_EQ(rig.Pad().Text(), "0.5-.123467890");
  EXPECT_EQ(rig.Pad().EntryFunction(), "Scale");
  rig.Hard(HardKey::stimulus_ptn);
  ExpectClosed(rig);
  EXPECT_EQ(rig.Pad().EntryFunction(), "Scale");  // kept, but cannot be applied
  rig.Keys({"1", "Enter"});
  EXPECT_EQ(rig.Text(Setting::Scale), "5");
}

TEST(KeypadText, TheKeyboardTypesIntoTheBoxAndReturnIsEnter) {
  PanelRig rig;
  rig.analyser->Entry().enterboxChange("7");  // the box is disabled: nothing
  EXPECT_EQ(rig.Pad().Text(), "");
  rig.Hard(HardKey::amp_ptn);
  rig.Soft("Ref Level");
  rig.analyser->Entry().enterboxChange("-1");
  rig.analyser->Entry().enterboxChange("-10");
  rig.analyser->Entry().enterboxReturn();
  EXPECT_EQ(rig.Text(Setting::RefLevel), "-10.0");
  ExpectClosed(rig);
}

// --- Stimulus -------------------------------------------------------------------------

TEST(StimulusEntry, TwoFiveMegahertzStartsTheSweepThereAndTheInstrumentIsReprogrammed) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Start");
  EXPECT_EQ(rig.NewStops(), 0u);  // opening the entry leaves the sweep alone
  rig.Keys({"2", "5", "MHz"});
  EXPECT_EQ(rig.Text(Setting::StartFreq), "25000000");
  EXPECT_EQ(rig.Text(Setting::CentreFreq), "37500000");
  EXPECT_EQ(rig.Text(Setting::SpanFreq), "25000000");
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.RestartPending());
  ExpectClosed(rig);
  EXPECT_EQ(rig.analyser->Chart().Axis(AxisId::Bottom).min, 25);

  rig.SweepFor(300);
  const auto program = rig.sim.Counters().last_program;
  ASSERT_TRUE(program);
  EXPECT_EQ(program->start_word, ComputeSweepWords(rig.Settings()).start_word);
  EXPECT_EQ(program->step_word, ComputeSweepWords(rig.Settings()).step_word);
  EXPECT_NE(program->start_word, ComputeSweepWords(InstrumentSettings{}).start_word);
  EXPECT_THAT(rig.LogLines(), ::testing::Contains("Sweep parameters"));
  EXPECT_THAT(rig.Messages(), IsEmpty());
}

TEST(StimulusEntry, OnePointFiveKilohertzIsRefusedTheEntryClosesAndTheSweepRestarts) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Start");
  rig.Keys({"1", ".", "5", "kHz"});
  EXPECT_THAT(rig.Messages(), ElementsAre("Start Frequency can not be less than 500000 Hz"));
  EXPECT_EQ(rig.Text(Setting::StartFreq), "20000000");
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.RestartPending());
  ExpectClosed(rig);
}

TEST(StimulusEntry, CentreSpanAndStopInAFrequencySweep) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Span");
  rig.Keys({"1", "0", "MHz"});
  EXPECT_EQ(rig.Text(Setting::StartFreq), "30000000");
  EXPECT_EQ(rig.Text(Setting::StopFreq), "40000000");
  rig.Soft("Centre");
  rig.Keys({"1", "0", "0", "0", "kHz"});
  EXPECT_EQ(rig.Text(Setting::StartFreq), "500000");  // clamped
  EXPECT_EQ(rig.Text(Setting::StopFreq), "6000000");
  rig.Soft("Stop");
  rig.Keys({"2", ".", "5", "Enter"});  // Enter is hertz: 2 Hz
  EXPECT_THAT(rig.Messages(), ElementsAre("Stop Frequency can not be less than 500000 Hz"));
}

TEST(StimulusEntry, PhaseAndPowerSweepsTakeUnitKeysAsEnterAndRoundTiesToEven) {
  PanelRig rig;
  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Phase");
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Start");
  rig.Keys({"9", "0", "MHz"});
  EXPECT_EQ(rig.Text(Setting::StartPhase), "90");
  rig.Soft("Start");
  rig.Keys({"2", ".", "5", "Enter"});
  EXPECT_EQ(rig.Text(Setting::StartPhase), "2");
  rig.Soft("Start");
  rig.Keys({"3", ".", "5", "kHz"});
  EXPECT_EQ(rig.Text(Setting::StartPhase), "4");
  EXPECT_EQ(rig.Text(Setting::CentrePhase), "182");

  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Power");
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Stop");
  rig.Keys({"-", "2", "0", "MHz"});
  EXPECT_EQ(rig.Text(Setting::StopPower), "-20");
  EXPECT_EQ(rig.Text(Setting::SpanPower), "22");
  EXPECT_THAT(rig.Messages(), IsEmpty());
}

// --- Source ------------------------------------------------------------------------------

TEST(SourceEntry, FrequencyInAPhaseSweepPowerInAFrequencySweep) {
  PanelRig rig;
  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Phase");
  rig.NewStops();
  rig.Hard(HardKey::source_ptn);
  rig.Soft("Frequency");
  EXPECT_EQ(rig.NewStops(), 1u);  // the key itself stops and restarts
  EXPECT_TRUE(rig.RestartPending());
  rig.Keys({"3", "0", "MHz"});
  EXPECT_EQ(rig.Text(Setting::FreqPhase), "30000000");
  rig.SweepFor(300);
  EXPECT_EQ(rig.sim.Counters().last_program->freq_word,
            ComputeSweepWords(rig.Settings()).freq_word);
  EXPECT_EQ(rig.sim.Counters().last_program->sweep_type, 1);

  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Frequency");
  rig.Hard(HardKey::source_ptn);
  rig.Soft("Power");
  rig.Keys({"-", "1", "5", "Enter"});
  EXPECT_EQ(rig.Text(Setting::PowerFreq), "-15");
  rig.Soft("Power");
  rig.Keys({"-", "1", "5", "kHz"});  // minus fifteen thousand
  EXPECT_THAT(rig.Messages(), ElementsAre("Power can not be less than -42 dBm"));
  EXPECT_EQ(rig.Text(Setting::PowerFreq), "-15");
}

TEST(SourceEntry, TheQuantityTheSweepVariesChangesNothingButClosesTheEntry) {
  PanelRig rig;
  const uint64_t revision = rig.Settings().Revision();
  rig.Hard(HardKey::source_ptn);
  rig.Soft("Frequency");
  rig.NewStops();
  rig.Keys({"1", "0", "Enter"});
  EXPECT_EQ(rig.Settings().Revision(), revision);
  EXPECT_EQ(rig.NewStops(), 0u);
  ExpectClosed(rig);
  rig.Soft("Phase");  // no phase source in a frequency sweep either
  rig.Keys({"1", "Enter"});
  rig.analyser->Entry().enterboxChange("abc");
  rig.Keys({"Enter"});
  EXPECT_THAT(rig.Messages(), IsEmpty());
  ExpectClosed(rig);
}

// --- Amplitude and averaging --------------------------------------------------------------

TEST(AmplitudeEntry, OneDecimalRememberedForTheFormatAndAScaleOfZeroRefused) {
  PanelRig rig;
  rig.Hard(HardKey::amp_ptn);
  rig.Soft("Ref Level");
  rig.Keys({"1", "2", ".", "3", "4", "Enter"});
  EXPECT_EQ(rig.Text(Setting::RefLevel), "12.3");
  EXPECT_EQ(rig.analyser->Display().Scaling().RefLevel("Log"), 12.3);
  EXPECT_EQ(rig.analyser->Chart().Axis(AxisId::Left).max, 12.3);
  EXPECT_EQ(rig.NewStops(), 0u);
  EXPECT_FALSE(rig.RestartPending());

  rig.Soft("Scale");
  rig.Keys({"0", ".", "0", "4", "Enter"});
  EXPECT_THAT(rig.Messages(), ElementsAre("Scale can not be less than 0"));
  EXPECT_EQ(rig.Text(Setting::Scale), "5");
  rig.Soft("Scale");
  rig.Keys({"2", "MHz"});  // a unit key makes no scale larger
  EXPECT_EQ(rig.Text(Setting::Scale), "2.0");
  EXPECT_EQ(rig.analyser->Display().Scaling().Scale("Log"), 2);
  EXPECT_EQ(rig.analyser->Chart().Axis(AxisId::Left).min, 12.3 - 40);

  // A format that is none of the five remembers nothing.
  rig.Settings().SetText(Setting::Format, "Polar");
  rig.Soft("Scale");
  rig.Keys({"3", "Enter"});
  EXPECT_EQ(rig.Text(Setting::Scale), "3.0");
  EXPECT_EQ(rig.analyser->Display().Scaling().Scale("Log"), 2);
}

TEST(AverageEntry, RoundedWithoutTheUnitFactorAndWithoutRestart) {
  PanelRig rig;
  rig.Hard(HardKey::ave_ptn);
  rig.Soft("Ave Factor");
  rig.Keys({"1", "6", ".", "5", "MHz"});
  EXPECT_EQ(rig.Text(Setting::Average), "16");
  EXPECT_EQ(rig.NewStops(), 0u);
  EXPECT_FALSE(rig.RestartPending());
  rig.Soft("Ave Factor");
  rig.Keys({"3", "0", "0", "Enter"});
  EXPECT_THAT(rig.Messages(), ElementsAre("Ave can not be more than 256"));
  EXPECT_EQ(rig.analyser->Chart().Label(LabelId::format_lbl).text,
            "Format: Log   Scale: 5   RefLevel: 30   Ave: 16");
}

// --- Markers and the constant-VSWR circle -------------------------------------------------

TEST(MarkerEntry, MarkerTwoAtTwelvePointFiveMegahertzAndLettersKeepTheEntryOpen) {
  PanelRig rig;
  rig.Hard(HardKey::marker_ptn);
  rig.Soft("Marker2");
  EXPECT_EQ(rig.analyser->MarkerModel().Selected(), 1);
  rig.Keys({"1", "2", ".", "5", "MHz"});
  const Marker& marker = rig.analyser->MarkerModel().At(1);
  EXPECT_TRUE(marker.enabled);
  EXPECT_EQ(marker.value, 12500000);
  EXPECT_TRUE(marker.arrows_visible);
  ExpectClosed(rig);

  rig.Soft("Marker4");
  rig.analyser->Entry().enterboxChange("abc");
  rig.Keys({"Enter"});
  EXPECT_THAT(rig.Messages(), ElementsAre("Invalid number"));
  EXPECT_TRUE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Text(), "abc");
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Aqua);
  EXPECT_FALSE(rig.analyser->MarkerModel().At(3).enabled);
}

TEST(ConstVswrEntry, DrawsTheCircleAndClosesWhateverTheText) {
  PanelRig rig;
  rig.Hard(HardKey::format_ptn);
  rig.Soft("Smith");
  rig.Hard(HardKey::display_btn);
  rig.Soft("Const Vswr");
  rig.Keys({"2", "Enter"});
  const ChartModel& chart = rig.analyser->Chart();
  EXPECT_EQ(chart.Series(SeriesId::RefLineSeries).points.size(), 200u);
  EXPECT_EQ(chart.Series(SeriesId::ReflMarker).points.at(0).mark, "VSWR = 2");
  ExpectClosed(rig);
  for (const char* text : {"0", "-1"}) {
    rig.Soft("Const Vswr");
    rig.analyser->Entry().enterboxChange(text);
    rig.Keys({"Enter"});
    ExpectClosed(rig);
  }
  EXPECT_EQ(chart.Series(SeriesId::ReflMarker).points.at(0).mark, "VSWR = 2");
  rig.Soft("Const Vswr");
  rig.analyser->Entry().enterboxChange("two");
  rig.Keys({"Enter"});
  EXPECT_THAT(rig.Messages(), ElementsAre("Invalid number"));
  ExpectClosed(rig);
}

// --- Text that is not a number ------------------------------------------------------------

TEST(BadEntry, NotAFloatLeavesTheEntryOpenAndAStoppedSweepStopped) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Stop");
  rig.Keys({"1", "-", "2", "MHz"});
  EXPECT_THAT(rig.Messages(), ElementsAre("'1-2' is not a valid floating point value"));
  EXPECT_EQ(rig.Text(Setting::StopFreq), "50000000");
  EXPECT_TRUE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Text(), "1-2");
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.analyser->SweepStopRequest());
  EXPECT_FALSE(rig.RestartPending());

  rig.Hard(HardKey::amp_ptn);
  rig.Soft("Scale");
  rig.Keys({".", ".", "Enter"});
  EXPECT_THAT(rig.Messages(), ElementsAre("'0..' is not a valid floating point value"));
  EXPECT_EQ(rig.NewStops(), 0u);
}

TEST(BadEntry, AnEntryDuringTheRunningSweepRestartsItWithTheNewStart) {
  PanelRig rig;
  rig.analyser->Sweep().Restart();
  const int64_t now = rig.platform.NowMicroseconds() / 1000;
  rig.platform.At(now + 200, [&] {
    EXPECT_TRUE(rig.analyser->Engine().RunActive());
    rig.Hard(HardKey::stimulus_ptn);
    rig.Soft("Start");
    rig.Keys({"3", "0", "MHz"});
  });
  rig.SweepFor(600);
  EXPECT_EQ(rig.Text(Setting::StartFreq), "30000000");
  EXPECT_EQ(rig.sim.Counters().last_program->start_word,
            ComputeSweepWords(rig.Settings()).start_word);
  EXPECT_NEAR(rig.analyser->Chart().Series(SeriesId::MagDataSeries).points.front().x, 30, 0.01);
}

}  // namespace
}  // namespace ostra
