#include <gtest/gtest.h>

#include "base/app_log.h"
#include "base/errors.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using testing::FakePlatform;
using testing::ReadFile;
using testing::TempDir;

TEST(AppLog, LinesCarryTheTimestampAndEndInCrLf) {
  TempDir dir;
  FakePlatform platform;
  std::tm base{};
  base.tm_year = 2012 - 1900;
  base.tm_mon = 5;
  base.tm_mday = 15;
  base.tm_hour = 9;
  base.tm_min = 5;
  base.tm_sec = 7;
  platform.SetLocalTimeBase(base);
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  std::vector<std::string> shown;
  log.on_line.Connect([&](const std::string& line) { shown.push_back(line); });

  log.WriteLog("Preamp Enabled");
  log.WriteLog("");                   // an empty message: timestamp and one blank
  log.WriteLog("Rx gain set to 39");  // same second: same stamp, order kept
  platform.AdvanceMicroseconds(3'600'000'000LL);
  log.WriteLog("an hour later");

  EXPECT_EQ(ReadFile(dir / "ostra_log.txt"),
            "15/06/12 09:05:07 Preamp Enabled\r\n"
            "15/06/12 09:05:07 \r\n"
            "15/06/12 09:05:07 Rx gain set to 39\r\n"
            "15/06/12 10:05:07 an hour later\r\n");
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[1], "15/06/12 09:05:07 ");
  EXPECT_EQ(log.WindowLines(), shown);
}

TEST(AppLog, AppendsToAnExistingFile) {
  TempDir dir;
  FakePlatform platform;
  testing::WriteFile(dir / "ostra_log.txt", "old\r\n");
  AppLog log(platform);
  log.SetDataDirectory(dir.path());
  log.WriteLog("new");
  EXPECT_EQ(ReadFile(dir / "ostra_log.txt").substr(0, 5), "old\r\n");
}

TEST(AppLog, AFileThatCannotBeWrittenRaisesAndKeepsTheLineOutOfTheWindow) {
  TempDir dir;
  FakePlatform platform;
  AppLog log(platform);
  log.SetDataDirectory(dir / "removed");
  bool shown = false;
  log.on_line.Connect([&](const std::string&) { shown = true; });
  EXPECT_THROW(log.WriteLog("lost"), IoError);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(log.WindowLines().empty());
}

}  // namespace
}  // namespace ostra
