// Save Data through the Save/Recall keys against the simulated instrument:
// the comma-separated export and the window's picture beside it, the
// Touchstone export of the last complete sweep, and what happens when a file
// cannot be written. The platform double answers the dialogs and records the
// pictures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>

#include "display/chart_model.h"
#include "display/trace_display.h"
#include "files/data_export.h"
#include "files/sweep_record.h"
#include "files/touchstone.h"
#include "support/files_rig.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using testing::FilesRig;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;
using ::testing::StartsWith;

// The Part's line format, printed by the C library in the "C" locale.
std::string PrintfLine(double x, double y, double phase) {
  char line[256];
  std::snprintf(line, sizeof line, "%1.3f,%1.3f,%1.3f", x, y, phase);
  return line;
}

std::vector<std::string> ExpectedLines(const ChartModel& chart) {
  std::vector<std::string> lines{"Frequency,Mag,Phase"};
  const auto& mag = chart.Series(SeriesId::MagDataSeries).points;
  const auto& phase = chart.Series(SeriesId::PhaseDataSeries).points;
  for (size_t i = 0; i < mag.size(); ++i)
    lines.push_back(PrintfLine(mag[i].x, mag[i].y, phase[i].y));
  return lines;
}

// --- The comma-separated export and the picture ------------------------------------------

TEST(SaveData, ANameWithoutExtensionGivesTheCsvAndTheBitmapBesideIt) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  std::vector<std::string> expected;
  std::string csv_when_pictured;
  int64_t pictured_after_us = 0;
  rig.platform.on_window_picture = [&](const std::filesystem::path&) {
    expected = ExpectedLines(rig.analyser->Chart());
    csv_when_pictured = ReadFile(rig.DataDir() / "result.csv");
    pictured_after_us = rig.platform.NowMicroseconds() - rig.pressed_at_us;
  };
  EXPECT_TRUE(rig.SaveData("result"));  // and the sweep restarted
  EXPECT_THAT(rig.platform.window_pictures, ElementsAre(rig.DataDir() / "result.bmp"));
  EXPECT_TRUE(std::filesystem::exists(rig.DataDir() / "result.bmp"));
  // The data file was complete before the picture was taken, 100 ms after it
  // (and the 20 ms stop) in the event loop, not in a blocking sleep.
  EXPECT_EQ(csv_when_pictured, ReadFile(rig.DataDir() / "result.csv"));
  EXPECT_GE(pictured_after_us, 120000);
  EXPECT_THAT(rig.platform.Sleeps(), ::testing::Each(20));

  const auto lines = FilesRig::CrLfLines(csv_when_pictured);
  ASSERT_EQ(lines.size(), 202u);  // the header and 201 points
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(lines[1].substr(0, 7), "20.000,");
  EXPECT_THAT(lines[201], StartsWith("50.000,"));
  EXPECT_THAT(lines[100], HasSubstr(",-"));  // a log magnitude below 0 dB keeps its sign
  EXPECT_THAT(rig.platform.MessageTexts(), IsEmpty());
}

TEST(SaveData, NegativeValuesAndZeroAreWrittenAsThePartShowsThem) {
  EXPECT_EQ(DataExportLine(-1.5, 0.0, -0.0626), "-1.500,0.000,-0.063");
  EXPECT_EQ(DataExportLine(120.0, 1234567.891, 179.9996), "120.000,1234567.891,180.000");
  EXPECT_EQ(DataExportLine(0.0004, -12.3454, 0.0), "0.000,-12.345,0.000");
  EXPECT_EQ(DataExportLine(-0.0, -0.0, -0.0), "0.000,0.000,0.000");  // a phase of atan2(-0, x)
}

TEST(SaveData, ATransmissionTraceInVswrGivesTheHeaderOnly) {
  FilesRig rig;
  ASSERT_TRUE(rig.DuringSweep([&] {
    rig.analyser->Formats().TransmissionExecute();
    rig.analyser->Formats().VSWRExecute();
  }));
  ASSERT_EQ(rig.analyser->Settings().Format(), "VSWR");
  rig.SaveData(rig.DataDir() / "vswr.csv");
  EXPECT_EQ(ReadFile(rig.DataDir() / "vswr.csv"), "Frequency,Mag,Phase\r\n");
  EXPECT_THAT(rig.platform.window_pictures, ElementsAre(rig.DataDir() / "vswr.bmp"));
}

TEST(SaveData, TheSmithFormatWritesTheReflectionCoefficient) {
  FilesRig rig;
  ASSERT_TRUE(rig.DuringSweep([&] { rig.analyser->Formats().SmithExecute(); }));
  std::vector<std::string> expected;
  rig.platform.on_window_picture = [&](const std::filesystem::path&) {
    expected = ExpectedLines(rig.analyser->Chart());
  };
  rig.SaveData("smith");
  EXPECT_EQ(FilesRig::CrLfLines(ReadFile(rig.DataDir() / "smith.csv")), expected);
  ASSERT_EQ(expected.size(), 202u);
  const double re = std::strtod(expected[1].c_str(), nullptr);
  EXPECT_LE(std::abs(re), 1.01);
}

// A locale whose decimal separator is a comma, as in Germany.
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(SaveData, AGermanLocaleStillWritesPoints) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  const std::locale old_global =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
  const std::string old_c = std::setlocale(LC_ALL, nullptr);
  const bool german_c = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  rig.SaveData("german");
  rig.SaveData("german", StateFiles::kTouchstoneFilter);
  std::setlocale(LC_ALL, old_c.c_str());
  std::locale::global(old_global);

  const auto lines = FilesRig::CrLfLines(ReadFile(rig.DataDir() / "german.csv"));
  ASSERT_EQ(lines.size(), 202u) << (german_c ? "de_DE" : "a comma numpunct");
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ','), 2) << lines[i];
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '.'), 3) << lines[i];
  }
  const auto touchstone = FilesRig::CrLfLines(ReadFile(rig.DataDir() / "german.s1p"));
  ASSERT_GT(touchstone.size(), 201u);
  for (const std::string& line : touchstone) {
    if (line[0] != '!') {
      EXPECT_EQ(line.find(','), std::string::npos) << line;
    }
  }
  EXPECT_EQ(touchstone.back().substr(0, 9), "50000000 ");
}

TEST(SaveData, AFileThatCannotBeCreatedIsReportedWritesNothingAndTheSweepStaysStopped) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  EXPECT_FALSE(rig.SaveData(rig.DataDir() / "missing" / "result.csv"));  // the sweep stays stopped
  ASSERT_EQ(rig.platform.MessageTexts().size(), 1u);
  EXPECT_THAT(rig.platform.MessageTexts()[0], StartsWith("Cannot create file"));
  EXPECT_THAT(rig.platform.window_pictures, IsEmpty());
}

TEST(SaveData, APictureThatCannotBeWrittenIsReportedAfterTheDataFileIsComplete) {
  FilesRig rig;
  ASSERT_TRUE(rig.RunSweeps(3));
  rig.platform.window_picture_fails = true;
  std::string csv_at_message;
  rig.platform.on_message = [&](const testing::RecordedMessage&) {
    csv_at_message = ReadFile(rig.DataDir() / "result.csv");
  };
  EXPECT_FALSE(rig.SaveData("result"));  // the sweep stays stopped
  EXPECT_THAT(
      rig.platform.MessageTexts(),
      ElementsAre("Cannot create file \"" + (rig.DataDir() / "result.bmp").string() + "\"."));
  EXPECT_EQ(FilesRig::CrLfLines(csv_at_message).size(), 202u);
  EXPECT_FALSE(std::filesystem::exists(rig.DataDir() / "result.csv.tmp"));
}

TEST(SaveData, ThePictureTakesTheExportsNameInItsFolder) {
  const std::filesystem::path dir = "/data";
  EXPECT_EQ(PictureFileName(dir / "result.csv"), dir / "result.bmp");
  EXPECT_EQ(PictureFileName(dir / "result.xlsx"), dir / "result..bmp");  // four characters
  EXPECT_EQ(PictureFileName(dir / "a.b"), dir / "a.b.bmp");              // never outside the folder
  EXPECT_EQ(PictureFileName(dir / "shot.bmp"), dir / "shot.bmp.bmp");    // never the export
  // Four characters, not four bytes: "Messung.csvé" loses "csvé".
  EXPECT_EQ(PictureFileName(dir / std::filesystem::path(u"Messung.csv\u00e9")),
            dir / std::filesystem::path(u"Messung..bmp"));
}

TEST(SaveData, PumpDelayProcessesMessagesWhileItWaits) {
  FilesRig rig;
  rig.platform.SetTimer(TimerId::BeginSweep, false, 1);  // no sweep under the wait
  bool ran = false;
  const int64_t start = rig.platform.NowMicroseconds();
  rig.platform.At(start / 1000 + 40, [&] { ran = true; });
  const auto sleeps = rig.platform.Sleeps().size();
  rig.analyser->Files().PumpDelay(100);
  EXPECT_TRUE(ran);
  EXPECT_GE(rig.platform.NowMicroseconds() - start, 100000);
  EXPECT_LT(rig.platform.NowMicroseconds() - start, 110000);
  EXPECT_EQ(rig.platform.Sleeps().size(), sleeps);
}

}  // namespace
}  // namespace ostra
