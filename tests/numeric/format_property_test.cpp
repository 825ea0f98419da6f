// FormatNumber(x, "0.00") against two references on random doubles:
//  - the correctly rounded 18-digit decimal form of x (glibc's exact printf), rounded half-even
//    at two decimals;
//  - an exact integer model of the digit generation, which scales x by an exact power of ten,
//    rounds the product to the 64-bit significand and then to an integer (two roundings).
// The output must equal the model's every time; where the two references disagree, the model's
// 18 digits must be one unit off the correct ones, with the double rounding as the cause.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "numeric/numeric.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Show;
__extension__ using u128 = unsigned __int128;  // exact products of up to 120 bits

constexpr int kCases = 200000;
constexpr std::uint64_t k10p17 = 100000000000000000ULL;
constexpr std::uint64_t k10p18 = 1000000000000000000ULL;

// 18 significant digits and the exponent: magnitude = 0.digits × 10^decimalExponent.
struct Digits18 {
  std::uint64_t digits = 0;
  int decimalExponent = 0;
};

Digits18 CorrectlyRounded(double magnitude) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17Le", static_cast<long double>(magnitude));
  Digits18 result;
  const char* at = text;
  for (; *at != 'e'; ++at) {
    if (*at != '.') result.digits = result.digits * 10 + static_cast<std::uint64_t>(*at - '0');
  }
  result.decimalExponent = std::atoi(at + 1) + 1;
  return result;
}

int BitLength(u128 n) {
  int bits = 0;
  for (; n != 0; n >>= 1) ++bits;
  return bits;
}

// n × 2^exponent, exactly.
struct Binary {
  u128 n = 0;
  int exponent = 0;
};

// Rounds to `bits` significant bits, ties to even.
Binary RoundToBits(Binary value, int bits, bool* exact = nullptr) {
  const int excess = BitLength(value.n) - bits;
  if (exact) *exact = true;
  if (excess <= 0) return value;
  const u128 remainder = value.n & ((u128{1} << excess) - 1);
  const u128 half = u128{1} << (excess - 1);
  value.n >>= excess;
  value.exponent += excess;
  if (remainder > half || (remainder == half && (value.n & 1) != 0)) ++value.n;
  if (exact) *exact = remainder == 0;
  if (BitLength(value.n) > bits) {
    value.n >>= 1;
    ++value.exponent;
  }
  return value;
}

// Rounds to an integer, ties to even; reports whether it was a tie.
std::uint64_t RoundToInteger(Binary value, bool& tie) {
  tie = false;
  if (value.exponent >= 0) return static_cast<std::uint64_t>(value.n << value.exponent);
  const int shift = -value.exponent;
  if (shift >= 127) return 0;
  const u128 remainder = value.n & ((u128{1} << shift) - 1);
  const u128 half = u128{1} << (shift - 1);
  u128 integer = value.n >> shift;
  tie = remainder == half;
  if (remainder > half || (tie && (integer & 1) != 0)) ++integer;
  return static_cast<std::uint64_t>(integer);
}

struct ModelResult {
  Digits18 digits;
  // The digits were rounded twice with the second rounding on a half the first one made: the
  // product rounded to 64 bits landed on a half inexactly, or (the estimate of k one too low)
  // the 19-digit integer ended in 5 before the division by 10.
  bool doubleRoundingTie = false;
};

// |x| × 10^p rounded to 64 bits, then to an integer; p ≤ 27, so 10^p itself is exact.
std::uint64_t ScaledInteger(double magnitude, int p, bool& doubleRoundingTie) {
  int e = 0;
  const double fraction = std::frexp(magnitude, &e);
  const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  u128 five = 1;
  for (int i = 0; i < p; ++i) five *= 5;
  bool exact = true;
  const Binary product = RoundToBits({u128{m} * five, e - 53 + p}, 64, &exact);
  bool tie = false;
  const std::uint64_t y = RoundToInteger(product, tie);
  doubleRoundingTie = tie && !exact;
  return y;
}

// The digit generation in exact integer arithmetic: the estimate k from the binary exponent,
// one scaling, and the corrections when the estimate was one off.
ModelResult Model(double magnitude) {
  ModelResult result;
  const int e2 = std::ilogb(magnitude);
  int k = static_cast<int>(std::floor(e2 * 19728.0 / 65536.0));
  std::uint64_t y = ScaledInteger(magnitude, 17 - k, result.doubleRoundingTie);
  if (y >= k10p18) {
    // y ÷ 10 to 64 bits (a sticky bit stands for the remainder), then to an integer
    const u128 shifted = u128{y} << 63;
    const Binary tenth{(shifted / 10) << 1 | (shifted % 10 != 0 ? 1 : 0), -64};
    bool tie = false;
    y = RoundToInteger(RoundToBits(tenth, 64), tie);
    result.doubleRoundingTie = result.doubleRoundingTie || tie;
    ++k;
  } else if (y < k10p17) {
    --k;
    y = ScaledInteger(magnitude, 17 - k, result.doubleRoundingTie);
  }
  result.digits = {y, k + 1};
  return result;
}

// Half-even rounding at two decimals of 0.digits × 10^decimalExponent, as text.
std::string TwoDecimals(const Digits18& d, bool negative) {
  std::string row = std::to_string(d.digits);  // 18 digits
  int exponent = d.decimalExponent;
  if (exponent < 0) {
    row.insert(0, static_cast<std::size_t>(-exponent), '0');
    exponent = 0;
  }
  const std::size_t keep = static_cast<std::size_t>(exponent) + 2;
  if (row.size() < keep + 1) row.append(keep + 1 - row.size(), '0');
  std::string kept = row.substr(0, keep);
  const char next = row[keep];
  const bool laterNonZero = row.find_first_not_of('0', keep + 1) != std::string::npos;
  const bool up = next > '5' || (next == '5' && (laterNonZero || (kept.back() - '0') % 2 == 1));
  if (up) {
    std::size_t at = kept.size();
    while (at > 0 && kept[at - 1] == '9') kept[--at] = '0';
    if (at == 0) {
      kept.insert(kept.begin(), '1');
      ++exponent;
    } else {
      ++kept[at - 1];
    }
  }
  const std::string integer = exponent > 0 ? kept.substr(0, static_cast<std::size_t>(exponent)) : std::string("0");
  return (negative ? "-" : "") + integer + "." + kept.substr(static_cast<std::size_t>(exponent));
}

// Typical delays, magnitudes across the whole range the model covers, exact binary fractions
// (exact halves at two decimals among them) and doubles next to half-cents.
double RandomValue(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(0, 1);
  double value = 0;
  switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
      value = std::round(unit(random) * 1e6) / std::pow(10.0, std::uniform_int_distribution<int>(2, 5)(random));
      break;
    case 1:
      value = std::pow(10.0, -9 + 26 * unit(random));
      break;
    case 2:
      value = std::ldexp(static_cast<double>(std::uniform_int_distribution<int>(0, 1 << 20)(random)),
                         -std::uniform_int_distribution<int>(1, 12)(random));
      break;
    default:
      value = (static_cast<double>(std::uniform_int_distribution<int>(0, 10000000)(random)) + 0.5) / 100;
      for (int steps = std::uniform_int_distribution<int>(-3, 3)(random); steps != 0;
           steps += steps > 0 ? -1 : 1) {
        value = std::nextafter(value, steps > 0 ? 1e300 : 0.0);
      }
      break;
  }
  return std::uniform_int_distribution<int>(0, 1)(random) ? -value : value;
}

TEST(FormatNumberProperty, TwoDecimalsFollowTheEighteenDigitForm) {
  std::mt19937_64 random(344);
  int failures = 0;
  int digitsDiffer = 0;
  int textsDiffer = 0;
  for (int i = 0; i < kCases && failures < 20; ++i) {
    const double value = RandomValue(random);
    const double magnitude = std::fabs(value);
    const std::string got = FormatNumber(value, "0.00");
    if (magnitude < 1e-9) {  // below 0.005 either way; only the sign shows
      const std::string expected = value == 0 ? "0.00" : (value < 0 ? "-0.00" : "0.00");
      if (got != expected) ++failures, ADD_FAILURE() << Show(value) << ": " << got;
      continue;
    }
    const bool negative = value < 0;
    const ModelResult model = Model(magnitude);
    const Digits18 correct = CorrectlyRounded(magnitude);
    const std::string modelText = TwoDecimals(model.digits, negative);
    const std::string correctText = TwoDecimals(correct, negative);
    if (got != modelText) {
      ++failures;
      ADD_FAILURE() << "FormatNumber(" << Show(value) << ", \"0.00\") = " << got << ", model "
                    << modelText << ", correctly rounded " << correctText;
    }
    if (model.digits.digits != correct.digits || model.digits.decimalExponent != correct.decimalExponent) {
      ++digitsDiffer;
      const std::uint64_t a = model.digits.digits;
      const std::uint64_t b = correct.digits;
      const bool oneUnit = model.digits.decimalExponent == correct.decimalExponent && (a > b ? a - b : b - a) == 1;
      if (!oneUnit || !model.doubleRoundingTie) {
        ++failures;
        ADD_FAILURE() << Show(value) << ": model digits " << a << "e" << model.digits.decimalExponent
                      << ", correct " << b << "e" << correct.decimalExponent
                      << (model.doubleRoundingTie ? " (double rounding)" : " (no double rounding)");
      }
    }
    if (modelText != correctText) ++textsDiffer;
  }
  std::printf("18th digit off by one (rounded twice): %d of %d values; two-decimal text "
              "differs from the correctly rounded reference: %d\n",
              digitsDiffer, kCases, textsDiffer);
}

}  // namespace
}  // namespace mirvane::numeric
