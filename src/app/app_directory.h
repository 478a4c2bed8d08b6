// The application folder (AppDirectory): the folder whose cal_data holds the
// settings and calibration files. The program keeps the rule that the
// current folder is the application folder when it holds cal_data (the
// source tree, or a folder the user prepared). Started anywhere else (a home
// folder, a desktop menu), it works in a per-user folder instead, whose
// cal_data it creates and fills from the factory copies shipped with the
// program, and never writes into a folder it was not started in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ostra {

// The per-user application folder's name below the platform's
// application-data location.
inline constexpr const char* kPerUserFolderName = "Ostra";

struct AppDirectoryChoice {
  std::filesystem::path directory;
  // For the application log: which folder is used, and why.
  std::string log_line;
};

// `current` when it holds cal_data. Otherwise `app_data` / "Ostra": its
// cal_data is created when missing and given each factory copy (*.def) it
// lacks, from the first of `factory_dirs` that holds any; files already
// there are kept. Without an application-data location the choice is
// `current` (the start-up pass then reports the missing cal_data).
AppDirectoryChoice ChooseAppDirectory(const std::filesystem::path& current,
                                      const std::optional<std::filesystem::path>& app_data,
                                      const std::vector<std::filesystem::path>& factory_dirs);

}  // namespace ostra
