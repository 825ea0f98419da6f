#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "numeric/numeric.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Show;

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

long double FromFields(std::uint16_t signAndExponent, std::uint64_t significand) {
  long double value = 0;
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, sizeof significand);
  std::memcpy(bytes + 8, &signAndExponent, sizeof signAndExponent);
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

struct DigitsCase {
  long double value;
  int count;
  std::string row;
  int decimalExponent;
  bool negative;
};

TEST(GenerateDigits, RowsExponentsAndSigns) {
  const DigitsCase cases[] = {
      {0.125L, 20, "12500000000000000000", 0, false},
      {-1234.5L, 18, "123450000000000000", 4, true},
      {1234.5L, 3, "123", 4, false},        // next digit 4: down
      {1235.5L, 3, "124", 4, false},        // next digit 5 after odd 3: up
      {1245.5L, 3, "124", 4, false},        // next digit 5 after even 4: stays, the rest unseen
      {1236, 3, "124", 4, false},
      {9999.7L, 4, "1000", 5, false},       // the carry runs out of the first digit
      {9.9999999999999999L, 15, "100000000000000", 2, false},
      {1, 1, "1", 1, false},
      {0.001L, 5, "10000", -2, false},
      {1e-300L, 2, "10", -299, false},
      // the ends of the normal range, through the 10^4096 step
      {0x1p-16382L, 15, "336210314311209", -4931, false},
      {std::numeric_limits<long double>::max(), 15, "118973149535723", 4933, false},
      {0, 4, "0000", 1, false},
      {-0.0L, 4, "0000", 1, false},
      {kNaN, 3, "000", 1, false},
      {-kNaN, 3, "000", 1, false},
      {0x1p-16400L, 3, "000", 1, false},    // a denormal reads as zero
      {kInfinity, 15, "999999999999999", 999, false},
      {-kInfinity, 21, "999999999999999999900", 999, true},
      {42, 0, "", 2, false},
  };
  for (const DigitsCase& c : cases) {
    const DecimalDigits got = GenerateDigits(c.value, c.count);
    EXPECT_EQ(got.Row(), c.row) << Show(c.value) << " count " << c.count;
    EXPECT_EQ(got.decimalExponent, c.decimalExponent) << Show(c.value) << " count " << c.count;
    EXPECT_EQ(got.negative, c.negative) << Show(c.value) << " count " << c.count;
  }
}

TEST(GenerateDigits, ALongRowHoldsEighteenSignificantDigits) {
  const DecimalDigits got = GenerateDigits(1.2345678901234569e23, 4932);
  EXPECT_EQ(got.count, 4932);
  const std::string row = got.Row();
  ASSERT_EQ(row.size(), 4932u);
  EXPECT_EQ(row.substr(0, 18), "123456789012345686");
  EXPECT_EQ(row.find_first_not_of('0', 18), std::string::npos);
  EXPECT_EQ(got.decimalExponent, 24);
}

TEST(GenerateDigits, ClassifiesByTheExponentField) {
  // the infinity test looks at the top 16 significand bits only
  const long double lowPayload = FromFields(0x7FFF, 0x8000000000000001);
  EXPECT_EQ(GenerateDigits(lowPayload, 3).Row(), "999");
  const long double quietNaN = FromFields(0x7FFF, 0xC000000000000000);
  EXPECT_EQ(GenerateDigits(quietNaN, 3).Row(), "000");
  // a pseudo-infinity (integer bit clear) is a NaN
  EXPECT_EQ(GenerateDigits(FromFields(0x7FFF, 0), 3).Row(), "000");
  // an unnormal (integer bit clear, exponent in range) cannot be scaled: it reads as zero
  const DecimalDigits unnormal = GenerateDigits(FromFields(0x3FFF, 0x4000000000000000), 3);
  EXPECT_EQ(unnormal.Row(), "000");
  EXPECT_EQ(unnormal.decimalExponent, 1);
}

struct TextCase {
  long double value;
  std::string expected;
};

TEST(NumberToText, PlainConversion) {
  const TextCase cases[] = {
      {3, "3"},
      {0.5L, ".5"},
      {-2.25L, "-2.25"},
      {1e14L, "100000000000000"},
      {1e15L, "1E+15"},
      {123456789012345.0L, "123456789012345"},
      {1234567890123456.0L, "1.23456789012346E+15"},
      {1e-15L, ".000000000000001"},
      {1e-16L, "1E-16"},
      {0.1L, ".1"},
      {0.1, ".1"},                            // the double nearest 0.1
      {1.0 / 3, ".333333333333333"},
      {2.0 / 3, ".666666666666667"},
      {123.456L, "123.456"},
      {0.000123L, ".000123"},
      {1.5e-10L, ".00000000015"},
      {1.23456789e-5L, ".0000123456789"},
      {1.234567890123e-5L, "1.234567890123E-5"},
      {-1e300L, "-1E+300"},
      {1e-300L, "1E-300"},
      {1e4000L, "1E+4000"},
      {0, "0"},
      {-0.0L, "0"},
      {kNaN, "0"},
      {kInfinity, "9.99999999999999E+998"},
      {-kInfinity, "-9.99999999999999E+998"},
      {9.9999999999999999L, "10"},
      {999999999999999.9L, "1E+15"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(NumberToText(c.value), c.expected) << Show(c.value);
  }
}

}  // namespace
}  // namespace mirvane::numeric
