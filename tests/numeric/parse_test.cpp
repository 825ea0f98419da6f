#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "numeric/numeric.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Quote;
using testing_support::SameValue;
using testing_support::Show;
using namespace std::string_literals;

struct ParseCase {
  std::string text;
  long double expected;
};

void ExpectParses(const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    const long double got = ParseNumber(c.text);
    EXPECT_TRUE(SameValue(got, c.expected))
        << "ParseNumber(" << Quote(c.text) << ") = " << Show(got) << ", expected " << Show(c.expected);
  }
}

TEST(ParseNumber, TextWithoutANumberIsZero) {
  ExpectParses({
      {"", 0.0L},
      {"   ", 0.0L},
      {"abc", 0.0L},
      {".", 0.0L},
      {"+", 0.0L},
      {"-", -0.0L},
      {"\r5", 0.0L},       // a carriage return is not skipped
      {"\v5", 0.0L},
      {"\0" "5"s, 0.0L},    // a zero byte is an ordinary non-digit
      {"e3", 0.0L},
      {"E", 0.0L},
      {"- 5", -0.0L},
      {"--5", -0.0L},
      {"+-5", 0.0L},
      {"-+5", -0.0L},
      {"-&H10", -0.0L},     // no sign before "&": read as decimal
      {"0.000", 0.0L},
      {"-0", -0.0L},
      {"000e5", 0.0L},
      {"0e99999", 0.0L},
  });
}

TEST(ParseNumber, ReadsTheLeadingDecimalNumber) {
  ExpectParses({
      {"3", 3.0L},
      {"\t3.5", 3.5L},
      {"\n \t 3.5", 3.5L},
      {"3.5m", 3.5L},
      {"3,5", 3.0L},
      {"1 000", 1.0L},
      {"1.2.3", 1.2L},
      {"+5", 5.0L},
      {"-5", -5.0L},
      {".5", 0.5L},
      {"5.", 5.0L},
      {"007", 7.0L},
      {"0.05", 0.05L},
      {"00.0012", 0.0012L},
      {"12.25m", 12.25L},
      {"3.5\0" "9"s, 3.5L},
      {"123456789012345678", 123456789012345678.0L},
  });
}

TEST(ParseNumber, ReadsExponents) {
  ExpectParses({
      {"1e3", 1000.0L},
      {"1E+3", 1000.0L},
      {"1d3", 1000.0L},
      {"1D-3", 0.001L},
      {"2.5e-1", 0.25L},
      {"1e", 1.0L},
      {"1e+", 1.0L},
      {"1e-", 1.0L},
      {"1ex", 1.0L},
      {"1e+-3", 1.0L},
      {"1e5.5", 100000.0L},
      {".5e1", 5.0L},
      {"5.e1", 50.0L},
      {"-0.0e5", -0.0L},
      {"1e0000000000000003", 1000.0L},
      {"1e-0", 1.0L},
  });
}

TEST(ParseNumber, LongMantissasKeepEighteenDigits) {
  ExpectParses({
      // the 19th and 20th digits are dropped, not rounded
      {"12345678901234567899", 12345678901234567800.0L},
      {"1234567890123456789.9", 1234567890123456780.0L},
      {"0.1234567890123456789", 0.123456789012345678L},
      {"999999999999999999999", 999999999999999999000.0L},
  });
}

TEST(ParseNumber, ExtremeMagnitudes) {
  const long double two127 = 0x1p127L;
  ExpectParses({
      {"1e4932", two127},        // Q = 4933: the first magnitude beyond the extended range
      {"0.1e4933", two127},
      {"1e5000", two127},
      {"1e65540", two127},
      {"1e99999999", two127},
      {"-1e5000", -two127},
      {"1e-5000", 0.0L},
      {"-1e-5000", -0.0L},
      {"0.01e-4932", 0.0L},      // Q = -4933
  });
  // Beyond 10^27 the factor is a product of rounded constants: close to, not always exactly,
  // the nearest value.
  const struct {
    const char* text;
    long double nearest;
  } scaled[] = {{"1e400", 1e400L}, {"9e4931", 9e4931L}, {"-1e-400", -1e-400L}, {"1e-4920", 1e-4920L}};
  for (const auto& c : scaled) {
    const long double got = ParseNumber(c.text);
    EXPECT_LE(std::fabs(got / c.nearest - 1), 0x1p-60L) << c.text << " -> " << Show(got);
  }
  // Q = -4932 is still scaled, into the denormal range, not flushed
  const long double tiny = ParseNumber("1e-4933");
  EXPECT_GT(tiny, 0.0L);
  EXPECT_LT(tiny, 1e-4931L);
  // stored as a double, 1e400 becomes infinity
  EXPECT_EQ(static_cast<double>(ParseNumber("1e400")), std::numeric_limits<double>::infinity());
}

TEST(ParseNumber, RadixNotation) {
  ExpectParses({
      {"&H10", 16.0L},
      {"&h1f", 31.0L},
      {"&HfF", 255.0L},
      {"&O17", 15.0L},
      {"&o17", 15.0L},
      {"&Q17", 15.0L},
      {"&q17", 15.0L},
      {"&17", 15.0L},
      {"&B101", 5.0L},
      {"  &H10", 16.0L},
      {"&H", 0.0L},
      {"&", 0.0L},
      {"&HG", 0.0L},
      {"&B2", 0.0L},
      {"&O8", 0.0L},
      {"&8", 0.0L},
      {"&B102", 2.0L},
      {"&H1Fz", 31.0L},
      {"&Z1", 0.0L},           // "Z" is a base-8 "digit" of value 35: not below the base
  });
}

TEST(ParseNumber, RadixWidths) {
  ExpectParses({
      {"&HFFFF", -1.0L},
      {"&H0FFFF", 65535.0L},
      {"&HFFFF&", 65535.0L},
      {"&HFFFF?", 65535.0L},
      {"&HFFFF%", -1.0L},
      {"&H8000", -32768.0L},
      {"&H7FFF", 32767.0L},
      {"&H10000", 65536.0L},
      {"&HFFFFFFFF", -1.0L},
      {"&H80000000", -2147483648.0L},
      {"&HFFFFFFFF&&", 4294967295.0L},
      {"&HFFFFFFFF&", -1.0L},          // "&" alone does not widen a 32-bit value
      {"&H0FFFFFFFF", 4294967295.0L},
      {"&H100000000", 4294967296.0L},
      {"&HFFFFFFFFFFFFFFFF", -1.0L},
      {"&HFFFFFFFFFFFFFFFF?", 0.0L},
      {"&H7FFFFFFFFFFFFFFF?", 9223372036854775807.0L},
      {"&HFFFF???", 65535.0L},
      {"&H8000000000000000", -9223372036854775808.0L},
      {"&H10000000000000000", 0.0L},    // seventeen digits: a bit leaves the 64
      {"&H00000000000000001", 1.0L},    // leading zeros shift out nothing
      {"&O1777777777777777777777", -1.0L},
      {"&O2000000000000000000000", 0.0L},
      {"&B1111111111111111", -1.0L},
  });
}

TEST(DecimalScan, RecordsTheScanQuantities) {
  struct Case {
    std::string text;
    DecimalScan expected;
  };
  const Case cases[] = {
      {"0.05", {.hasDigits = true, .mantissa = 5, .digitCount = 1, .pointPosition = -1}},
      {"-12.5e2", {.negative = true, .hasDigits = true, .mantissa = 125, .digitCount = 3,
                   .pointPosition = 2, .exponent = 2}},
      {"100", {.hasDigits = true, .mantissa = 100, .digitCount = 3, .pointPosition = 3}},
      {"0.000", {.hasDigits = true, .pointPosition = -3}},
      {"1e123456", {.hasDigits = true, .mantissa = 1, .digitCount = 1, .pointPosition = 1,
                    .exponent = 9999}},
      {"1e-123456", {.hasDigits = true, .mantissa = 1, .digitCount = 1, .pointPosition = 1,
                     .exponent = -9999}},
      {"1234567890123456789012.5", {.hasDigits = true, .mantissa = 123456789012345678,
                                    .digitCount = 23, .pointPosition = 22}},
      {"-", {.negative = true}},
  };
  for (const Case& c : cases) {
    const DecimalScan got = ScanDecimal(c.text);
    EXPECT_EQ(got.negative, c.expected.negative) << c.text;
    EXPECT_EQ(got.hasDigits, c.expected.hasDigits) << c.text;
    EXPECT_EQ(got.mantissa, c.expected.mantissa) << c.text;
    EXPECT_EQ(got.digitCount, c.expected.digitCount) << c.text;
    EXPECT_EQ(got.pointPosition, c.expected.pointPosition) << c.text;
    EXPECT_EQ(got.exponent, c.expected.exponent) << c.text;
  }
}

TEST(ParseNumber, ThousandsOfDigitsScanWithoutOverflow) {
  const std::string many = std::string(100000, '9') + ".5";
  EXPECT_TRUE(SameValue(ParseNumber(many), 0x1p127L)) << "a 100000-digit integer";
  const std::string tiny = "0." + std::string(6000, '0') + "1";
  EXPECT_TRUE(SameValue(ParseNumber(tiny), 0.0L)) << "6000 zeros after the point";
  const std::string longFraction = "1." + std::string(50000, '3') + "e2";
  EXPECT_TRUE(SameValue(ParseNumber(longFraction), 133.333333333333333L)) << "50000 fraction digits";
}

struct PowerCase {
  long double base;
  long double exponent;
  long double expected;
};

TEST(Power, IntegralExponents) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  const PowerCase cases[] = {
      {-3, 2, 9},
      {0, 2, 0},
      {-0.0L, 2, -0.0L},  // zero comes back as itself
      {0, -1, nan},
      {nan, 0, 1},
      {inf, 0, 1},
      {2, 10, 1024},
      {2, -2, 0.25L},
      {-2, 3, -8},
      {10, 4933, inf},
      {nan, 2, nan},
      {-inf, 2, inf},
      {1e3000L, 2, inf},      // overflow is infinity, not a trap
      // one correctly rounded product: (1 + 2^-63)^2 = 1 + 2^-62 + 2^-126 rounds to 1 + 2^-62
      {1 + 0x1p-63L, 2, 1 + 0x1p-62L},
      {3, 65535, inf},
  };
  for (const PowerCase& c : cases) {
    const long double got = Power(c.base, c.exponent);
    EXPECT_TRUE(SameValue(got, c.expected))
        << "Power(" << Show(c.base) << ", " << Show(c.exponent) << ") = " << Show(got);
  }
  // Square-and-multiply from the top: 3^5 is ((3·3)·3)·... with every product exact here.
  EXPECT_TRUE(SameValue(Power(3, 5), 243));
  EXPECT_NEAR(static_cast<double>(Power(2.25L, 0.5L)), 1.5, 1e-15) << "non-integral exponent";
}

TEST(SquareRoot, RootsAndNegativeArguments) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  const PowerCase cases[] = {  // exponent unused
      {0, 0, 0},
      {-0.0L, 0, -0.0L},
      {4, 0, 2},
      {2, 0, 1.41421356237309504880168872420969807856967L},
      {-4, 0, -4},
      {-inf, 0, -inf},
      {inf, 0, inf},
      {nan, 0, nan},
      {0x1p-16400L, 0, 0x1p-8200L},  // a denormal argument
  };
  for (const PowerCase& c : cases) {
    const long double got = SquareRoot(c.base);
    EXPECT_TRUE(SameValue(got, c.expected)) << "SquareRoot(" << Show(c.base) << ") = " << Show(got);
  }
}

}  // namespace
}  // namespace mirvane::numeric
