// What a user brings from other programs and bench analysers: the keyboard in
// the entry box, a question before a file is replaced, the window's place
// remembered, and markers placed by the trace (its largest or smallest value,
// a click on the chart, the arrow keys).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/marker_actions.h"
#include "base/window_place.h"
#include "display/marker_readout.h"
#include "display/marker_search.h"
#include "display/markers.h"
#include "display/trace_display.h"
#include "support/files_rig.h"
#include "support/panel_rig.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using testing::FilesRig;
using ::testing::IsEmpty;
using testing::PanelRig;
using testing::ReadFile;
using testing::WriteFile;

TEST(EntryKeyboard, UnitLettersBackspaceASelectedRefusalAndEscape) {
  PanelRig rig;
  NumericEntry& entry = rig.analyser->Entry();
  rig.Hard(HardKey::stimulus_ptn);

  // A refused value stays selected: the next key, typed or clicked, replaces it.
  rig.Soft("Stop");
  rig.Keys({"1", "-", "2", "MHz"});
  EXPECT_THAT(rig.Messages(), ElementsAre("'1-2' is not a valid floating point value"));
  EXPECT_TRUE(rig.Pad().Selected());
  rig.Keys({"4"});
  EXPECT_EQ(rig.Pad().Text(), "4");
  EXPECT_FALSE(rig.Pad().Selected());
  entry.enterboxChange("4x");
  entry.enterboxKey(EntryKeyboardKey::kHz);
  rig.Messages();
  entry.enterboxKey(EntryKeyboardKey::Backspace);  // a selected text goes whole
  EXPECT_EQ(rig.Pad().Text(), "");

  // Escape abandons the entry; the sweep it stopped starts again, unchanged.
  EXPECT_TRUE(rig.analyser->SweepStopRequest());
  EXPECT_FALSE(rig.RestartPending());
  entry.enterboxKey(EntryKeyboardKey::Escape);
  EXPECT_FALSE(rig.Pad().Enabled());
  EXPECT_EQ(rig.Pad().Text(), "");
  EXPECT_TRUE(rig.RestartPending());
  EXPECT_EQ(rig.Text(Setting::StopFreq), "50000000");
  rig.analyser->Sweep().CancelRestart();

  // An entry that stopped nothing leaves the sweep alone; keys in a closed
  // box do nothing; H is the Hz key.
  rig.Soft("Span");
  entry.enterboxKey(EntryKeyboardKey::Escape);
  EXPECT_FALSE(rig.RestartPending());
  entry.enterboxKey(EntryKeyboardKey::Hz);
  EXPECT_THAT(rig.Messages(), IsEmpty());
  rig.Soft("Start");
  entry.enterboxChange("1500000");
  entry.enterboxKey(EntryKeyboardKey::Hz);
  EXPECT_EQ(rig.Text(Setting::StartFreq), "1500000");
}

TEST(OverwriteQuestion, SaveStateAndSaveDataAskAndNoReplacesNothing) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  const auto state = rig.DataDir() / "bench.sta";
  WriteFile(state, "kept");
  rig.platform.file_dialog_answers.push_back(state);
  EXPECT_TRUE(rig.PressSaveRecall(0));  // the double answers No
  EXPECT_EQ(ReadFile(state), "kept");
  const auto asked = rig.platform.Messages();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "bench.sta already exists. Do you want to replace it?");
  EXPECT_EQ(asked[0].buttons, MessageButtons::YesNo);
  rig.platform.ClearMessages();
  rig.platform.answers.push_back(MessageResult::Yes);
  rig.platform.file_dialog_answers.push_back(state);
  EXPECT_TRUE(rig.PressSaveRecall(0));
  EXPECT_EQ(ReadFile(state), SettingsFileText(rig.analyser->Settings()));

  // The picture beside a CSV counts: No to it writes neither file.
  rig.platform.ClearMessages();
  WriteFile(rig.DataDir() / "trace.bmp", "picture");
  EXPECT_TRUE(rig.SaveData(rig.DataDir() / "trace.csv"));
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "trace.csv"));
  EXPECT_EQ(ReadFile(rig.DataDir() / "trace.bmp"), "picture");
  EXPECT_THAT(rig.platform.window_pictures, IsEmpty());
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre("trace.bmp already exists. Do you want to replace it?"));
  rig.platform.answers.push_back(MessageResult::Yes);
  EXPECT_TRUE(rig.SaveData(rig.DataDir() / "trace.csv"));
  EXPECT_TRUE(std::filesystem::exists(rig.DataDir() / "trace.csv"));
  EXPECT_THAT(rig.platform.window_pictures, ElementsAre(rig.DataDir() / "trace.bmp"));
}

TEST(WindowPlaceFile, WrittenReadBackAndDamagedFilesGiveNothing) {
  testing::TempDir dir;
  const WindowPlace place{-1200, 40, 1000, 680, true, true};
  const auto file = dir / "Ostra" / "window.txt";
  ASSERT_TRUE(WriteWindowPlace(file, place));  // the folder is made
  EXPECT_EQ(ReadWindowPlace(file), place);
  EXPECT_EQ(ReadWindowPlace(dir / "none.txt"), std::nullopt);
  const std::string text = WindowPlaceText(place);
  EXPECT_EQ(ParseWindowPlace("# other\n" + text), place);
  for (const std::string& damaged :
       {std::string(""), text.substr(0, text.size() / 2), text + "width=0\r\n",
        text + "height=99999999999\r\n", text + "maximised=2\r\n", text + "left=12x\r\n"}) {
    EXPECT_EQ(ParseWindowPlace(damaged), std::nullopt) << damaged;
  }
}

// Marker `index`'s point, as the marker table reads it.
int PointOf(FilesRig& rig, int index) {
  return MarkerPointIndex(rig.analyser->Settings(), rig.analyser->MarkerModel().At(index).value);
}

TEST(MarkerSearch, ExtremesClicksAndArrowKeysPlaceTheSelectedMarker) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));  // the resonance, in reflection, log magnitude
  MarkerActions& markers = rig.analyser->Markers();
  const InstrumentSettings& settings = rig.analyser->Settings();
  const std::vector<double> log = FormattedTrace(settings, rig.analyser->Display());
  ASSERT_EQ(log.size(), 201u);
  markers.MarkerToExtreme(1, TraceExtreme::Minimum);
  EXPECT_TRUE(rig.analyser->MarkerModel().At(1).enabled);
  EXPECT_EQ(log[static_cast<size_t>(PointOf(rig, 1))], *std::min_element(log.begin(), log.end()));
  EXPECT_EQ(markers.Table().Cell(0, 2), "M2");  // shown at once
  markers.MarkerToExtreme(0, TraceExtreme::Maximum);
  EXPECT_EQ(log[static_cast<size_t>(PointOf(rig, 0))], *std::max_element(log.begin(), log.end()));

  // In the Smith chart the search is of |G|; a click takes the nearest point.
  rig.analyser->Settings().SetText(Setting::Format, "Smith");
  const TraceDisplay& trace = rig.analyser->Display();
  markers.MarkerToExtreme(2, TraceExtreme::Minimum);
  const auto& mag = trace.ReflMag();
  EXPECT_EQ(mag[static_cast<size_t>(PointOf(rig, 2))],
            *std::min_element(mag.begin(), mag.begin() + 201));
  const std::complex<double> g = std::polar(mag[40], trace.ReflPhase()[40]);
  markers.ChartClick(3, g.real() + 1e-4, g.imag());
  EXPECT_EQ(PointOf(rig, 3), 40);

  // On a rectangular chart a click takes the point of the nearest stimulus;
  // the arrow keys step a marker that is on and leave one that is off.
  rig.analyser->Settings().SetText(Setting::Format, "Log");
  const double mhz = trace.TraceX()[120] / 1e6;
  markers.ChartClick(3, mhz + 0.01, 1e9);
  EXPECT_EQ(PointOf(rig, 3), 120);
  markers.KeyStep(3, true);
  EXPECT_EQ(PointOf(rig, 3), 121);
  markers.ClearMarkers();
  markers.KeyStep(0, true);
  EXPECT_FALSE(rig.analyser->MarkerModel().At(0).enabled);
  EXPECT_EQ(rig.analyser->MarkerModel().At(0).value, 0);

  EXPECT_EQ(ExtremePointIndex({}, TraceExtreme::Maximum), std::nullopt);
  const double nan = std::nan("");
  EXPECT_EQ(ExtremePointIndex(std::vector<double>{nan, 2, 5, 5, 1}, TraceExtreme::Maximum), 2u);
  // A value that rounds to zero carries no minus sign.
  EXPECT_EQ(ImpedanceText({0, -1e-4}), "50.0+0.0j");
  EXPECT_EQ(ImpedanceText({0, -0.2}), "46.2-19.2j");
}

}  // namespace
}  // namespace ostra
