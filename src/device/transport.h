// The D2XX calls the program makes, as an interface: the run-time loaded
// driver library and the simulated instrument both implement it. Each method
// has the signature and meaning of the D2XX function of the same name.
#pragma once

#include "device/d2xx.h"

namespace ostra {

class Transport {
 public:
  virtual ~Transport() = default;

  // FT_ListDevices: with FT_LIST_NUMBER_ONLY, arg1 points to a DWORD that
  // receives the count; with FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER (or
  // DESCRIPTION), arg1 carries the index itself and arg2 points to a buffer of
  // at least 64 characters.
  virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) = 0;
  virtual FT_STATUS FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) = 0;
  virtual FT_STATUS FT_Close(FT_HANDLE handle) = 0;
  virtual FT_STATUS FT_ResetDevice(FT_HANDLE handle) = 0;
  virtual FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) = 0;
  virtual FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) = 0;
  virtual FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                             DWORD* bytes_written) = 0;
  // Returns FT_OK with fewer bytes than asked when the read time-out passes.
  virtual FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                            DWORD* bytes_returned) = 0;
  virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) = 0;
  virtual FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                        ULONG out_transfer_size) = 0;
};

}  // namespace ostra
