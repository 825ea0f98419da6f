// A value's significant decimal digits as one integer: the form digit rows and mask rounding
// both start from, so that rounding at any digit is integer arithmetic.
#pragma once

#include <array>
#include <cstdint>

namespace mirvane::numeric::detail {

// 10^0..10^19, all that fit 64 bits.
inline constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}();

// magnitude = 0.d1 d2 ... dn × 10^decimalExponent, where d1 d2 ... dn are `digits` written with
// exactly n = `count` digits (the first non-zero).
struct Significand {
  std::uint64_t digits = 0;
  int count = 0;  // 18; 19 for an infinity (nineteen 9s); 0 for zero, a denormal and NaN
  int decimalExponent = 1;
  bool negative = false;  // false for zero of either sign and for NaN
};

// The 18 significant digits of |value| × 10^(17 − k), rounded to an integer ties to even (one
// rounding to the 64-bit significand and one to an integer, at extended precision).
Significand SignificandOf(long double value) noexcept;

}  // namespace mirvane::numeric::detail
