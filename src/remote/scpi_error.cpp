#include "remote/scpi_error.h"

#include <array>
#include <utility>

namespace ostra {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 21> kTexts = {{
    {scpi::kCommandError, "Command error"},
    {scpi::kInvalidCharacter, "Invalid character"},
    {scpi::kSyntaxError, "Syntax error"},
    {scpi::kDataTypeError, "Data type error"},
    {scpi::kParameterNotAllowed, "Parameter not allowed"},
    {scpi::kMissingParameter, "Missing parameter"},
    {scpi::kUndefinedHeader, "Undefined header"},
    {scpi::kSuffixOutOfRange, "Header suffix out of range"},
    {scpi::kNumericDataError, "Numeric data error"},
    {scpi::kInvalidSuffix, "Invalid suffix"},
    {scpi::kInvalidStringData, "Invalid string data"},
    {scpi::kExecutionError, "Execution error"},
    {scpi::kInitIgnored, "Init ignored"},
    {scpi::kSettingsConflict, "Settings conflict"},
    {scpi::kDataOutOfRange, "Data out of range"},
    {scpi::kIllegalParameterValue, "Illegal parameter value"},
    {scpi::kDataStale, "Data corrupt or stale"},
    {scpi::kFileNameNotFound, "File name not found"},
    {scpi::kQueueOverflow, "Queue overflow"},
    {scpi::kQueryInterrupted, "Query INTERRUPTED"},
    {scpi::kQueryUnterminated, "Query UNTERMINATED"},
}};

uint8_t EventBitOf(int code) {
  if (code <= -100 && code > -200) return kEsrCommandError;
  if (code <= -200 && code > -300) return kEsrExecutionError;
  if (code <= -300 && code > -400) return kEsrDeviceError;
  if (code <= -400 && code > -500) return kEsrQueryError;
  return 0;
}

// The text of an entry: quotes inside the detail are doubled, as a string
// reply writes them.
std::string Entry(int code, std::string_view detail) {
  std::string text(ScpiErrorText(code));
  if (!detail.empty()) {
    text += "; ";
    for (char c : detail.substr(0, 120)) {
      text += c;
      if (c == '"') text += '"';
    }
  }
  return std::to_string(code) + ",\"" + text + "\"";
}

}  // namespace

std::string_view ScpiErrorText(int code) {
  for (const auto& [number, text] : kTexts) {
    if (number == code) return text;
  }
  return "Error";
}

void ScpiStatus::Push(int code, std::string_view detail) {
  esr_ |= EventBitOf(code);
  if (queue_.size() >= kQueueLength) {
    queue_.back() = Entry(scpi::kQueueOverflow, {});
    esr_ |= kEsrDeviceError;
    return;
  }
  queue_.push_back(Entry(code, detail));
}

std::string ScpiStatus::Pop() {
  if (queue_.empty()) return "+0,\"No error\"";
  std::string entry = std::move(queue_.front());
  queue_.pop_front();
  return entry;
}

uint8_t ScpiStatus::TakeEsr() {
  const uint8_t value = esr_;
  esr_ = 0;
  return value;
}

uint8_t ScpiStatus::Stb() const {
  uint8_t stb = 0;
  if (!queue_.empty()) stb |= 4;
  if ((esr_ & ese_) != 0) stb |= 32;
  if ((stb & sre_) != 0) stb |= 64;
  return stb;
}

void ScpiStatus::Clear() {
  queue_.clear();
  esr_ = 0;
}

}  // namespace ostra
