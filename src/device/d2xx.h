// The FTDI D2XX C interface as the published library declares it: the types,
// status values and flags the program uses. The library itself is loaded at
// run time (see d2xx_library.h); nothing here links against it.
#pragma once

#include <cstdint>

namespace ostra {

using FT_STATUS = uint32_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using UCHAR = uint8_t;
using FT_HANDLE = void*;

inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INSUFFICIENT_RESOURCES = 5;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;
inline constexpr FT_STATUS FT_OTHER_ERROR = 18;

inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000u;
inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000u;
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

inline constexpr ULONG FT_PURGE_RX = 1;
inline constexpr ULONG FT_PURGE_TX = 2;

}  // namespace ostra
