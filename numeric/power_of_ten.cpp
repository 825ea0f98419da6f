#include "numeric/power_of_ten.h"

#include <cstdint>

namespace mirvane::numeric::detail {

namespace {

constexpr std::array<std::uint32_t, 8> kSmallPowersOfTen = {1,      10,      100,      1000,
                                                          10000,  100000,  1000000,  10000000};
constexpr int kLargestStep = 4096;

// 10^0..10^27: every one is exact at extended precision (5^27 < 2^64), and so is every product
// the general construction below forms on the way to them, so a lookup gives the same factor.
constexpr int kLargestExactPower = 27;
constexpr std::array<long double, kLargestExactPower + 1> kExactPowersOfTen = [] {
  std::array<long double, kLargestExactPower + 1> powers{};
  long double power = 1;
  for (long double& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

}  // namespace

long double ScaleByPowerOfTen(long double value, int power) noexcept {
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
  long double factor = 0;
  if (magnitude <= kLargestExactPower) {
    factor = kExactPowersOfTen[magnitude];
  } else {
    factor = kSmallPowersOfTen[magnitude % 8];
    unsigned bits = magnitude / 8;
    for (std::size_t k = 0; bits != 0 && k < kBinaryPowersOfTen.size(); ++k, bits >>= 1) {
      if (bits & 1U) factor *= kBinaryPowersOfTen[k];
    }
  }
  return power >= 0 ? value * factor : value / factor;
}

}  // namespace mirvane::numeric::detail
