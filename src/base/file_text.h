// Reading a whole file the program was given (a calibration table, a HEX
// image, a sector file) into memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>

namespace ostra {

// The file's bytes. IoError "Cannot open file "<path>". File not found" when
// it cannot be opened or is a folder, and an IoError when reading fails or it
// holds more than `max_bytes`.
std::string ReadTextFile(const std::filesystem::path& path,
                         size_t max_bytes = std::numeric_limits<size_t>::max());

}  // namespace ostra
