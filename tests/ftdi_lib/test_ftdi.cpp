// The libftdi1 functions the program calls, answered by one simulated
// instrument in instant mode without noise, as libftdi1 answers: counts and
// byte counts, negative on failure. OstraTestFtdiControl sets it up.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "sim/simulated_instrument.h"

#ifdef _WIN32
#define OSTRA_FTDI_EXPORT extern "C" __declspec(dllexport)
#else
#define OSTRA_FTDI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

using ostra::DWORD;
using ostra::FT_HANDLE;
using ostra::FT_OK;

namespace {

// libftdi1's context begins with these; the simulator's handle follows.
struct Context {
  void* usb_ctx = nullptr;
  void* usb_dev = nullptr;
  int usb_read_timeout = 5000;
  int usb_write_timeout = 5000;
  FT_HANDLE handle = nullptr;
};

struct DeviceList {
  DeviceList* next;
  void* dev;
};

constexpr int kUsbIoError = -1;
constexpr int kUsbTimeout = -7;

struct TestInstrument {
  TestInstrument() {
    sim.SetRealTime(false);
    sim.SetNoise(0.0);
  }
  ostra::SimulatedInstrument sim;
};

ostra::SimulatedInstrument& Instrument() {
  static TestInstrument instrument;  // lives until the library is unloaded
  return instrument.sim;
}

// The listed device's text: its index is the list entry's address less one.
bool Listed(void* dev, DWORD which, char* text) {
  char buffer[64] = {};
  const auto index = reinterpret_cast<uintptr_t>(dev) - 1;
  if (Instrument().FT_ListDevices(reinterpret_cast<void*>(index), buffer,
                                  ostra::FT_LIST_BY_INDEX | which) != FT_OK) {
    return false;
  }
  std::memcpy(text, buffer, sizeof buffer);
  return true;
}

}  // namespace

// "reset" (no faults, one instrument, the series RLC), "no-device",
// "unplug" (every read and write fails from now on). Returns 0, or -1.
OSTRA_FTDI_EXPORT int OstraTestFtdiControl(const char* command) {
  const std::string text = command ? command : "";
  auto& sim = Instrument();
  if (text == "reset") {
    sim.ClearFaults();
    sim.SetDisconnected(false);
    sim.SetDeviceList(
        {{ostra::SimulatedInstrument::kDescription, ostra::SimulatedInstrument::kSerial}});
    sim.SetDut(ostra::Dut::SeriesRlc);
    return 0;
  }
  if (text == "no-device") {
    sim.SetNoDevice(true);
    return 0;
  }
  if (text == "unplug") {
    sim.SetDisconnected(true);
    return 0;
  }
  return -1;
}

OSTRA_FTDI_EXPORT void* ftdi_new() { return new Context; }

OSTRA_FTDI_EXPORT void ftdi_free(void* ftdi) { delete static_cast<Context*>(ftdi); }

OSTRA_FTDI_EXPORT int ftdi_usb_find_all(void*, DeviceList** list, int vendor, int product) {
  *list = nullptr;
  if (vendor != 0 || product != 0) return 0;  // only the usual ids are asked for
  DWORD count = 0;
  if (Instrument().FT_ListDevices(&count, nullptr, ostra::FT_LIST_NUMBER_ONLY) != FT_OK) {
    return kUsbIoError;
  }
  for (DWORD i = count; i > 0; --i) *list = new DeviceList{*list, reinterpret_cast<void*>(i)};
  return static_cast<int>(count);
}

OSTRA_FTDI_EXPORT void ftdi_list_free(DeviceList** list) {
  while (*list) delete std::exchange(*list, (*list)->next);
}

OSTRA_FTDI_EXPORT int ftdi_usb_get_strings(void*, void* dev, char* manufacturer, int mnf_len,
                                           char* description, int desc_len, char* serial,
                                           int serial_len) {
  char text[64] = {};
  if (manufacturer && mnf_len > 0) std::snprintf(manufacturer, mnf_len, "FTDI");
  if (description) {
    if (!Listed(dev, ostra::FT_OPEN_BY_DESCRIPTION, text)) return -9;
    std::snprintf(description, desc_len, "%s", text);
  }
  if (serial) {
    if (!Listed(dev, ostra::FT_OPEN_BY_SERIAL_NUMBER, text)) return -10;
    std::snprintf(serial, serial_len, "%s", text);
  }
  return 0;
}

OSTRA_FTDI_EXPORT int ftdi_usb_open_dev(void* ftdi, void* dev) {
  char serial[64] = {};
  if (!Listed(dev, ostra::FT_OPEN_BY_SERIAL_NUMBER, serial)) return -8;
  auto* context = static_cast<Context*>(ftdi);
  return Instrument().FT_OpenEx(serial, ostra::FT_OPEN_BY_SERIAL_NUMBER, &context->handle) == FT_OK
             ? 0
             : -4;
}

OSTRA_FTDI_EXPORT int ftdi_usb_close(void* ftdi) {
  return Instrument().FT_Close(static_cast<Context*>(ftdi)->handle) == FT_OK ? 0 : -1;
}

OSTRA_FTDI_EXPORT int ftdi_usb_reset(void* ftdi) {
  return Instrument().FT_ResetDevice(static_cast<Context*>(ftdi)->handle) == FT_OK ? 0 : -1;
}

OSTRA_FTDI_EXPORT int ftdi_tciflush(void* ftdi) {
  return Instrument().FT_Purge(static_cast<Context*>(ftdi)->handle, ostra::FT_PURGE_RX) == FT_OK
             ? 0
             : -1;
}

OSTRA_FTDI_EXPORT int ftdi_tcoflush(void* ftdi) {
  return Instrument().FT_Purge(static_cast<Context*>(ftdi)->handle, ostra::FT_PURGE_TX) == FT_OK
             ? 0
             : -1;
}

OSTRA_FTDI_EXPORT int ftdi_set_latency_timer(void* ftdi, unsigned char latency) {
  if (latency < 1) return -1;
  return Instrument().FT_SetLatencyTimer(static_cast<Context*>(ftdi)->handle, latency) == FT_OK
             ? 0
             : -2;
}

OSTRA_FTDI_EXPORT int ftdi_read_data_set_chunksize(void* ftdi, unsigned int chunksize) {
  auto* context = static_cast<Context*>(ftdi);
  return Instrument().FT_SetUSBParameters(context->handle, chunksize, 0) == FT_OK ? 0 : -1;
}

OSTRA_FTDI_EXPORT int ftdi_write_data_set_chunksize(void*, unsigned int) { return 0; }

// The whole buffer, or a time-out for a write the instrument took only part of.
OSTRA_FTDI_EXPORT int ftdi_write_data(void* ftdi, const unsigned char* buf, int size) {
  auto* context = static_cast<Context*>(ftdi);
  Instrument().FT_SetTimeouts(context->handle, 0, static_cast<DWORD>(context->usb_write_timeout));
  DWORD written = 0;
  if (Instrument().FT_Write(context->handle, const_cast<unsigned char*>(buf),
                            static_cast<DWORD>(size), &written) != FT_OK) {
    return kUsbIoError;
  }
  return static_cast<int>(written) < size ? kUsbTimeout : static_cast<int>(written);
}

// What has arrived, at once (the simulator runs instant), and no more than
// one bulk transfer's worth, so that a reader must come back for the rest.
OSTRA_FTDI_EXPORT int ftdi_read_data(void* ftdi, unsigned char* buf, int size) {
  constexpr int kTransferData = 510;
  DWORD got = 0;
  if (Instrument().FT_Read(static_cast<Context*>(ftdi)->handle, buf,
                           static_cast<DWORD>(std::min(size, kTransferData)), &got) != FT_OK) {
    return kUsbIoError;
  }
  return static_cast<int>(got);
}
