#include "base/file_text.h"

#include <fstream>
#include <system_error>

#include "base/errors.h"

namespace ostra {

std::string ReadTextFile(const std::filesystem::path& path, size_t max_bytes) {
  std::error_code ec;
  // A folder opens as a stream on some systems and reads as empty.
  if (std::filesystem::is_directory(path, ec)) {
    throw IoError("Cannot open file \"" + path.string() + "\". File not found");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw IoError("Cannot open file \"" + path.string() + "\". File not found");
  std::string content;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    content.append(buffer, static_cast<size_t>(in.gcount()));
    if (content.size() > max_bytes) {
      throw IoError("File \"" + path.string() + "\" is larger than " + std::to_string(max_bytes) +
                    " bytes");
    }
  }
  if (in.bad()) throw IoError("I/O error reading \"" + path.string() + "\"");
  return content;
}

}  // namespace ostra
