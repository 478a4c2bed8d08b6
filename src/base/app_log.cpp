#include "base/app_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/errors.h"

namespace ostra {

std::string AppLog::Timestamp(const std::tm& t) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                (t.tm_year + 1900) % 100, t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

void AppLog::WriteLog(const std::string& message) {
  const std::string line = Timestamp(platform_.LocalTime()) + " " + message;
  const std::filesystem::path path = FilePath();
  std::FILE* file = std::fopen(path.string().c_str(), "ab");
  if (file == nullptr) {
    throw IoError("Cannot open file \"" + path.string() + "\". " + std::strerror(errno));
  }
  const std::string record = line + "\r\n";
  const size_t written = std::fwrite(record.data(), 1, record.size(), file);
  const int closed = std::fclose(file);
  if (written != record.size() || closed != 0) {
    throw IoError("I/O error writing \"" + path.string() + "\".");
  }
  window_lines_.push_back(line);
  on_line.Emit(line);
}

}  // namespace ostra
