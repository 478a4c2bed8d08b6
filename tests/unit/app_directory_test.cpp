// The application folder: the current folder when it holds cal_data, else
// the per-user folder filled from the factory copies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app_directory.h"
#include "support/analyser_rig.h"

namespace ostra {
namespace {

namespace fs = std::filesystem;
using testing::AnalyserRig;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;

std::vector<fs::path> Entries(const fs::path& dir) {
  std::vector<fs::path> entries;
  for (const auto& e : fs::recursive_directory_iterator(dir)) entries.push_back(e.path());
  return entries;
}

TEST(AppDirectory, AFolderHoldingCalDataIsUsedAsItIs) {
  TempDir dir;
  fs::create_directories(dir / "here" / "cal_data");
  const AppDirectoryChoice choice =
      ChooseAppDirectory(dir / "here", dir / "appdata", {testing::SourceDir() / "cal_data"});
  EXPECT_EQ(choice.directory, dir / "here");
  EXPECT_EQ(choice.log_line, "Application folder set to " + (dir / "here").string());
  EXPECT_FALSE(fs::exists(dir / "appdata"));
}

TEST(AppDirectory, StartedInAnEmptyFolderTheProgramWritesOnlyInThePerUserFolder) {
  AnalyserRig rig(/*with_cal_data=*/false);  // only for its platform and simulator
  TempDir dir;
  fs::create_directories(dir / "home");
  const fs::path factory = testing::SourceDir() / "cal_data";
  const AppDirectoryChoice choice =
      ChooseAppDirectory(dir / "home", dir / "appdata", {dir / "not installed", factory});
  const fs::path per_user = dir / "appdata" / "Ostra";
  EXPECT_EQ(choice.directory, per_user);
  EXPECT_THAT(choice.log_line, HasSubstr("factory files copied from " + factory.string()));
  EXPECT_EQ(ReadFile(per_user / "cal_data" / "config.def"), ReadFile(factory / "config.def"));

  // The whole program in that folder: start, sweep, exit.
  rig.analyser = std::make_unique<Analyser>(rig.platform, rig.sim, choice.directory);
  rig.analyser->Shell().SetAppDirectoryNote(choice.log_line);
  rig.StartUp();
  ASSERT_FALSE(rig.platform.QuitRequested());
  EXPECT_EQ(rig.LogLines()[1], choice.log_line);
  rig.analyser->Shell().Exit1Click();
  EXPECT_TRUE(Entries(dir / "home").empty());
  EXPECT_TRUE(fs::exists(per_user / "cal_data" / "config.dat"));
  EXPECT_TRUE(fs::exists(per_user / "cal_data" / "cal_open.dat"));

  // The next start keeps the user's files and adds only missing factory copies.
  testing::WriteFile(per_user / "cal_data" / "config.def", "mine");
  fs::remove(per_user / "cal_data" / "cal_open.def");
  const AppDirectoryChoice again = ChooseAppDirectory(dir / "home", dir / "appdata", {factory});
  EXPECT_EQ(again.directory, per_user);
  EXPECT_EQ(ReadFile(per_user / "cal_data" / "config.def"), "mine");
  EXPECT_TRUE(fs::exists(per_user / "cal_data" / "cal_open.def"));
  EXPECT_THAT(again.log_line, HasSubstr("1 factory files copied"));
}

TEST(AppDirectory, WithoutAnApplicationDataLocationTheCurrentFolderStays) {
  TempDir dir;
  const AppDirectoryChoice choice = ChooseAppDirectory(dir.path(), std::nullopt, {});
  EXPECT_EQ(choice.directory, dir.path());
  EXPECT_TRUE(Entries(dir.path()).empty());
}

}  // namespace
}  // namespace ostra
