// The DC-offset file reader: the first two bytes are the point count, the
// rest the file. Any bytes give one finite offset per point, or the
// conversion error with a short message.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/text_util.h"
#include "cal/cal_tables.h"
#include "fuzz_check.h"

using namespace ostra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int points = ((data[0] << 8) | data[1]) % 1024 - 8;  // a few negative counts too
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  std::vector<double> dc_i(3, 1.0), dc_q;
  try {
    ReadDcOffsetText(text, points, dc_i, dc_q);
  } catch (const ConversionError& e) {
    FUZZ_CHECK(std::strlen(e.what()) < kMaxQuotedLength + 64);
    return 0;
  }
  const size_t count = points > 0 ? static_cast<size_t>(points) : 0;
  FUZZ_CHECK(dc_i.size() == count && dc_q.size() == count);
  for (size_t k = 0; k < count; ++k) FUZZ_CHECK(std::isfinite(dc_i[k]) && std::isfinite(dc_q[k]));
  return 0;
}
