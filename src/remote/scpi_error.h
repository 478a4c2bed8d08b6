// The remote interface's error numbers and their texts, the error queue that
// SYST:ERR? reads, and the status registers of the instrument (the standard
// event status register, its enable mask and the service request enable).
#pragma once

#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ostra {

// A command that fails raises this with its error number; the command has
// changed nothing.
class ScpiError : public std::runtime_error {
 public:
  explicit ScpiError(int code, const std::string& detail = {})
      : std::runtime_error(detail), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

namespace scpi {
inline constexpr int kCommandError = -100;
inline constexpr int kInvalidCharacter = -101;
inline constexpr int kSyntaxError = -102;
inline constexpr int kDataTypeError = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kSuffixOutOfRange = -114;
inline constexpr int kNumericDataError = -120;
inline constexpr int kInvalidSuffix = -131;
inline constexpr int kInvalidStringData = -151;
inline constexpr int kExecutionError = -200;
inline constexpr int kInitIgnored = -213;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kDataStale = -230;
inline constexpr int kFileNameNotFound = -256;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kQueryInterrupted = -410;
inline constexpr int kQueryUnterminated = -420;
}  // namespace scpi

// The standard text of an error number ("Undefined header"); "Error" for a
// number without one.
std::string_view ScpiErrorText(int code);

// Bits of the standard event status register.
inline constexpr uint8_t kEsrOperationComplete = 1;
inline constexpr uint8_t kEsrQueryError = 4;
inline constexpr uint8_t kEsrDeviceError = 8;
inline constexpr uint8_t kEsrExecutionError = 16;
inline constexpr uint8_t kEsrCommandError = 32;

class ScpiStatus {
 public:
  // The queue holds this many errors; one more replaces the newest with -350.
  static constexpr size_t kQueueLength = 16;

  // Queues `code` and sets its class's bit in the event status register.
  void Push(int code, std::string_view detail = {});
  // The oldest error as SYST:ERR? answers it (`+0,"No error"` when none).
  std::string Pop();
  bool Empty() const { return queue_.empty(); }

  void SetEvent(uint8_t bits) { esr_ |= bits; }
  // *ESR? reads and clears.
  uint8_t TakeEsr();
  uint8_t Ese() const { return ese_; }
  void SetEse(uint8_t mask) { ese_ = mask; }
  uint8_t Sre() const { return sre_; }
  void SetSre(uint8_t mask) { sre_ = mask & 0xBF; }
  // *STB?: error queue not empty (4), event summary (32), request (64).
  uint8_t Stb() const;
  // *CLS: the queue and the event register.
  void Clear();

 private:
  std::deque<std::string> queue_;
  uint8_t esr_ = 0;
  uint8_t ese_ = 0;
  uint8_t sre_ = 0;
};

}  // namespace ostra
