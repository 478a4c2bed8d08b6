// The front panel on the whole program, menu by menu: what each hard key
// puts on the soft keys by mode, sweep type and format, the lights, the
// keypad a hard key closes, the actions the front panel owns (sweep types,
// averaging, source entries, Advanced), the start-up state and the View menu.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/menu_commands.h"
#include "display/chart_model.h"
#include "display/markers.h"
#include "support/panel_rig.h"
#include "sweep/sweep_programming.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using testing::PanelRig;

using Captions = std::vector<std::string>;

// --- Start-up --------------------------------------------------------------------------

TEST(FrontPanelStart, OptionsBeforeTheFirstStartUpThenTransmissionAndReflection) {
  testing::AnalyserRig rig;
  for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
    EXPECT_EQ(rig.analyser->Panel().Key(i).caption, "Option " + std::to_string(i + 1));
    EXPECT_EQ(rig.analyser->Panel().Key(i).action, ActionId::None);
  }
  EXPECT_EQ(rig.analyser->Panel().LitCount(), 0);
  EXPECT_FALSE(rig.analyser->Panel().Entry().Enabled());
  rig.analyser->Keys().SoftKeyClick(0);  // a key without an action does nothing
  EXPECT_EQ(rig.analyser->Panel().LitCount(), 0);

  rig.StartUp();
  const FrontPanel& panel = rig.analyser->Panel();
  EXPECT_EQ(panel.Key(0).caption, "Transmission");
  EXPECT_EQ(panel.Key(1).caption, "Reflection");
  for (int i = 2; i < FrontPanel::kSoftKeys; ++i) EXPECT_FALSE(panel.Key(i).visible);
  EXPECT_EQ(panel.LitCount(), 0);
  EXPECT_FALSE(panel.Entry().Enabled());
}

TEST(FrontPanelStart, ARecallPutsTheStartUpMenuBackDark) {
  PanelRig rig;
  rig.Hard(HardKey::amp_ptn);
  rig.Soft("Ref Level");
  rig.analyser->Settings().SetText(Setting::Mode, "Transmission");
  save_parameters(rig.Settings(), rig.dir / "state.sta");
  rig.analyser->Shell().RecallSettingsFile(rig.dir / "state.sta");
  rig.platform.RunUntil([&] { return rig.RestartPending(); }, 1000);
  EXPECT_EQ(rig.Menu(), (Captions{"Transmission", "Reflection", "-", "-", "-", "-", "-"}));
  EXPECT_EQ(rig.Panel().LitCount(), 0);
  EXPECT_FALSE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Silver);
}

// --- Menus -----------------------------------------------------------------------------

TEST(HardKeyMenus, EachKeyPutsItsMenuOnTheSoftKeys) {
  PanelRig rig;
  struct Case {
    HardKey key;
    Captions menu;
  };
  const Case cases[] = {
      {HardKey::stimulus_ptn, {"Start", "Stop", "Centre", "Span", "-", "-", "-"}},
      {HardKey::format_ptn, {"Log Mag", " Lin Mag", "Smith", "Phase", "VSWR", "Add Phase", "-"}},
      {HardKey::measure_ptn, {"Transmission", "Reflection", "-", "-", "-", "-", "-"}},
      {HardKey::marker_ptn, {"Marker1", "Marker2", "Marker3", "Marker4", "Clear", "Show", "Hide"}},
      {HardKey::cal_ptn, {"Cal", "-", "-", "-", "-", "-", "-"}},
      {HardKey::amp_ptn, {"Ref Level", "Scale", "-", "-", "-", "-", "-"}},
      {HardKey::source_ptn, {"Frequency", "Phase", "Power", "-", "-", "-", "-"}},
      {HardKey::sweep_ptn, {"Frequency", "Phase", "Power", "-", "-", "-", "-"}},
      {HardKey::ave_ptn, {"Ave On", "Ave Off", "Ave Factor", "-", "-", "-", "-"}},
      {HardKey::save_recall_ptn, {"Save State", "Save Data", "Recall State", "-", "-", "-", "-"}},
      {HardKey::display_btn, {"Data -> Mem", "Clear Mem", "-", "-", "-", "-", "-"}},
      {HardKey::config_ptn, {"Advanced", "Theme", "-", "-", "-", "-", "-"}},
  };
  for (const Case& c : cases) {
    rig.Hard(c.key);
    EXPECT_EQ(rig.Menu(), c.menu) << InfoOf(c.key).name;
    EXPECT_TRUE(rig.Panel().HardKeyLit(c.key));
    EXPECT_EQ(rig.Panel().LitCount(), 1);
  }
  rig.Hard(HardKey::marker_ptn);
  EXPECT_TRUE(rig.platform.PanelVisible(PanelId::MarkerPanel));
}

TEST(HardKeyMenus, VariantsByModeSweepTypeAndFormat) {
  PanelRig rig;
  rig.Hard(HardKey::measure_ptn);
  rig.Soft("Transmission");
  rig.Hard(HardKey::format_ptn);
  EXPECT_EQ(rig.Menu(), (Captions{"Log Mag", " Lin Mag", "Phase", "-", "-", "Add Phase", "-"}));
  rig.Soft("Phase");
  EXPECT_TRUE(rig.Panel().Key(2).lit);
  EXPECT_EQ(rig.Panel().LitCount(), 1);
  EXPECT_EQ(rig.Text(Setting::Format), "Phase");

  for (const char* sweep : {"Phase", "Power"}) {
    rig.Hard(HardKey::sweep_ptn);
    rig.Soft(sweep);
    rig.Hard(HardKey::measure_ptn);
    EXPECT_EQ(rig.Menu(), (Captions{"Transmission", "-", "-", "-", "-", "-", "-"})) << sweep;
  }

  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Frequency");  // reflection again
  rig.Hard(HardKey::format_ptn);
  rig.Soft("Smith");
  rig.Hard(HardKey::display_btn);
  EXPECT_EQ(rig.Menu(), (Captions{"Data -> Mem", "Clear Mem", "Const Vswr", "-", "-", "-", "-"}));
  rig.Hard(HardKey::format_ptn);
  rig.Soft("VSWR");
  rig.Hard(HardKey::display_btn);
  EXPECT_EQ(rig.Menu()[2], "-");
}

TEST(HardKeyMenus, AHiddenKeyKeepsItsActionUntilAMenuShowsItAgain) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Hard(HardKey::cal_ptn);
  EXPECT_FALSE(rig.Panel().Key(1).visible);
  EXPECT_EQ(rig.Panel().Key(1).action, ActionId::stop_stm);
  rig.analyser->Keys().SoftKeyClick(1);  // cannot be clicked
  EXPECT_FALSE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Panel().LitCount(), 1);
  rig.Hard(HardKey::amp_ptn);
  EXPECT_EQ(rig.Panel().Key(1).action, ActionId::Scale);
  rig.analyser->Keys().SoftKeyClick(1);
  EXPECT_EQ(rig.Pad().EntryFunction(), "Scale");
}

TEST(HardKeyMenus, AfterEverySoftKeyOnlyItsFrameIsLit) {
  PanelRig rig;
  for (HardKey key : {HardKey::stimulus_ptn, HardKey::format_ptn, HardKey::marker_ptn,
                      HardKey::amp_ptn, HardKey::source_ptn, HardKey::ave_ptn, HardKey::config_ptn,
                      HardKey::display_btn, HardKey::cal_ptn}) {
    for (int i = 0; i < FrontPanel::kSoftKeys; ++i) {
      rig.Hard(key);
      if (!rig.Panel().Key(i).visible) continue;
      rig.analyser->Keys().SoftKeyClick(i);
      EXPECT_EQ(rig.Panel().LitCount(), 1) << InfoOf(key).name << " key " << i + 1;
      EXPECT_TRUE(rig.Panel().Key(i).lit);
      EXPECT_FALSE(rig.Panel().HardKeyLit(key));
    }
  }
  // Only the calibration's prompts: no action failed.
  for (const std::string& text : rig.Messages())
    EXPECT_THAT(text, ::testing::StartsWith("Connect"));
}

TEST(HardKeyMenus, StimulusAbandonsAPendingEntryConfigLeavesIt) {
  PanelRig rig;
  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Start");
  rig.Keys({"4", "2"});
  rig.Hard(HardKey::config_ptn);
  EXPECT_TRUE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Text(), "42");
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Aqua);
  rig.Keys({"MHz"});
  EXPECT_EQ(rig.Text(Setting::StartFreq), "42000000");

  rig.Hard(HardKey::stimulus_ptn);
  rig.Soft("Stop");
  rig.Keys({"4", "2"});
  rig.Hard(HardKey::stimulus_ptn);
  EXPECT_FALSE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Text(), "");
  EXPECT_EQ(rig.Pad().Colour(), EntryColour::Silver);
}

// --- Actions ---------------------------------------------------------------------------

TEST(SweepMenu, SweepTypesSetModeFormatGainClearMarkersAndRestart) {
  PanelRig rig;
  rig.analyser->MarkerModel().Select(2);
  rig.analyser->MarkerModel().PlaceSelected(30000000);
  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Phase");
  EXPECT_EQ(rig.Text(Setting::SweepType), "Phase");
  EXPECT_EQ(rig.Text(Setting::Mode), "Transmission");
  EXPECT_EQ(rig.Text(Setting::Format), "Phase");
  EXPECT_EQ(rig.Text(Setting::RxGain), "24");
  EXPECT_FALSE(rig.analyser->MarkerModel().At(2).enabled);
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.RestartPending());
  EXPECT_EQ(rig.analyser->Chart().Label(LabelId::modelabel).text,
            "Transmission [S21] -- Phase Sweep");
  rig.SweepFor(300);
  EXPECT_EQ(rig.sim.Counters().last_program->sweep_type, 1);
  EXPECT_EQ(rig.sim.Counters().last_program->mode, 1);
  EXPECT_EQ(rig.sim.Counters().rx_gain_code, 8);
  EXPECT_THAT(rig.Messages(), ::testing::IsEmpty());  // no saturation at 24 dB

  rig.Soft("Power");
  EXPECT_EQ(rig.Text(Setting::Format), "Log");
  EXPECT_EQ(rig.Text(Setting::Mode), "Transmission");
  rig.Soft("Frequency");
  EXPECT_EQ(rig.Text(Setting::Mode), "Reflection");
  EXPECT_EQ(rig.Text(Setting::Format), "Log");
  EXPECT_EQ(rig.Text(Setting::RxGain), "39");
}

TEST(SweepMenu, PhaseAndPowerEmptyTheSmithOverlaysFrequencyKeepsThem) {
  PanelRig rig;
  rig.Hard(HardKey::format_ptn);
  rig.Soft("Smith");
  const ChartModel& chart = rig.analyser->Chart();
  ASSERT_FALSE(chart.Series(SeriesId::SmithGridSeries).points.empty());
  rig.Hard(HardKey::sweep_ptn);
  rig.Soft("Frequency");
  EXPECT_EQ(rig.Text(Setting::Format), "Log");
  EXPECT_FALSE(chart.Series(SeriesId::SmithGridSeries).points.empty());
  rig.Soft("Power");
  EXPECT_TRUE(chart.Series(SeriesId::SmithGridSeries).points.empty());
  EXPECT_TRUE(chart.Series(SeriesId::SmithGridLabel).points.empty());
}

TEST(MeasureMenu, TransmissionAndReflectionRestartAveOnAndOffDoNot) {
  PanelRig rig;
  rig.Hard(HardKey::measure_ptn);
  rig.Soft("Transmission");
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.RestartPending());
  EXPECT_EQ(rig.platform.StatusText(), "Measurement mode is Transmission");
  EXPECT_EQ(rig.Text(Setting::RxGain), "24");
  rig.analyser->Sweep().CancelRestart();

  rig.Hard(HardKey::ave_ptn);
  rig.Soft("Ave On");
  EXPECT_TRUE(rig.Settings().Checked(Setting::AveEnable));
  const ChartLabel& label = rig.analyser->Chart().Label(LabelId::ave_en_lbl);
  EXPECT_TRUE(label.visible);
  EXPECT_EQ(label.text, "Average ON");
  rig.Soft("Ave Off");
  EXPECT_FALSE(rig.Settings().Checked(Setting::AveEnable));
  EXPECT_FALSE(label.visible);
  EXPECT_EQ(rig.NewStops(), 0u);
  EXPECT_FALSE(rig.RestartPending());
}

TEST(ConfigMenu, AdvancedShowsTheDialogAndThemeOnlyLights) {
  PanelRig rig;
  rig.Hard(HardKey::config_ptn);
  const uint64_t revision = rig.Settings().Revision();
  rig.Soft("Theme");
  EXPECT_TRUE(rig.Panel().Key(1).lit);
  EXPECT_EQ(rig.Settings().Revision(), revision);
  rig.Soft("Advanced");
  EXPECT_TRUE(rig.platform.WindowVisible(WindowId::SweepParameters));
}

TEST(SourceMenu, TheEntryOpensWhileTheSweepRunsOnWithTheOldValue) {
  PanelRig rig;
  rig.Hard(HardKey::source_ptn);
  rig.Soft("Power");
  EXPECT_EQ(rig.NewStops(), 1u);
  EXPECT_TRUE(rig.RestartPending());
  EXPECT_EQ(rig.Pad().EntryFunction(), "source power");
  EXPECT_TRUE(rig.Pad().Enabled());
  rig.SweepFor(200);
  EXPECT_TRUE(rig.Pad().Enabled());  // still pending after sweeps
  EXPECT_EQ(rig.sim.Counters().last_program->power_word,
            ComputeSweepWords(InstrumentSettings{}).power_word);
}

// --- View menu -------------------------------------------------------------------------

TEST(ViewMenu, EntriesAndHideControlPanelTwice) {
  std::vector<std::string> names;
  for (const MenuCommand& c : MenuCommands()) {
    if (c.menu == MenuId::View) names.push_back(c.caption);
  }
  EXPECT_THAT(names, ElementsAre("Sweep Parameters", "Markers", "Log", "Hide Control Panel"));

  PanelRig rig;
  FrontPanelKeys& keys = rig.analyser->Keys();
  keys.HideControlPanel1Click();
  EXPECT_FALSE(keys.ControlPanelShown());
  EXPECT_FALSE(rig.platform.PanelVisible(PanelId::ControlPanel));
  keys.HideControlPanel1Click();
  EXPECT_TRUE(keys.ControlPanelShown());
  EXPECT_TRUE(rig.platform.PanelVisible(PanelId::ControlPanel));
  ASSERT_GE(rig.platform.PanelChanges().size(), 2u);
  EXPECT_TRUE(rig.platform.PanelChanges().back().slide);

  keys.Markers1Click();
  EXPECT_TRUE(rig.platform.PanelVisible(PanelId::MarkerPanel));
  keys.sweep_param1Click();
  EXPECT_TRUE(rig.platform.WindowVisible(WindowId::SweepParameters));
}

}  // namespace
}  // namespace ostra
