// The D2XX C functions, answered by one simulated instrument in instant mode
// without noise, plus OstraTestD2xxControl to set it up from a test.
#include <cstdlib>
#include <string>

#include "sim/simulated_instrument.h"

#ifdef _WIN32
#define OSTRA_D2XX_EXPORT extern "C" __declspec(dllexport)
#define OSTRA_D2XX_CALL __stdcall
#else
#define OSTRA_D2XX_EXPORT extern "C" __attribute__((visibility("default")))
#define OSTRA_D2XX_CALL
#endif

using ostra::DWORD;
using ostra::FT_HANDLE;
using ostra::FT_STATUS;
using ostra::UCHAR;
using ostra::ULONG;

namespace {

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

}  // namespace

// "reset" (no faults, one instrument, the series RLC), "no-device",
// "unplug" (every read and write fails from now on), "dut=<name>",
// "noise=<volts>", "real-time" (an acquisition takes the instrument's own
// time), "replay" (an acquisition of an unchanged program repeats the one
// before: the instrument costs nothing). Returns 0, or -1 for an unknown
// command.
OSTRA_D2XX_EXPORT int OstraTestD2xxControl(const char* command) {
  const std::string text = command ? command : "";
  auto& sim = Instrument();
  if (text == "reset") {
    sim.ClearFaults();
    sim.SetDisconnected(false);
    sim.SetDeviceList(
        {{ostra::SimulatedInstrument::kDescription, ostra::SimulatedInstrument::kSerial}});
    sim.SetDut(ostra::Dut::SeriesRlc);
    sim.SetNoise(0.0);
    sim.SetReplay(false);
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
  if (text.rfind("dut=", 0) == 0) {
    const auto dut = ostra::ParseDut(text.substr(4));
    if (!dut) return -1;
    sim.SetDut(*dut);
    return 0;
  }
  if (text == "real-time") {
    sim.SetRealTime(true);
    return 0;
  }
  if (text == "replay") {
    sim.SetReplay(true);
    return 0;
  }
  if (text.rfind("noise=", 0) == 0) {
    sim.SetNoise(std::strtod(text.c_str() + 6, nullptr));
    return 0;
  }
  return -1;
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  return Instrument().FT_ListDevices(arg1, arg2, flags);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
  return Instrument().FT_OpenEx(arg1, flags, handle);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_Close(FT_HANDLE handle) {
  return Instrument().FT_Close(handle);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_ResetDevice(FT_HANDLE handle) {
  return Instrument().FT_ResetDevice(handle);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_Purge(FT_HANDLE handle, ULONG mask) {
  return Instrument().FT_Purge(handle, mask);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout,
                                                           ULONG write_timeout) {
  return Instrument().FT_SetTimeouts(handle, read_timeout, write_timeout);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_Write(FT_HANDLE handle, void* buffer,
                                                     DWORD bytes_to_write, DWORD* bytes_written) {
  return Instrument().FT_Write(handle, buffer, bytes_to_write, bytes_written);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_Read(FT_HANDLE handle, void* buffer,
                                                    DWORD bytes_to_read, DWORD* bytes_returned) {
  return Instrument().FT_Read(handle, buffer, bytes_to_read, bytes_returned);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) {
  return Instrument().FT_SetLatencyTimer(handle, timer);
}

OSTRA_D2XX_EXPORT FT_STATUS OSTRA_D2XX_CALL FT_SetUSBParameters(FT_HANDLE handle,
                                                                ULONG in_transfer_size,
                                                                ULONG out_transfer_size) {
  return Instrument().FT_SetUSBParameters(handle, in_transfer_size, out_transfer_size);
}
