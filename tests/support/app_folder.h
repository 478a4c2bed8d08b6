// A fresh application folder under `dir` ("app", whose cal_data holds the
// factory copies only) and a documents folder ("docs").
#pragma once

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"

namespace ostra::testing {

inline std::filesystem::path SourceDir() {
  if (const char* dir = std::getenv("OSTRA_SOURCE_DIR")) return dir;
  return OSTRA_SOURCE_DIR;
}

// Returns the application folder; without `with_cal_data` it stays empty.
inline std::filesystem::path MakeAppFolder(const TempDir& dir, bool with_cal_data = true) {
  const auto app = dir / "app";
  std::filesystem::create_directories(app);
  if (with_cal_data) {
    std::filesystem::create_directories(app / "cal_data");
    // Working files of a local run stay out.
    for (const auto& entry : std::filesystem::directory_iterator(SourceDir() / "cal_data")) {
      if (entry.path().extension() != ".def") continue;
      std::filesystem::copy_file(entry.path(), app / "cal_data" / entry.path().filename());
    }
  }
  std::filesystem::create_directories(dir / "docs");
  return app;
}

}  // namespace ostra::testing
