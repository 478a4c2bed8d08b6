#include "cal/cal_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using testing::FakePlatform;
using testing::TempDir;
using testing::WriteFile;

class CalTablesTest : public ::testing::Test {
 protected:
  CalTablesTest() : log(platform) { log.SetDataDirectory(dir.path()); }

  void Write(const std::string& name, const std::string& text) { WriteFile(dir / name, text); }
  void Load() { store.LoadCalTables(dir.path(), platform, log); }
  std::vector<std::string> LogMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : log.WindowLines()) messages.push_back(line.substr(18));
    return messages;
  }

  TempDir dir;
  FakePlatform platform;
  AppLog log;
  CalibrationStore store;
};

TEST_F(CalTablesTest, StartupValues) {
  for (int i : {0, 250, 500}) {
    EXPECT_EQ(store.Open.magnitude[i], 1.5);
    EXPECT_EQ(store.Open.phase[i], 0.0);
    EXPECT_EQ(store.Short.magnitude[i], 1.5);
    EXPECT_EQ(store.Short.phase[i], 6.283185307179586);
    EXPECT_EQ(store.Load.magnitude[i], 1e-5);
    EXPECT_EQ(store.Thru.magnitude[i], 1.5);
    EXPECT_EQ(store.ThruPhase.magnitude[i], 0.0);
    EXPECT_EQ(store.ThruPower.phase[i], 0.0);
    for (const StandardFile& f : StandardFiles())
      EXPECT_EQ(store.Table(f.standard).Stimulus(i), 0.0);
  }
}

TEST_F(CalTablesTest, FilesFillTheirEntriesAndMissingFilesAreReported) {
  Write("cal_open.dat", "20000000 0.500 0.100\r\n20150000 0.510 0.200\r\n20300000 0.520 0.300\r\n");
  Write("cal_short.dat", "1  0.400\t-3.000\r\n");           // two blanks and a tab
  Write("cal_load.dat", "  10000000\t0,012 -0,500\r\n");    // leading blanks, commas
  Write("cal_thru.dat", "20000000 1.000 0.000 extra\r\n");  // a fourth field is ignored
  Write("cal_thru_pwr.dat", "-19.995 0.250 1.000\n");       // LF only

  Load();

  EXPECT_EQ(store.Open.magnitude[2], 0.52);
  EXPECT_EQ(store.Open.phase[1], 0.2);
  EXPECT_EQ(store.Open.magnitude[3], 1.5);  // past the file's end: as it was
  EXPECT_EQ(store.Short.magnitude[0], 0.4);
  EXPECT_EQ(store.Short.phase[0], -3.0);
  EXPECT_EQ(store.Load.magnitude[0], 0.012);
  EXPECT_EQ(store.Load.phase[0], -0.5);
  // Shared stimulus: entry 0 comes from LOAD, read last; 1 and 2 from OPEN.
  EXPECT_EQ(store.Open.Stimulus(0), 10000000.0);
  EXPECT_EQ(store.Short.Stimulus(1), 20150000.0);
  EXPECT_EQ(store.Thru.magnitude[0], 1.0);
  EXPECT_EQ(store.ThruPower.Stimulus(0), -19.995);
  EXPECT_EQ(store.ThruPower.magnitude[0], 0.25);
  EXPECT_EQ(store.ThruPhase.magnitude[0], 0.0);

  EXPECT_EQ(platform.MessageTexts(),
            std::vector<std::string>{"Calibration data [THRU PHASE] is missing"});
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "cal_open.dat loaded to cal table.",
                               "cal_short.dat loaded to cal table.",
                               "cal_load.dat loaded to cal table.",
                               "cal_thru.dat loaded to cal table.",
                           }));
  // Every load shows the message again.
  Load();
  EXPECT_EQ(platform.MessageTexts().size(), 2u);
}

TEST_F(CalTablesTest, LoadStimulusReplacesOpenStimulus) {
  std::string open, load;
  for (int i = 0; i < 201; ++i) {
    open += std::to_string(20000000 + i * 150000) + " 0.500 0.000\r\n";
    load += std::to_string(10000000 + i * 150000) + " 0.001 0.000\r\n";
  }
  Write("cal_open.dat", open);
  Write("cal_load.dat", load);
  Load();
  EXPECT_EQ(store.Open.Stimulus(0), 10000000.0);
  EXPECT_EQ(store.Open.Stimulus(200), 40000000.0);
  EXPECT_EQ(platform.MessageTexts().size(), 4u);  // SHORT, THRU, THRU PHASE, THRU POWER
}

TEST_F(CalTablesTest, ALongFileStopsAtTheTablesEnd) {
  std::string text;
  for (int i = 0; i < 600; ++i) text += std::to_string(i) + " 0.100 0.200\r\n";
  Write("cal_thru.dat", text);
  Load();
  EXPECT_EQ(store.Thru.Stimulus(500), 500.0);
  EXPECT_EQ(LogMessages(), std::vector<std::string>{"cal_thru.dat loaded to cal table."});
}

TEST_F(CalTablesTest, AMalformedLineRaisesKeepsEarlierEntriesAndStopsLoading) {
  Write("cal_open.dat", "1 0.100 0.200\r\n2 0.300 0.400\r\n3 0.500\r\n4 0.600 0.700\r\n");
  Write("cal_short.dat", "1 0.900 0.900\r\n");
  EXPECT_THROW(Load(), ConversionError);
  EXPECT_EQ(store.Open.magnitude[1], 0.3);
  EXPECT_EQ(store.Open.magnitude[2], 1.5);  // the bad line stored nothing
  EXPECT_EQ(store.Open.Stimulus(2), 0.0);
  EXPECT_EQ(store.Short.magnitude[0], 1.5);  // not read this time
  EXPECT_TRUE(LogMessages().empty());

  Write("cal_open.dat", "1 0.100 abc\r\n");
  EXPECT_THROW(Load(), ConversionError);
  Write("cal_open.dat", "1 0.100 0.2\r\n\r\n");  // an empty line has no fields
  EXPECT_THROW(Load(), ConversionError);
}

TEST(LoadDcOffsets, MillivoltsToVoltsPerPoint) {
  TempDir dir;
  WriteFile(dir / "dc.dat",
            "20000000 12.000 -3.500\r\n20150000 0.500 0.250\r\nnot read at all\r\n");
  std::vector<double> dc_i, dc_q;
  LoadDcOffsets(dir / "dc.dat", 2, dc_i, dc_q);
  ASSERT_EQ(dc_i.size(), 2u);
  EXPECT_DOUBLE_EQ(dc_i[0], 0.012);
  EXPECT_DOUBLE_EQ(dc_q[0], -0.0035);
  EXPECT_DOUBLE_EQ(dc_q[1], 0.00025);

  EXPECT_THROW(LoadDcOffsets(dir / "dc.dat", 3, dc_i, dc_q), ConversionError);  // bad line 3
  EXPECT_THROW(LoadDcOffsets(dir / "missing.dat", 2, dc_i, dc_q), IoError);
  WriteFile(dir / "dc.dat", "20000000 12.000\r\n");
  EXPECT_THROW(LoadDcOffsets(dir / "dc.dat", 1, dc_i, dc_q), ConversionError);
}

// A file captured with fewer points than the sweep has: the points beyond
// its lines take the mean of its offsets, and the programming goes on.
TEST(LoadDcOffsets, AShortFileFillsTheMissingPointsWithTheMeanOfItsLines) {
  TempDir dir;
  WriteFile(dir / "dc.dat", "20000000 12.000 -3.000\r\n20150000 14.000 -5.000\r\n");
  std::vector<double> dc_i, dc_q;
  EXPECT_EQ(LoadDcOffsets(dir / "dc.dat", 5, dc_i, dc_q), 2);
  ASSERT_EQ(dc_i.size(), 5u);
  EXPECT_DOUBLE_EQ(dc_i[0], 0.012);
  EXPECT_DOUBLE_EQ(dc_i[1], 0.014);
  for (size_t k = 2; k < 5; ++k) {
    EXPECT_DOUBLE_EQ(dc_i[k], 0.013);
    EXPECT_DOUBLE_EQ(dc_q[k], -0.004);
  }
  EXPECT_EQ(LoadDcOffsets(dir / "dc.dat", 1, dc_i, dc_q), 1);
  EXPECT_EQ(dc_i.size(), 1u);
  // Nothing to fill from: the conversion error of an empty field.
  WriteFile(dir / "dc.dat", "");
  EXPECT_THROW(LoadDcOffsets(dir / "dc.dat", 1, dc_i, dc_q), ConversionError);
  EXPECT_EQ(LoadDcOffsets(dir / "dc.dat", 0, dc_i, dc_q), 0);
}

TEST(CaptureLines, FormatsAndReadBack) {
  EXPECT_EQ(DcOffsetCaptureLine(20.15, 0.0123456, -0.0035), "20150000 12.346 -3.500");
  EXPECT_EQ(DcOffsetCaptureLine(2.0, 0.0, 0.0),
            "2000000 0.000 0.000");  // phase sweep: 1e6 x degrees
  EXPECT_EQ(StandardCaptureLine(true, 20.0, 0.5, -1.25), "20000000 0.500 -1.250");
  EXPECT_EQ(StandardCaptureLine(true, 49.85, 0.01, 3.0), "49850000 0.010 3.000");
  EXPECT_EQ(StandardCaptureLine(false, -19.99512, 0.0004, -0.0001), "-19.995 0.000 -0.000");
  EXPECT_EQ(StandardCaptureLine(false, 2.0, 12.3456, 0.0), "2.000 12.346 0.000");

  // What a capture writes, the reader reads back.
  TempDir dir;
  FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  WriteFile(dir / "cal_thru_ph.dat", StandardCaptureLine(false, 4.0, 0.75, -0.5) + "\r\n");
  CalibrationStore store;
  store.LoadCalTables(dir.path(), platform, log);
  EXPECT_EQ(store.ThruPhase.Stimulus(0), 4.0);
  EXPECT_EQ(store.ThruPhase.magnitude[0], 0.75);
}

}  // namespace
}  // namespace ostra
