#include "base/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "base/errors.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ostra {

namespace {

std::string ErrorText() { return errno != 0 ? std::strerror(errno) : "I/O error"; }

// The data of a closed file reaches the disk before it is renamed, so a power
// cut leaves the old file or the new one, never an empty one.
bool SyncToDisk(const std::filesystem::path& path) {
#ifdef _WIN32
  const int fd = ::_wopen(path.c_str(), _O_RDWR | _O_BINARY);
  if (fd < 0) return false;
  const bool ok = ::_commit(fd) == 0;  // FlushFileBuffers underneath
  ::_close(fd);
  return ok;
#else
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
#endif
}

// The rename itself reaches the disk with its folder's entry (POSIX); a
// failure here is not reported, the file is complete either way.
void SyncFolder(const std::filesystem::path& file) {
#ifndef _WIN32
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
#else
  (void)file;
#endif
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
  temp_ = target_;
  temp_ += ".tmp";
  errno = 0;
  out_.open(temp_, std::ios::binary | std::ios::trunc);
  if (!out_) throw IoError("Cannot create file \"" + target_.string() + "\". " + ErrorText());
  open_ = true;
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (!open_) return;
  open_ = false;
  out_.close();
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

void AtomicFile::Commit() {
  if (!open_) throw IoError("Cannot create file \"" + target_.string() + "\".");
  errno = 0;
  out_.flush();
  const bool written = static_cast<bool>(out_);
  out_.close();
  if (!written || out_.fail() || !SyncToDisk(temp_)) {
    const std::string why = ErrorText();
    Discard();
    throw IoError("I/O error writing \"" + target_.string() + "\". " + why);
  }
  std::error_code ec;
  std::filesystem::rename(temp_, target_, ec);
  if (ec) {
    Discard();
    throw IoError("Cannot create file \"" + target_.string() + "\". " + ec.message());
  }
  open_ = false;
  SyncFolder(target_);
}

}  // namespace ostra
