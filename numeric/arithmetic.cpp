// The two arithmetic primitives of the delay computation.
#include <cmath>
#include <limits>

#include "numeric/numeric.h"

namespace mirvane::numeric {

namespace {

constexpr long double kExponentLimit = 65536;

long double IntegerPower(long double base, long n) noexcept {
  if (n == 0) return 1;
  if (base == 0) return n > 0 ? base : std::numeric_limits<long double>::quiet_NaN();
  const unsigned long magnitude = n < 0 ? static_cast<unsigned long>(-n) : static_cast<unsigned long>(n);
  int bit = 0;
  while ((magnitude >> (bit + 1)) != 0) ++bit;
  long double result = base;
  for (--bit; bit >= 0; --bit) {
    result *= result;
    if ((magnitude >> bit) & 1UL) result *= base;
  }
  return n < 0 ? 1 / result : result;
}

}  // namespace

long double Power(long double base, long double exponent) noexcept {
  if (std::fabs(exponent) < kExponentLimit && exponent == std::trunc(exponent)) {
    return IntegerPower(base, static_cast<long>(exponent));
  }
  return std::pow(base, exponent);
}

long double SquareRoot(long double x) noexcept {
  if (x < 0) return x;
  return std::sqrt(x);
}

}  // namespace mirvane::numeric
