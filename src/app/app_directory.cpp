#include "app/app_directory.h"

#include <system_error>

namespace ostra {

namespace {

namespace fs = std::filesystem;

bool HoldsFactoryCopies(const fs::path& dir) {
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".def") return true;
  }
  return false;
}

// Copies the factory copies that `cal_data` lacks from `factory`; the number copied.
int FillFromFactory(const fs::path& cal_data, const fs::path& factory) {
  int copied = 0;
  std::error_code ec;
  for (fs::directory_iterator it(factory, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".def") continue;
    const fs::path target = cal_data / it->path().filename();
    std::error_code exists_error;
    if (fs::exists(target, exists_error)) continue;
    std::error_code copy_error;
    if (fs::copy_file(it->path(), target, copy_error)) ++copied;
  }
  return copied;
}

}  // namespace

AppDirectoryChoice ChooseAppDirectory(const fs::path& current,
                                      const std::optional<fs::path>& app_data,
                                      const std::vector<fs::path>& factory_dirs) {
  std::error_code ec;
  if (fs::is_directory(current / "cal_data", ec) || !app_data || app_data->empty()) {
    return {current, "Application folder set to " + current.string()};
  }
  const fs::path per_user = *app_data / kPerUserFolderName;
  const fs::path cal_data = per_user / "cal_data";
  AppDirectoryChoice choice{per_user, "Application folder set to " + per_user.string() +
                                          " (no cal_data in " + current.string() + ")"};
  fs::create_directories(cal_data, ec);
  if (ec) {
    choice.log_line += "; cannot create " + cal_data.string() + ": " + ec.message();
    return choice;
  }
  for (const fs::path& factory : factory_dirs) {
    if (!HoldsFactoryCopies(factory)) continue;
    if (const int copied = FillFromFactory(cal_data, factory); copied > 0) {
      choice.log_line +=
          "; " + std::to_string(copied) + " factory files copied from " + factory.string();
    }
    return choice;
  }
  choice.log_line += "; no factory files found";
  return choice;
}

}  // namespace ostra
