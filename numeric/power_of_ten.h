// Powers of ten at extended precision, shared by number parsing and digit generation so that both
// scale a value by exactly the same sequence of roundings.
#pragma once

#include <array>

namespace mirvane::numeric::detail {

// 10^(8·2^k) for k = 0..9, each the extended value nearest to it. 10^8 and 10^16 are exact.
inline constexpr std::array<long double, 10> kBinaryPowersOfTen = {
    0x1.7d78400000000000p+26L,   // 10^8
    0x1.1c37937e08000000p+53L,   // 10^16
    0x1.3b8b5b5056e16b3cp+106L,  // 10^32
    0x1.84f03e93ff9f4daap+212L,  // 10^64
    0x1.27748f9301d319c0p+425L,  // 10^128
    0x1.54fdd7f73bf3bd1cp+850L,  // 10^256
    0x1.c633415d4c1d238ep+1700L,  // 10^512
    0x1.92eceb0d02ea182ep+3401L,  // 10^1024
    0x1.3d1676bb8a7abbcap+6803L,  // 10^2048
    0x1.88c0a40514412f36p+13606L,  // 10^4096
};

// 10^0..10^27: every one is exact at extended precision (5^27 < 2^64).
inline constexpr int kLargestExactPower = 27;
inline constexpr std::array<long double, kLargestExactPower + 1> kExactPowersOfTen = [] {
  std::array<long double, kLargestExactPower + 1> powers{};
  long double power = 1;
  for (long double& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// ScaleByPowerOfTen for |power| > 27.
long double ScaleByLargePowerOfTen(long double value, int power) noexcept;

// value × 10^power for power ≥ 0, value ÷ 10^-power otherwise. 10^4096 is applied to the value
// first when the magnitude exceeds 4096; the rest of the factor is built from the exact table
// 10^0..10^7 times the constants above, lowest bit first. Factors up to 10^27 are exact, and so
// is every product that construction forms on the way to them, so they come from a table, and
// for |power| ≤ 27 the result is correctly rounded.
//   ScaleByPowerOfTen(5, -2) -> 0.05 (one division by 100)
inline long double ScaleByPowerOfTen(long double value, int power) noexcept {
  if (power >= 0 && power <= kLargestExactPower) return value * kExactPowersOfTen[static_cast<unsigned>(power)];
  if (power < 0 && power >= -kLargestExactPower) return value / kExactPowersOfTen[static_cast<unsigned>(-power)];
  return ScaleByLargePowerOfTen(value, power);
}

}  // namespace mirvane::numeric::detail
