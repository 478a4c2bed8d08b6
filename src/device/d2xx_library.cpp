#include "device/d2xx_library.h"

#include <memory>
#include <type_traits>

#ifdef _WIN32
#define OSTRA_D2XX_CALL __stdcall
#else
#define OSTRA_D2XX_CALL
#endif

namespace ostra {

namespace {

// The C prototypes of the library's functions.
using ListDevicesFn = FT_STATUS(OSTRA_D2XX_CALL*)(void*, void*, DWORD);
using OpenExFn = FT_STATUS(OSTRA_D2XX_CALL*)(void*, DWORD, FT_HANDLE*);
using HandleFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE);
using PurgeFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE, ULONG);
using SetTimeoutsFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE, ULONG, ULONG);
using TransferFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE, void*, DWORD, DWORD*);
using SetLatencyTimerFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE, UCHAR);
using SetUsbParametersFn = FT_STATUS(OSTRA_D2XX_CALL*)(FT_HANDLE, ULONG, ULONG);

}  // namespace

struct D2xxLibrary::Functions {
  ListDevicesFn list_devices = nullptr;
  OpenExFn open_ex = nullptr;
  HandleFn close = nullptr;
  HandleFn reset_device = nullptr;
  PurgeFn purge = nullptr;
  SetTimeoutsFn set_timeouts = nullptr;
  TransferFn write = nullptr;
  TransferFn read = nullptr;
  SetLatencyTimerFn set_latency_timer = nullptr;
  SetUsbParametersFn set_usb_parameters = nullptr;
};

std::string D2xxLibrary::DefaultLibraryName() {
#ifdef _WIN32
  return "ftd2xx.dll";
#else
  return "libftd2xx.so";
#endif
}

D2xxLibrary::D2xxLibrary(std::string path) : path_(std::move(path)) {
  module_ = std::make_unique<SharedLibrary>(path_);
  if (!module_->Loaded()) {
    load_error_ = module_->Error();
    module_.reset();
    return;
  }

  auto functions = std::make_unique<Functions>();
  FunctionLookup find(*module_);
  find(functions->list_devices, "FT_ListDevices");
  find(functions->open_ex, "FT_OpenEx");
  find(functions->close, "FT_Close");
  find(functions->reset_device, "FT_ResetDevice");
  find(functions->purge, "FT_Purge");
  find(functions->set_timeouts, "FT_SetTimeouts");
  find(functions->write, "FT_Write");
  find(functions->read, "FT_Read");
  find(functions->set_latency_timer, "FT_SetLatencyTimer");
  find(functions->set_usb_parameters, "FT_SetUSBParameters");
  if (!find.Complete()) {
    load_error_ = path_ + " lacks " + find.FirstMissing();
    Unload();
    return;
  }
  functions_ = std::move(functions);
  loaded_ = true;
}

D2xxLibrary::~D2xxLibrary() { Unload(); }

void D2xxLibrary::Unload() {
  functions_.reset();
  loaded_ = false;
  module_.reset();
}

FT_STATUS D2xxLibrary::FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  if (!loaded_) {
    // No library: no devices.
    if ((flags & FT_LIST_NUMBER_ONLY) && arg1) {
      *static_cast<DWORD*>(arg1) = 0;
      return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
  }
  return functions_->list_devices(arg1, arg2, flags);
}

FT_STATUS D2xxLibrary::FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->open_ex(arg1, flags, handle);
}

FT_STATUS D2xxLibrary::FT_Close(FT_HANDLE handle) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->close(handle);
}

FT_STATUS D2xxLibrary::FT_ResetDevice(FT_HANDLE handle) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->reset_device(handle);
}

FT_STATUS D2xxLibrary::FT_Purge(FT_HANDLE handle, ULONG mask) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->purge(handle, mask);
}

FT_STATUS D2xxLibrary::FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->set_timeouts(handle, read_timeout, write_timeout);
}

FT_STATUS D2xxLibrary::FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                                DWORD* bytes_written) {
  if (!loaded_) {
    if (bytes_written) *bytes_written = 0;
    return FT_DEVICE_NOT_FOUND;
  }
  return functions_->write(handle, buffer, bytes_to_write, bytes_written);
}

FT_STATUS D2xxLibrary::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                               DWORD* bytes_returned) {
  if (!loaded_) {
    if (bytes_returned) *bytes_returned = 0;
    return FT_DEVICE_NOT_FOUND;
  }
  return functions_->read(handle, buffer, bytes_to_read, bytes_returned);
}

FT_STATUS D2xxLibrary::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->set_latency_timer(handle, timer);
}

FT_STATUS D2xxLibrary::FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                           ULONG out_transfer_size) {
  if (!loaded_) return FT_DEVICE_NOT_FOUND;
  return functions_->set_usb_parameters(handle, in_transfer_size, out_transfer_size);
}

}  // namespace ostra
