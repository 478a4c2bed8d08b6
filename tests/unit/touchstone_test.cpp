// The Touchstone export of Save Data: the corrected complex points of the
// last complete sweep as a one-port (reflection) or two-port (transmission)
// file, through the Save/Recall keys against the simulated instrument.
// scikit-rf reads the same files in tests/skrf/touchstone_check.py.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "display/trace_display.h"
#include "files/sweep_record.h"
#include "files/touchstone.h"
#include "support/files_rig.h"

namespace ostra {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FilesRig;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;

struct TouchstoneFile {
  std::vector<std::string> comments;
  std::vector<std::string> options;
  std::vector<std::vector<double>> rows;
};

TouchstoneFile ReadTouchstone(const std::filesystem::path& path) {
  TouchstoneFile file;
  for (const std::string& line : FilesRig::CrLfLines(ReadFile(path))) {
    if (line.rfind("!", 0) == 0) {
      file.comments.push_back(line);
    } else if (line.rfind("#", 0) == 0) {
      file.options.push_back(line);
    } else {
      std::istringstream in(line);
      in.imbue(std::locale::classic());
      std::vector<double> row;
      for (double v; in >> v;) row.push_back(v);
      file.rows.push_back(row);
    }
  }
  return file;
}

void SaveTouchstone(FilesRig& rig, const std::filesystem::path& typed) {
  rig.platform.file_dialog_answers.push_back(typed);
  rig.platform.file_dialog_filters.push_back(StateFiles::kTouchstoneFilter);
  rig.analyser->Keys().save_recall_ptnClick();
  rig.analyser->Keys().SoftKeyClick(1);
}

bool Near(std::complex<double> a, std::complex<double> b) {
  return std::abs(a - b) <= 1e-12 * std::max(1.0, std::abs(b));
}

TEST(Touchstone, AReflectionSweepIsAOnePortFileOfTheCorrectedPoints) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  SaveTouchstone(rig, "dut");
  const TouchstoneFile file = ReadTouchstone(rig.DataDir() / "dut.s1p");
  EXPECT_THAT(file.options, ElementsAre("# Hz S RI R 50"));
  EXPECT_THAT(file.comments, Contains("! Touchstone file written by Marlune Ostra 7 1.2"));
  ASSERT_GE(file.comments.size(), 2u);
  EXPECT_THAT(file.comments[1], ::testing::StartsWith("! Saved 2026-12-08 10:00:"));
  EXPECT_THAT(file.comments, Contains("! Reflection [S11], Frequency sweep, 201 points from "
                                      "20000000 Hz to 50000000 Hz"));
  EXPECT_THAT(file.comments, Contains("! Source power -20 dBm, dwell 8, averaging off"));
  ASSERT_EQ(file.rows.size(), 201u);
  const TraceDisplay& display = rig.analyser->Display();
  for (size_t i = 0; i < file.rows.size(); ++i) {
    const auto& row = file.rows[i];
    ASSERT_EQ(row.size(), 3u) << i;
    EXPECT_EQ(row[0], 20e6 + 150000.0 * static_cast<double>(i));
    EXPECT_TRUE(Near({row[1], row[2]}, std::polar(display.ReflMag()[i], display.ReflPhase()[i])))
        << i;
  }
  // No picture for a Touchstone file; the sweep was restarted.
  EXPECT_THAT(rig.platform.window_pictures, IsEmpty());
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
}

TEST(Touchstone, ATransmissionSweepIsATwoPortFileWithOnlyS21Measured) {
  FilesRig rig;
  ASSERT_TRUE(rig.DuringSweep([&] { rig.analyser->Formats().TransmissionExecute(); }));
  ASSERT_EQ(rig.analyser->Settings().Mode(), "Transmission");
  SaveTouchstone(rig, "thru.s1p");  // the extension of a one-port
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "thru.s1p"));
  const TouchstoneFile file = ReadTouchstone(rig.DataDir() / "thru.s2p");
  EXPECT_THAT(file.options, ElementsAre("# Hz S RI R 50"));
  EXPECT_THAT(file.comments, Contains("! Only S21 was measured: S11, S12 and S22 were not "
                                      "measured and are written as 0"));
  ASSERT_EQ(file.rows.size(), 201u);
  const TraceDisplay& display = rig.analyser->Display();
  for (size_t i = 0; i < file.rows.size(); ++i) {
    const auto& row = file.rows[i];
    ASSERT_EQ(row.size(), 9u) << i;
    EXPECT_EQ(row[0], 20e6 + 150000.0 * static_cast<double>(i));
    EXPECT_TRUE(Near({row[3], row[4]}, std::polar(display.TransMag()[i], display.TransPhase()[i])))
        << i;
    EXPECT_THAT((std::vector<double>{row[1], row[2], row[5], row[6], row[7], row[8]}),
                ::testing::Each(0.0));
  }
}

TEST(Touchstone, APhaseSweepIsRefusedAndNothingIsWritten) {
  FilesRig rig;
  ASSERT_TRUE(rig.DuringSweep([&] {
    rig.analyser->Sweep().Stop();
    rig.analyser->Settings().SetText(Setting::SweepType, "Phase");
    rig.analyser->Sweep().Restart();
  }));
  SaveTouchstone(rig, "phase");
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre("A phase or power sweep is not a frequency response and can not be "
                          "saved as a Touchstone file."));
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "phase.s1p"));
  EXPECT_TRUE(rig.platform.TimerEnabled(TimerId::BeginSweep));
}

TEST(Touchstone, BeforeTheFirstCompleteSweepThereIsNothingToSave) {
  FilesRig rig;  // started up; the first sweep not yet run
  SaveTouchstone(rig, "early");
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre("There is no measured frequency response to save as a Touchstone "
                          "file."));
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "early.s1p"));
}

// Sweeps with the stimulus changed while the sweep runs.
void SweepFrom(FilesRig& rig, const char* start, const char* stop) {
  ASSERT_TRUE(rig.DuringSweep([&] {
    rig.analyser->Sweep().Stop();
    rig.analyser->Settings().SetText(Setting::StartFreq, start);
    rig.analyser->Settings().SetText(Setting::StopFreq, stop);
    rig.analyser->Sweep().Restart();
  }));
}

TEST(Touchstone, AFallingSweepIsWrittenInIncreasingFrequencyAndAZeroSpanIsRefused) {
  FilesRig rig;
  SweepFrom(rig, "40000000", "30000000");
  SaveTouchstone(rig, "falling");
  const TouchstoneFile file = ReadTouchstone(rig.DataDir() / "falling.s1p");
  ASSERT_EQ(file.rows.size(), 201u);
  const TraceDisplay& display = rig.analyser->Display();
  for (size_t k = 0; k < file.rows.size(); ++k) {
    const size_t i = 200 - k;  // the sweep's point written on row k
    EXPECT_EQ(file.rows[k][0], 30e6 + 50000.0 * static_cast<double>(k));
    EXPECT_TRUE(Near({file.rows[k][1], file.rows[k][2]},
                     std::polar(display.ReflMag()[i], display.ReflPhase()[i])))
        << k;
  }

  SweepFrom(rig, "35000000", "35000000");
  SaveTouchstone(rig, "zero");
  EXPECT_THAT(rig.platform.MessageTexts(),
              ElementsAre(HasSubstr("a Touchstone file must list increasing frequencies")));
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "zero.s1p"));
  ASSERT_TRUE(rig.SaveData("zero.csv"));  // the comma-delimited export still has it
  EXPECT_EQ(FilesRig::CrLfLines(ReadFile(rig.DataDir() / "zero.csv")).size(), 202u);
}

// The extension of the name decides the format; the filter decides only
// for a name without one of the known extensions.
TEST(SaveData, TheExtensionTypedIsTheFormatWritten) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  ASSERT_TRUE(rig.SaveData("typed.s1p"));  // the comma-delimited filter
  EXPECT_EQ(ReadTouchstone(rig.DataDir() / "typed.s1p").rows.size(), 201u);
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "typed.bmp"));

  ASSERT_TRUE(rig.SaveData("other.s2p"));  // a two-port name for a reflection sweep
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "other.s2p"));
  EXPECT_EQ(ReadTouchstone(rig.DataDir() / "other.s1p").rows[0].size(), 3u);
  EXPECT_THAT(rig.LogLines(), Contains("other.s2p saved as other.s1p: a reflection sweep "
                                       "measures S11, written as a one-port file"));

  ASSERT_TRUE(rig.SaveData("table.csv", StateFiles::kTouchstoneFilter));
  EXPECT_EQ(FilesRig::CrLfLines(ReadFile(rig.DataDir() / "table.csv"))[0], "Frequency,Mag,Phase");
  EXPECT_TRUE(std::filesystem::exists(rig.DataDir() / "table.bmp"));
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());

  // In transmission the dialog offers the two-port extension first.
  ASSERT_TRUE(rig.DuringSweep([&] { rig.analyser->Formats().TransmissionExecute(); }));
  const FileDialogRequest request = rig.analyser->Files().SaveDataRequest();
  EXPECT_EQ(request.filter,
            "Comma delimited data (*.csv)|*.csv|Touchstone (*.s2p *.s1p)|*.s2p;*.s1p");
  EXPECT_THAT(request.filter_extensions, ElementsAre("csv", "s2p"));
}

TEST(Touchstone, NumbersReadBackAsTheSameDouble) {
  for (double v : {0.1, 1.0 / 3.0, -2.5e-7, 0.0, -0.9999999999999999, 1e-300, 123456789.125}) {
    const std::string text = ExactNumber(v);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
  }
  EXPECT_EQ(ExactNumber(0.1), "0.1");
}

// --- The last complete sweep ---------------------------------------------------------------

class NullSink : public TraceSink {
 public:
  void ClearTrace() override { ++clears; }
  void PlotTracePoint(int, double, const PointResult&) override { ++points; }
  int clears = 0;
  int points = 0;
};

TEST(SweepRecorder, ASweepThatEndsEarlyNeverReplacesTheLastCompleteOne) {
  NullSink sink;
  SweepRecorder recorder(sink);
  InstrumentSettings settings;
  RunParameters run;
  run.sweep_type = "Frequency";
  run.mode = "Transmission";
  run.measure = ModeKind::Transmission;
  PointResult gain;
  gain.reflection = false;
  gain.gain_db = -6.0;
  gain.phase_rad = 0.5;

  recorder.ClearTrace();
  recorder.PlotTracePoint(0, 20.0, gain);
  recorder.PlotTracePoint(1, 20.15, gain);
  EXPECT_EQ(recorder.LastComplete(), nullptr);  // not ended yet
  recorder.EndSweep(run, settings);
  recorder.ClearTrace();
  recorder.PlotTracePoint(0, 30.0, gain);  // a sweep cut short
  recorder.ClearTrace();

  const SweepRecord* record = recorder.LastComplete();
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->Points().size(), 2u);
  EXPECT_EQ(record->Points()[1].x, 20.15);
  EXPECT_NEAR(std::abs(record->Points()[0].value), std::pow(10.0, -6.0 / 20), 1e-15);
  EXPECT_NEAR(std::arg(record->Points()[0].value), 0.5, 1e-15);
  EXPECT_EQ(record->Conditions().measure, ModeKind::Transmission);
  EXPECT_EQ(TouchstonePorts(record->Conditions()), 2);
  EXPECT_EQ(sink.clears, 3);  // everything passed on to the display
  EXPECT_EQ(sink.points, 3);
}

}  // namespace
}  // namespace ostra
