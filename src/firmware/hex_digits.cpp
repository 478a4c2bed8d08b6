#include "firmware/hex_digits.h"

#include <string>

#include "base/errors.h"

namespace ostra {

uint32_t HexField(std::string_view text) {
  uint32_t value = 0;
  bool ok = !text.empty() && text.size() <= 8;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (!ok || digit < 0) {
      ok = false;
      break;
    }
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  if (!ok) {
    throw ConversionError("'$" + std::string(text.substr(0, 8)) + "' is not a valid integer value");
  }
  return value;
}

}  // namespace ostra
