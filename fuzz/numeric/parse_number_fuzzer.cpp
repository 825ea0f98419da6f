// ParseNumber on arbitrary bytes: never crashes, always a defined number, and ignores what
// follows the number and the blanks before it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "numeric/numeric.h"

namespace {

bool SameValue(long double a, long double b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mirvane::numeric;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const long double value = ParseNumber(text);

  // no NaN, no infinity: at most 2^127 for the too-large, or a finite value below 10^4932
  Check(std::isfinite(value));

  // a blank before, and a character that cannot continue any number after, change nothing
  Check(SameValue(ParseNumber(" " + text), value));
  Check(SameValue(ParseNumber(text + "x"), value));

  const std::size_t start = text.find_first_not_of(" \t\n");
  if (start != std::string::npos && text[start] == '&') {
    // radix numbers are whole and fit a signed 64-bit integer
    Check(value == std::trunc(value));
    Check(value >= -0x1p63L && value < 0x1p63L);
  } else if (start != std::string::npos) {
    const DecimalScan scan = ScanDecimal(std::string_view(text).substr(start));
    Check(SameValue(DecimalValue(scan), value));
    Check(scan.mantissa < 1000000000000000000ULL);
    Check(scan.exponent >= -9999 && scan.exponent <= 9999);
    Check(std::fabs(value) <= 0x1p127L || scan.pointPosition + scan.exponent < 4933);
  }
  return 0;
}
