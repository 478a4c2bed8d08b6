// The FTDI D2XX driver library, loaded at run time: ftd2xx.dll on Windows,
// libftd2xx.so elsewhere. Nothing links against it at build time, so the
// program builds and runs on machines without it. A library that cannot be
// loaded, or that lacks any of the functions the program calls, behaves as
// "no device": the count is 0 and every other call answers
// FT_DEVICE_NOT_FOUND.
#pragma once

#include <memory>
#include <string>

#include "device/shared_library.h"
#include "device/transport.h"

namespace ostra {

class D2xxLibrary : public Transport {
 public:
  // "ftd2xx.dll" on Windows, "libftd2xx.so" elsewhere.
  static std::string DefaultLibraryName();

  explicit D2xxLibrary(std::string path = DefaultLibraryName());
  ~D2xxLibrary() override;
  D2xxLibrary(const D2xxLibrary&) = delete;
  D2xxLibrary& operator=(const D2xxLibrary&) = delete;

  bool Loaded() const { return loaded_; }
  // Why the library is not in use ("" when it is).
  const std::string& LoadError() const { return load_error_; }
  const std::string& Path() const { return path_; }
  // Where the loaded library lies.
  std::string LoadedFrom() const { return module_ ? module_->FilePath() : path_; }

  FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) override;
  FT_STATUS FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) override;
  FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) override;
  FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                     DWORD* bytes_written) override;
  FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                    DWORD* bytes_returned) override;
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) override;
  FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                ULONG out_transfer_size) override;

 private:
  struct Functions;
  void Unload();

  std::string path_;
  std::unique_ptr<SharedLibrary> module_;
  std::unique_ptr<Functions> functions_;
  bool loaded_ = false;
  std::string load_error_;
};

}  // namespace ostra
