// The open FTDI library, libftdi1, loaded at run time (libftdi1.so.2; nothing
// links against it) behind the same D2XX calls as the vendor's library. It
// detaches the kernel's serial driver from the bridge itself. Each call maps
// onto libftdi1's own, and its failures come back as the D2XX status values,
// so the rest of the program reports them as it reports D2XX's. A library
// that cannot be loaded, or that lacks a function, behaves as "no device".
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "device/shared_library.h"
#include "device/transport.h"

namespace ostra {

class FtdiLibrary : public Transport {
 public:
  // "libftdi1.so.2" ("libftdi1.dll" on Windows).
  static std::string DefaultLibraryName();

  explicit FtdiLibrary(std::string path = DefaultLibraryName());
  ~FtdiLibrary() override;
  FtdiLibrary(const FtdiLibrary&) = delete;
  FtdiLibrary& operator=(const FtdiLibrary&) = delete;

  bool Loaded() const { return functions_ != nullptr; }
  const std::string& LoadError() const { return load_error_; }
  const std::string& Path() const { return path_; }
  std::string LoadedFrom() const { return module_ ? module_->FilePath() : path_; }

  // Lists the devices with libftdi1's usual FTDI ids (vendor 0403, products
  // 6001, 6010, 6011, 6014, 6015); the index is the place in that list.
  FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) override;
  // Opens by serial number only.
  FT_STATUS FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) override;
  FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) override;
  FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                     DWORD* bytes_written) override;
  // libftdi1 returns what has arrived; this reads until the count or the
  // read time-out, as D2XX does.
  FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                    DWORD* bytes_returned) override;
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) override;
  FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                ULONG out_transfer_size) override;

 private:
  struct Functions;
  struct Device;
  // The open device behind a handle, or null for one this library did not
  // give or has closed.
  Device* Find(FT_HANDLE handle);
  FT_STATUS ListedString(DWORD index, char* text, bool serial);

  std::string path_;
  std::unique_ptr<SharedLibrary> module_;
  std::unique_ptr<Functions> functions_;
  std::string load_error_;
  std::mutex devices_mutex_;
  std::set<Device*> devices_;
};

}  // namespace ostra
