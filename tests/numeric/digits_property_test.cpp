// GenerateDigits against the digit steps written out literally at extended precision, on random
// extended values of every binary exponent: the scaling by a power of ten, nearbyint for each
// rounding to an integer (ties to even under the program's rounding), the division by ten when
// the estimate of the exponent was one low, the second scaling when it was one high.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "numeric/numeric.h"
#include "numeric/power_of_ten.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Show;

constexpr int kCases = 200000;

struct LiteralDigits {
  std::string row;
  int decimalExponent = 0;
};

LiteralDigits StepByStep(long double value) {
  const long double magnitude = std::fabs(value);
  int k = (std::ilogb(magnitude) * 19728) >> 16;
  long double y = std::nearbyint(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  if (y >= 1e18L) {
    y = std::nearbyint(y / 10);
    ++k;
  } else if (y < 1e17L) {
    --k;
    y = std::nearbyint(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  }
  return {std::to_string(static_cast<std::uint64_t>(y)), k + 1};
}

long double FromFields(std::uint16_t exponentField, std::uint64_t significand) {
  long double value = 0;
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, sizeof significand);
  std::memcpy(bytes + 8, &exponentField, sizeof exponentField);
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// Any normal value: integer bit set, exponent field 1..0x7FFE. Every tenth value has a short
// significand (trailing zero bits), which makes exact products, ties and integers likely.
long double RandomNormal(std::mt19937_64& random) {
  const auto field = static_cast<std::uint16_t>(std::uniform_int_distribution<int>(1, 0x7FFE)(random));
  std::uint64_t significand = random() | (std::uint64_t{1} << 63);
  if (std::uniform_int_distribution<int>(0, 9)(random) == 0) {
    significand &= ~std::uint64_t{0} << std::uniform_int_distribution<int>(1, 63)(random);
  }
  return FromFields(field, significand);
}

void ExpectSameDigits(long double value, int& failures) {
  const LiteralDigits expected = StepByStep(value);
  const DecimalDigits got = GenerateDigits(value, 18);
  if (got.Row() != expected.row || got.decimalExponent != expected.decimalExponent) {
    ++failures;
    ADD_FAILURE() << Show(value) << ": " << got.Row() << "e" << got.decimalExponent << ", step by step "
                  << expected.row << "e" << expected.decimalExponent;
  }
}

TEST(GenerateDigitsProperty, SameAsTheStepsAtExtendedPrecisionOverTheWholeRange) {
  int failures = 0;
  // the ends of the range and the powers of two around the exponent estimate's corrections
  for (const int field : {1, 2, 0x3FFF - 70, 0x3FFF - 1, 0x3FFF, 0x3FFF + 3, 0x3FFF + 60, 0x7FFD, 0x7FFE}) {
    for (const std::uint64_t significand : {std::uint64_t{1} << 63, ~std::uint64_t{0}}) {
      ExpectSameDigits(FromFields(static_cast<std::uint16_t>(field), significand), failures);
    }
  }
  std::mt19937_64 random(4932);
  for (int i = 0; i < kCases && failures < 20; ++i) ExpectSameDigits(RandomNormal(random), failures);
}

}  // namespace
}  // namespace mirvane::numeric
