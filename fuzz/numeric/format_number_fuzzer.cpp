// FormatNumber on an arbitrary value (any 80-bit pattern, or a double) and an arbitrary mask:
// never crashes, and keeps the invariants that hold for every mask and value.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "numeric/numeric.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mirvane::numeric;
  if (size < 1) return 0;
  // The first byte says how the value is read: a double (as the program passes them) or any
  // extended bit pattern (NaN payloads, pseudo-infinities, unnormals, denormals).
  const bool extended = (data[0] & 1U) != 0;
  const std::size_t valueSize = extended ? 10 : sizeof(double);
  if (size < 1 + valueSize) return 0;
  long double value = 0;
  if (extended) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, data + 1, valueSize);
    std::memcpy(&value, bytes, sizeof value);
  } else {
    double narrow = 0;
    std::memcpy(&narrow, data + 1, sizeof narrow);
    value = narrow;
  }
  const std::string_view mask(reinterpret_cast<const char*>(data + 1 + valueSize), size - 1 - valueSize);

  const std::string text = FormatNumber(value, mask);
  // every output character comes from a mask position, a digit, a sign, a group separator, or
  // an integer part of at most 4,935 digits
  Check(text.size() <= 2 * mask.size() + 7000);

  Check(FormatNumber(value, "") == NumberToText(value));

  const std::string twoDecimals = FormatNumber(value, "0.00");
  if (!extended && std::isfinite(value) && std::fabs(value) < 1e17L) {
    Check(std::fabs(ParseNumber(twoDecimals) - value) <= 0.005L + std::fabs(value) * 0x1p-52L);
  }
  const std::size_t point = twoDecimals.find('.');
  Check(point != std::string::npos && point + 3 == twoDecimals.size());

  // the plain conversion reads back within its 15 digits
  if (!extended && std::isfinite(value) && value != 0) {
    const long double back = ParseNumber(NumberToText(value));
    Check(std::fabs(back - value) <= std::fabs(value) * 1e-14L);
  }
  return 0;
}
