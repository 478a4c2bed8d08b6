// Constants of the instrument and of the program's files that several parts
// of the program share: each is defined here once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ostra {

// The capacity of every per-point array: trace, calibration and DC-offset
// tables. The dialog keeps the point count at 500 or below.
inline constexpr int kMaxTracePoints = 501;

// Angles are held in radians and shown in degrees.
inline constexpr double kDegreesPerRadian = 57.29577951308232;
inline constexpr double kTwoPi = 6.283185307179586;

// The receive buffer (RxBuffer), the acquisition buffer (WorkBuffer) and the
// driver's USB IN transfer size: the largest sample stream of one acquisition.
inline constexpr uint32_t kRxBufferSize = 65536;

// The driver's read and write time-outs, and the read time-out in force while
// a flash erase, flash write or image copy is in progress.
inline constexpr uint32_t kUsbReadTimeoutMs = 600;
inline constexpr uint32_t kFlashReadTimeoutMs = 3000;

// The start of the message of every fatal driver error; the driver status
// text follows it.
inline constexpr std::string_view kUsbErrorText =
    "USB Communication error detected! Error String: ";

// The acquisition loop's modes: "normal" sweeping, or the capture of one
// calibration file.
inline constexpr std::string_view kNormalMode = "normal";

// The calibration files in cal_data and the capture mode that writes each.
struct CalFile {
  std::string_view capture_mode;  // "open_cal"
  std::string_view file_name;     // "cal_open.dat"
};
inline constexpr std::array<CalFile, 7> kCalFiles = {{
    {"dc_offset_cal", "cal_dc_offset.dat"},
    {"open_cal", "cal_open.dat"},
    {"short_cal", "cal_short.dat"},
    {"load_cal", "cal_load.dat"},
    {"thru_cal", "cal_thru.dat"},
    {"thru_ph_cal", "cal_thru_ph.dat"},
    {"thru_pwr_cal", "cal_thru_pwr.dat"},
}};

// The file a capture mode writes, or nothing for "normal" and unknown modes.
constexpr std::optional<std::string_view> CaptureFileName(std::string_view mode) {
  for (const CalFile& f : kCalFiles) {
    if (f.capture_mode == mode) return f.file_name;
  }
  return std::nullopt;
}

inline constexpr std::string_view kDcOffsetFile = kCalFiles[0].file_name;
inline constexpr std::string_view kSettingsFile = "config.dat";

// Working files of cal_data (name without extension) restored at start-up
// from their factory copies (".def") when missing, or under 100 bytes (the
// settings file) or empty (a calibration file, which a capture with few
// points keeps short).
inline constexpr std::array<std::string_view, 8> kRestoredFiles = {
    "config",   "cal_dc_offset", "cal_open",    "cal_short",
    "cal_load", "cal_thru",      "cal_thru_ph", "cal_thru_pwr",
};
inline constexpr uintmax_t kMinimumWorkingFileBytes = 100;

// The application's title and revision (the About window's "Application").
// The revision is the build's project version, given once in CMakeLists.txt.
#ifndef OSTRA_VERSION
#error "OSTRA_VERSION is defined by the build from the project version"
#endif
inline constexpr std::string_view kApplicationTitle = "Marlune Ostra 7";
inline constexpr std::string_view kApplicationRevision = OSTRA_VERSION;

}  // namespace ostra
