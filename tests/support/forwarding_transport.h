// A driver that misbehaves on demand: it forwards every D2XX call to another
// transport (the simulated instrument) and a test overrides the calls it
// wants to go wrong.
#pragma once

#include "device/transport.h"

namespace ostra::testing {

class ForwardingTransport : public Transport {
 public:
  explicit ForwardingTransport(Transport& inner) : inner_(inner) {}

  FT_STATUS FT_ListDevices(void* a, void* b, DWORD flags) override {
    return inner_.FT_ListDevices(a, b, flags);
  }
  FT_STATUS FT_OpenEx(void* a, DWORD flags, FT_HANDLE* h) override {
    return inner_.FT_OpenEx(a, flags, h);
  }
  FT_STATUS FT_Close(FT_HANDLE h) override { return inner_.FT_Close(h); }
  FT_STATUS FT_ResetDevice(FT_HANDLE h) override { return inner_.FT_ResetDevice(h); }
  FT_STATUS FT_Purge(FT_HANDLE h, ULONG mask) override { return inner_.FT_Purge(h, mask); }
  FT_STATUS FT_SetTimeouts(FT_HANDLE h, ULONG r, ULONG w) override {
    return inner_.FT_SetTimeouts(h, r, w);
  }
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, DWORD n, DWORD* written) override {
    return inner_.FT_Write(h, buffer, n, written);
  }
  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* read) override {
    return inner_.FT_Read(h, buffer, n, read);
  }
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, UCHAR t) override {
    return inner_.FT_SetLatencyTimer(h, t);
  }
  FT_STATUS FT_SetUSBParameters(FT_HANDLE h, ULONG in, ULONG out) override {
    return inner_.FT_SetUSBParameters(h, in, out);
  }

 private:
  Transport& inner_;
};

}  // namespace ostra::testing
