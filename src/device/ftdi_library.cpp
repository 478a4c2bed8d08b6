#include "device/ftdi_library.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

namespace ostra {

namespace {

// The start of libftdi1's struct ftdi_context, the same in every 1.x
// release: its bulk-transfer time-outs follow the two libusb pointers.
struct FtdiContextHead {
  void* usb_ctx;
  void* usb_dev;
  int usb_read_timeout;
  int usb_write_timeout;
};

// libftdi1's struct ftdi_device_list.
struct FtdiDeviceList {
  FtdiDeviceList* next;
  void* dev;
};

// libusb's LIBUSB_ERROR_TIMEOUT, which libftdi1 passes on: nothing moved.
constexpr int kUsbTimeout = -7;
// A text of FT_ListDevices (the caller's buffer holds 64 characters).
constexpr int kListedTextSize = 64;

using NewFn = void* (*)();
using FreeFn = void (*)(void*);
using FindAllFn = int (*)(void*, FtdiDeviceList**, int, int);
using ListFreeFn = void (*)(FtdiDeviceList**);
using GetStringsFn = int (*)(void*, void*, char*, int, char*, int, char*, int);
using OpenDevFn = int (*)(void*, void*);
using ContextFn = int (*)(void*);
using LatencyFn = int (*)(void*, unsigned char);
using ChunkSizeFn = int (*)(void*, unsigned int);
using WriteFn = int (*)(void*, const unsigned char*, int);
using ReadFn = int (*)(void*, unsigned char*, int);

// The devices with the usual FTDI ids, freed with the context.
class DeviceListing {
 public:
  DeviceListing(NewFn make, FreeFn free_context, FindAllFn find_all, ListFreeFn list_free)
      : free_(free_context), list_free_(list_free), context_(make()) {
    // Vendor and product 0: libftdi1's list of the usual FTDI ids.
    if (context_) count_ = find_all(context_, &list_, 0, 0);
  }
  ~DeviceListing() {
    if (list_) list_free_(&list_);
    if (context_) free_(context_);
  }
  DeviceListing(const DeviceListing&) = delete;
  DeviceListing& operator=(const DeviceListing&) = delete;

  void* Context() const { return context_; }
  // Negative: the bus could not be listed.
  int Count() const { return context_ ? count_ : -1; }
  void* Device(int index) const {
    FtdiDeviceList* node = list_;
    for (int i = 0; node && i < index; ++i) node = node->next;
    return node ? node->dev : nullptr;
  }

 private:
  FreeFn free_;
  ListFreeFn list_free_;
  void* context_;
  FtdiDeviceList* list_ = nullptr;
  int count_ = -1;
};

}  // namespace

struct FtdiLibrary::Functions {
  NewFn make = nullptr;
  FreeFn free_context = nullptr;
  FindAllFn find_all = nullptr;
  ListFreeFn list_free = nullptr;
  GetStringsFn get_strings = nullptr;
  OpenDevFn open_dev = nullptr;
  ContextFn close = nullptr;
  ContextFn reset = nullptr;
  ContextFn purge_rx = nullptr;
  ContextFn purge_tx = nullptr;
  LatencyFn set_latency = nullptr;
  ChunkSizeFn read_chunk = nullptr;
  ChunkSizeFn write_chunk = nullptr;
  WriteFn write = nullptr;
  ReadFn read = nullptr;
};

// An open device: its own libftdi1 context and the D2XX read time-out.
struct FtdiLibrary::Device {
  void* context = nullptr;
  uint32_t read_timeout_ms = 0;
};

std::string FtdiLibrary::DefaultLibraryName() {
#ifdef _WIN32
  return "libftdi1.dll";
#else
  return "libftdi1.so.2";
#endif
}

FtdiLibrary::FtdiLibrary(std::string path) : path_(std::move(path)) {
  module_ = std::make_unique<SharedLibrary>(path_);
  if (!module_->Loaded()) {
    load_error_ = module_->Error();
    module_.reset();
    return;
  }
  auto functions = std::make_unique<Functions>();
  FunctionLookup find(*module_);
  find(functions->make, "ftdi_new");
  find(functions->free_context, "ftdi_free");
  find(functions->find_all, "ftdi_usb_find_all");
  find(functions->list_free, "ftdi_list_free");
  find(functions->get_strings, "ftdi_usb_get_strings");
  find(functions->open_dev, "ftdi_usb_open_dev");
  find(functions->close, "ftdi_usb_close");
  find(functions->reset, "ftdi_usb_reset");
  find(functions->purge_rx, "ftdi_tciflush");
  find(functions->purge_tx, "ftdi_tcoflush");
  find(functions->set_latency, "ftdi_set_latency_timer");
  find(functions->read_chunk, "ftdi_read_data_set_chunksize");
  find(functions->write_chunk, "ftdi_write_data_set_chunksize");
  find(functions->write, "ftdi_write_data");
  find(functions->read, "ftdi_read_data");
  if (!find.Complete()) {
    load_error_ = path_ + " lacks " + find.FirstMissing();
    module_.reset();
    return;
  }
  functions_ = std::move(functions);
}

FtdiLibrary::~FtdiLibrary() {
  std::lock_guard lock(devices_mutex_);
  for (Device* device : devices_) {
    functions_->close(device->context);
    functions_->free_context(device->context);
    delete device;
  }
}

FtdiLibrary::Device* FtdiLibrary::Find(FT_HANDLE handle) {
  std::lock_guard lock(devices_mutex_);
  auto it = devices_.find(static_cast<Device*>(handle));
  return it == devices_.end() ? nullptr : *it;
}

FT_STATUS FtdiLibrary::ListedString(DWORD index, char* text, bool serial) {
  const Functions& f = *functions_;
  DeviceListing listing(f.make, f.free_context, f.find_all, f.list_free);
  if (listing.Count() < 0) return FT_IO_ERROR;
  if (index >= static_cast<DWORD>(listing.Count())) return FT_DEVICE_NOT_FOUND;
  char description[kListedTextSize] = {};
  char serial_number[kListedTextSize] = {};
  // Reading the strings opens the device: one that the user may not open
  // cannot be named.
  if (f.get_strings(listing.Context(), listing.Device(static_cast<int>(index)), nullptr, 0,
                    description, kListedTextSize, serial_number, kListedTextSize) < 0) {
    return FT_DEVICE_NOT_OPENED;
  }
  const char* chosen = serial ? serial_number : description;
  std::memcpy(text, chosen, strnlen(chosen, kListedTextSize - 1));
  text[strnlen(chosen, kListedTextSize - 1)] = '\0';
  return FT_OK;
}

FT_STATUS FtdiLibrary::FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  if (!Loaded()) {
    if ((flags & FT_LIST_NUMBER_ONLY) && arg1) {
      *static_cast<DWORD*>(arg1) = 0;
      return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
  }
  if (flags & FT_LIST_NUMBER_ONLY) {
    if (!arg1) return FT_INVALID_PARAMETER;
    const Functions& f = *functions_;
    DeviceListing listing(f.make, f.free_context, f.find_all, f.list_free);
    *static_cast<DWORD*>(arg1) = static_cast<DWORD>(std::max(listing.Count(), 0));
    return listing.Count() < 0 ? FT_IO_ERROR : FT_OK;
  }
  if (!(flags & FT_LIST_BY_INDEX) || !arg2) return FT_INVALID_PARAMETER;
  const auto index = static_cast<DWORD>(reinterpret_cast<uintptr_t>(arg1));
  if (flags & FT_OPEN_BY_SERIAL_NUMBER) return ListedString(index, static_cast<char*>(arg2), true);
  if (flags & FT_OPEN_BY_DESCRIPTION) return ListedString(index, static_cast<char*>(arg2), false);
  return FT_INVALID_PARAMETER;
}

FT_STATUS FtdiLibrary::FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  if (!handle || !arg1 || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
  *handle = nullptr;
  const std::string wanted(static_cast<const char*>(arg1),
                           strnlen(static_cast<const char*>(arg1), kListedTextSize - 1));
  const Functions& f = *functions_;
  DeviceListing listing(f.make, f.free_context, f.find_all, f.list_free);
  for (int i = 0; i < listing.Count(); ++i) {
    char serial[kListedTextSize] = {};
    void* dev = listing.Device(i);
    if (f.get_strings(listing.Context(), dev, nullptr, 0, nullptr, 0, serial, kListedTextSize) <
            0 ||
        wanted != serial) {
      continue;
    }
    void* context = f.make();
    if (!context) return FT_INSUFFICIENT_RESOURCES;
    if (f.open_dev(context, dev) < 0) {
      f.free_context(context);
      return FT_DEVICE_NOT_OPENED;
    }
    auto* device = new Device{context, 0};
    std::lock_guard lock(devices_mutex_);
    devices_.insert(device);
    *handle = device;
    return FT_OK;
  }
  return FT_DEVICE_NOT_FOUND;
}

FT_STATUS FtdiLibrary::FT_Close(FT_HANDLE handle) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = nullptr;
  {
    std::lock_guard lock(devices_mutex_);
    auto it = devices_.find(static_cast<Device*>(handle));
    if (it == devices_.end()) return FT_INVALID_HANDLE;
    device = *it;
    devices_.erase(it);
  }
  const int result = functions_->close(device->context);
  functions_->free_context(device->context);
  delete device;
  return result < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS FtdiLibrary::FT_ResetDevice(FT_HANDLE handle) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  return functions_->reset(device->context) < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS FtdiLibrary::FT_Purge(FT_HANDLE handle, ULONG mask) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  if ((mask & FT_PURGE_RX) && functions_->purge_rx(device->context) < 0) return FT_IO_ERROR;
  if ((mask & FT_PURGE_TX) && functions_->purge_tx(device->context) < 0) return FT_IO_ERROR;
  return FT_OK;
}

FT_STATUS FtdiLibrary::FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  device->read_timeout_ms = read_timeout;
  // One bulk transfer waits no longer than the whole read may.
  auto* head = static_cast<FtdiContextHead*>(device->context);
  head->usb_read_timeout =
      static_cast<int>(std::min<ULONG>(std::max<ULONG>(read_timeout, 1), 60000));
  head->usb_write_timeout =
      static_cast<int>(std::min<ULONG>(std::max<ULONG>(write_timeout, 1), 60000));
  return FT_OK;
}

FT_STATUS FtdiLibrary::FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                                DWORD* bytes_written) {
  if (bytes_written) *bytes_written = 0;
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  if (!buffer || !bytes_written) return FT_INVALID_PARAMETER;
  const int size = static_cast<int>(std::min<DWORD>(bytes_to_write, 1u << 30));
  const int result = functions_->write(device->context, static_cast<unsigned char*>(buffer), size);
  // A write that timed out is short, as with D2XX, not a failure.
  if (result == kUsbTimeout) return FT_OK;
  if (result < 0) return FT_IO_ERROR;
  *bytes_written = static_cast<DWORD>(result);
  return FT_OK;
}

FT_STATUS FtdiLibrary::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                               DWORD* bytes_returned) {
  if (bytes_returned) *bytes_returned = 0;
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  if (!buffer || !bytes_returned) return FT_INVALID_PARAMETER;
  auto* bytes = static_cast<unsigned char*>(buffer);
  const int wanted = static_cast<int>(std::min<DWORD>(bytes_to_read, 1u << 30));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(device->read_timeout_ms);
  int got = 0;
  while (got < wanted) {
    const int result = functions_->read(device->context, bytes + got, wanted - got);
    if (result < 0 && result != kUsbTimeout) {
      *bytes_returned = static_cast<DWORD>(got);
      return FT_IO_ERROR;
    }
    if (result > 0) got += result;
    if (got >= wanted || std::chrono::steady_clock::now() >= deadline) break;
    // Nothing yet: the bridge answers within its latency time.
    if (result <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  *bytes_returned = static_cast<DWORD>(got);
  return FT_OK;
}

FT_STATUS FtdiLibrary::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  const int result = functions_->set_latency(device->context, timer);
  // -1: a time outside 1..255 ms.
  if (result == -1) return FT_INVALID_PARAMETER;
  return result < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS FtdiLibrary::FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                           ULONG out_transfer_size) {
  if (!Loaded()) return FT_DEVICE_NOT_FOUND;
  Device* device = Find(handle);
  if (!device) return FT_INVALID_HANDLE;
  // D2XX leaves a size of 0 as it is.
  if (in_transfer_size != 0 && functions_->read_chunk(device->context, in_transfer_size) < 0) {
    return FT_IO_ERROR;
  }
  if (out_transfer_size != 0 && functions_->write_chunk(device->context, out_transfer_size) < 0) {
    return FT_IO_ERROR;
  }
  return FT_OK;
}

}  // namespace ostra
