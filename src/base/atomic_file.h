// A file that replaces user data (settings, states, calibration captures,
// exports) is written under a temporary name beside its target, flushed to
// disk and renamed over the old file only when it is complete, so a crash, a
// full disk or a failed capture never leaves a half-written or empty file.
#pragma once

#include <filesystem>
#include <fstream>
#include <string_view>

namespace ostra {

class AtomicFile {
 public:
  // Creates `target` + ".tmp". Raises IoError ("Cannot create file ...")
  // when it cannot be created.
  explicit AtomicFile(std::filesystem::path target);
  // An uncommitted file is discarded: the temporary goes, the target stays.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::ostream& Stream() { return out_; }
  void Write(std::string_view text) {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  // Flushes, syncs the data to disk, closes and renames the temporary over
  // the target. Raises IoError (the temporary removed, the target kept).
  void Commit();
  // Drops the temporary now.
  void Discard();

  const std::filesystem::path& Target() const { return target_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::ofstream out_;
  bool open_ = false;
};

}  // namespace ostra
