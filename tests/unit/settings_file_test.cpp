#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/instrument_settings.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string LinesFrom(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

TEST(SettingsFile, DefaultsRoundTripInTheExactFormat) {
  TempDir dir;
  InstrumentSettings defaults;
  save_parameters(defaults, dir / "config.dat");
  const std::string text = ReadFile(dir / "config.dat");
  EXPECT_EQ(text,
            "Sweep_Type: Frequency\r\nMode: Reflection\r\nFormat: Log\r\nPoints: 201\r\n"
            "Dwell: 8\r\nScale: 10\r\nRef_Level: 0\r\nRx Gain: 36\r\nPreamp: 0\r\nAverage: 8\r\n"
            "Ave Enable: 0\r\nStart Frequency: 20000000\r\nStop Frequency: 50000000\r\n"
            "Centre Frequency: 35000000\r\nSpan: 30000000\r\nPower: -20\r\nStart Phase: 0\r\n"
            "Stop Phase: 360\r\nCentre Phase: 180\r\nSpan Phase: 360\r\nPower: -20\r\n"
            "Frequency: 30000000\r\nStart Power: -42\r\nStop Power: -12\r\nCentre Power: -27\r\n"
            "Span Power: 30\r\nPhase: 0\r\nFrequency: 35000000\r\n");

  InstrumentSettings loaded;
  loaded.SetText(Setting::Points, "7");
  loaded.SetChecked(Setting::Preamp, true);
  Load_parameters(loaded, dir / "config.dat");
  for (const SettingInfo& info : SettingTable()) {
    EXPECT_EQ(loaded.Text(info.setting), defaults.Text(info.setting)) << info.control;
    EXPECT_EQ(loaded.Checked(info.setting), defaults.Checked(info.setting)) << info.control;
  }
}

TEST(SettingsFile, ValuesAreReadByPositionAndFirstColon) {
  TempDir dir;
  InstrumentSettings original;
  original.SetText(Setting::StartFreq, "12:34");  // a value that holds a colon keeps it
  original.SetText(Setting::Format, "Smith");
  original.SetChecked(Setting::AveEnable, true);
  save_parameters(original, dir / "a.sta");

  // Misspell every label; the colons stay in place.
  std::string text = ReadFile(dir / "a.sta");
  std::string misspelt;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    const size_t line_start = text.rfind('\n', i == 0 ? 0 : i - 1);
    const size_t colon = text.find(':', line_start == std::string::npos ? 0 : line_start);
    if (c >= 'a' && c <= 'z' && i < colon) c = 'x';
    misspelt += c;
  }
  WriteFile(dir / "b.sta", misspelt);

  InstrumentSettings loaded;
  Load_parameters(loaded, dir / "b.sta");
  EXPECT_EQ(loaded.Text(Setting::StartFreq), "12:34");
  EXPECT_EQ(loaded.Text(Setting::Format), "Smith");
  EXPECT_TRUE(loaded.Checked(Setting::AveEnable));
}

TEST(SettingsFile, CheckBoxesAreSetOnlyByExactlyOne) {
  TempDir dir;
  struct Case {
    std::string line;
    bool checked;
  };
  for (const Case& c :
       {Case{"Preamp: 1", true}, Case{"Preamp: 0", false}, Case{"Preamp: 01", false},
        Case{"Preamp: 1 ", false}, Case{"Preamp:1", false}, Case{"Preamp: true", false}}) {
    std::vector<std::string> lines(28, "X: v");
    lines[8] = c.line;
    WriteFile(dir / "p.dat", LinesFrom(lines));
    InstrumentSettings s;
    s.SetChecked(Setting::Preamp, !c.checked);
    Load_parameters(s, dir / "p.dat");
    EXPECT_EQ(s.Checked(Setting::Preamp), c.checked) << c.line;
  }
}

TEST(SettingsFile, ShortFilesAndLinesWithoutColon) {
  TempDir dir;
  // Three lines only, the second without a colon, no line end after the last.
  WriteFile(dir / "short.dat", "Sweep_Type: Phase\r\nMode Transmission\r\nFormat: Lin");
  InstrumentSettings s;
  s.SetChecked(Setting::Preamp, true);
  Load_parameters(s, dir / "short.dat");
  EXPECT_EQ(s.SweepType(), "Phase");
  EXPECT_EQ(s.Mode(), "ode Transmission");  // from the second character on
  EXPECT_EQ(s.Format(), "Lin");
  EXPECT_EQ(s.Text(Setting::Points), "");
  EXPECT_EQ(s.Text(Setting::FreqPower), "");
  EXPECT_FALSE(s.Checked(Setting::Preamp));
  EXPECT_EQ(SettingsLineValue("Points: "), "");
  EXPECT_EQ(SettingsLineValue(""), "");
  EXPECT_EQ(SettingsLineValue("Points:"), "");
}

TEST(SettingsFile, MissingFileAndUnwritablePathRaiseTheIoError) {
  TempDir dir;
  InstrumentSettings s;
  EXPECT_THROW(Load_parameters(s, dir / "missing.dat"), IoError);
  EXPECT_THROW(save_parameters(s, dir / "no_such_dir" / "config.dat"), IoError);
  EXPECT_FALSE(std::filesystem::exists(dir / "no_such_dir"));
}

TEST(SettingsFile, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
  TempDir dir;
  WriteFile(dir / "config.dat", std::string(5000, 'x'));
  InstrumentSettings s;
  s.SetText(Setting::Points, "401");
  save_parameters(s, dir / "config.dat");
  EXPECT_EQ(ReadFile(dir / "config.dat"), SettingsFileText(s));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"config.dat"});
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  InstrumentSettings s;
  save_parameters(s, dir / "config.dat");
  const std::string before = ReadFile(dir / "config.dat");
  // A directory where the temporary file would go makes the write fail.
  std::filesystem::create_directory(dir / "config.dat.tmp");
  s.SetText(Setting::Points, "11");
  EXPECT_THROW(save_parameters(s, dir / "config.dat"), IoError);
  EXPECT_EQ(ReadFile(dir / "config.dat"), before);
}

TEST(SettingsSnapshot, CancelRestoresTextsButKeepsCheckBoxes) {
  InstrumentSettings s;
  SettingsSnapshot snapshot;
  snapshot.Take(s);
  s.SetText(Setting::StartFreq, "1000000");
  s.SetText(Setting::Format, "Nonsense");
  s.SetChecked(Setting::AveEnable, true);
  snapshot.Restore(s);
  EXPECT_EQ(s.Text(Setting::StartFreq), "20000000");
  EXPECT_EQ(s.Format(), "Log");
  EXPECT_TRUE(s.Checked(Setting::AveEnable));
}

TEST(SettingsModel, TableAndConversions) {
  EXPECT_EQ(SettingByControl("opt_freq_power_box"), Setting::FreqPower);
  EXPECT_FALSE(SettingByControl("opt_nothing").has_value());
  InstrumentSettings s;
  int changes = 0;
  s.on_change.Connect([&](Setting) { ++changes; });
  s.SetText(Setting::Dwell, "8");  // unchanged: no notice
  s.SetText(Setting::Dwell, "x");
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(s.Int(Setting::Dwell), ConversionError);
  EXPECT_EQ(s.Int(Setting::Points), 201);
  EXPECT_DOUBLE_EQ(s.Float(Setting::PowerFreq), -20.0);
}

}  // namespace
}  // namespace ostra
