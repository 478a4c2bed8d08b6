// What Save Data makes of the name a user chose in its dialog: any name,
// under either filter, for either port count, gives a format and a file in
// the chosen folder; a Touchstone name ends in the extension of the ports.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "files/export_format.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int filter_index = static_cast<int>(data[0] & 3) - 1;  // -1 .. 2
  const int ports = (data[0] >> 2) % 3;                        // 0, 1, 2
  const std::string name(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::filesystem::path chosen = std::filesystem::path("folder") / name;
  const ExportTarget target = DecideExport(chosen, filter_index, ports);
  FUZZ_CHECK(target.file.parent_path() == chosen.parent_path());
  if (target.kind == ExportKind::Touchstone && ports > 0 && chosen.has_extension()) {
    const std::string extension = target.file.extension().string();
    FUZZ_CHECK(extension == chosen.extension().string() ||
               extension == (ports == 2 ? ".s2p" : ".s1p"));
  }
  FUZZ_CHECK(target.note.empty() || target.file != chosen);
  return 0;
}
