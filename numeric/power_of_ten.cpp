#include "numeric/power_of_ten.h"

#include <cstdint>

namespace mirvane::numeric::detail {

namespace {

constexpr std::array<std::uint32_t, 8> kSmallPowersOfTen = {1,      10,      100,      1000,
                                                          10000,  100000,  1000000,  10000000};
constexpr int kLargestStep = 4096;

}  // namespace

long double ScaleByLargePowerOfTen(long double value, int power) noexcept {
  // The callers never need more than one such step; looping keeps any power in range.
  while (power > kLargestStep) {
    value *= kBinaryPowersOfTen[9];
    power -= kLargestStep;
  }
  while (power < -kLargestStep) {
    value /= kBinaryPowersOfTen[9];
    power += kLargestStep;
  }
  const unsigned magnitude = power < 0 ? static_cast<unsigned>(-power) : static_cast<unsigned>(power);
  long double factor = kSmallPowersOfTen[magnitude % 8];
  unsigned bits = magnitude / 8;
  for (std::size_t k = 0; bits != 0 && k < kBinaryPowersOfTen.size(); ++k, bits >>= 1) {
    if (bits & 1U) factor *= kBinaryPowersOfTen[k];
  }
  return power >= 0 ? value * factor : value / factor;
}

}  // namespace mirvane::numeric::detail
