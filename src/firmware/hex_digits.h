// Hex digits as the image and the sector files hold them: either case, and
// a field read as the runtime's StrToInt('$' + text) reads it.
#pragma once

#include <cstdint>
#include <string_view>

namespace ostra {

// 0 to 15, or -1 for a character that is not a hex digit.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One to eight hex digits; ConversionError "'$<text>' is not a valid integer
// value" otherwise.
uint32_t HexField(std::string_view text);

}  // namespace ostra
