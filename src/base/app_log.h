// The application log: one timestamped line per event, appended to
// ostra_log.txt in the data directory and to the log window.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/signal.h"

namespace ostra {

class AppLog {
 public:
  explicit AppLog(Platform& platform) : platform_(platform) {}

  void SetDataDirectory(std::filesystem::path dir) { data_directory_ = std::move(dir); }
  const std::filesystem::path& DataDirectory() const { return data_directory_; }
  std::filesystem::path FilePath() const { return data_directory_ / "ostra_log.txt"; }

  // Appends "dd/mm/yy HH:MM:SS message" + CR LF to the file, opening and
  // closing it for the line, then to the window. Raises IoError when the
  // file cannot be written; the line then does not reach the window.
  void WriteLog(const std::string& message);

  // The lines of the log window (LogPad), in call order.
  const std::vector<std::string>& WindowLines() const { return window_lines_; }
  // Called with each new window line.
  Signal<const std::string&> on_line;

  static std::string Timestamp(const std::tm& time);

 private:
  Platform& platform_;
  std::filesystem::path data_directory_;
  std::vector<std::string> window_lines_;
};

}  // namespace ostra
