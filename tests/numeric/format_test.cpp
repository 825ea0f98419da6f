#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "numeric/numeric.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Quote;
using testing_support::Show;

constexpr long double kInfinity = std::numeric_limits<long double>::infinity();
constexpr long double kNaN = std::numeric_limits<long double>::quiet_NaN();

struct FormatCase {
  long double value;
  std::string mask;
  std::string expected;
};

void ExpectFormats(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, c.mask), c.expected)
        << "FormatNumber(" << Show(c.value) << ", " << Quote(c.mask) << ")";
  }
}

// The program's own mask. Values are doubles, as the program stores them.
TEST(FormatNumber, TwoDecimals) {
  ExpectFormats({
      {0.0, "0.00", "0.00"},
      {-0.0, "0.00", "0.00"},
      {0.5, "0.00", "0.50"},
      {1.0 * 1000 / 344, "0.00", "2.91"},
      {3.0 * 1000 / 344, "0.00", "8.72"},
      // exact halves go to the even neighbour
      {0.125, "0.00", "0.12"},
      {0.375, "0.00", "0.38"},
      {10.125, "0.00", "10.12"},
      {-0.125, "0.00", "-0.12"},
      // near-halves follow the stored binary value
      {1.005, "0.00", "1.00"},
      {2.675, "0.00", "2.67"},
      {0.995, "0.00", "0.99"},
      {0.005, "0.00", "0.01"},
      {0.025, "0.00", "0.03"},
      {12.345, "0.00", "12.35"},
      // carries
      {9.999, "0.00", "10.00"},
      {0.999, "0.00", "1.00"},
      {99.995, "0.00", "100.00"},   // stored as 99.99500000000000454747...
      {0.004, "0.00", "0.00"},
      {0.0049999, "0.00", "0.00"},
      // large values in full, digits past the 18th as zeros
      {1000000.0, "0.00", "1000000.00"},
      {1e15, "0.00", "1000000000000000.00"},
      {1e20, "0.00", "100000000000000000000.00"},
      {1.2345678901234569e23, "0.00", "123456789012345686000000.00"},
      {123456789012345678.0, "0.00", "123456789012345680.00"},
      // negative values, including those that round to zero
      {-3.14159, "0.00", "-3.14"},
      {-1234.5, "0.00", "-1234.50"},
      {-0.001, "0.00", "-0.00"},
      {-0.005, "0.00", "-0.01"},
      // nothing is a number that is not one
      {kNaN, "0.00", "0.00"},
      {-kNaN, "0.00", "0.00"},
      {std::numeric_limits<long double>::denorm_min(), "0.00", "0.00"},
      {0x1p-16400L, "0.00", "0.00"},  // a denormal
  });
}

// Rounding at any place of the row: inside the zeros before the first digit, at the first digit,
// and past the 18 significant digits, where the row reads zeros.
TEST(FormatNumber, RoundsAtAnyPlaceOfTheRow) {
  ExpectFormats({
      {0.0996, "0.00", "0.10"},   // the carry runs into the zero before the first digit
      {0.00996, "0.0000", "0.0100"},
      {0.006, "0.00", "0.01"},    // rounded at the first digit itself
      {0.5, "0", "0"},            // an exact half with no digit kept: down
      {0.51, "#", "1"},
      {2.5, "0", "2"},
      {3.5, "0", "4"},
      {999.5, "#", "1000"},       // a carry out of every integer digit
      // 0.1 is stored as 0.1000000000000000055511...: 18 digits, then zeros
      {0.1, "0.00000000000000000000", "0.10000000000000000600"},
      {0.25, "#.##############################", "0.25"},
  });
  // longer than any short text: the output grows past its first estimate
  EXPECT_EQ(FormatNumber(0.5, "0." + std::string(70, '0')), "0.5" + std::string(69, '0'));
  EXPECT_EQ(FormatNumber(-1234567.5, "#,##0." + std::string(60, '#')), "-1,234,567.5");
}

TEST(FormatNumber, InfinityIsAFiniteLookingThousandDigitNumber) {
  const std::string body = std::string(19, '9') + std::string(980, '0') + ".00";
  EXPECT_EQ(FormatNumber(kInfinity, "0.00"), body);
  EXPECT_EQ(FormatNumber(-kInfinity, "0.00"), "-" + body);
  EXPECT_EQ(FormatNumber(kInfinity, "0.00").size(), 1002u);
  EXPECT_EQ(FormatNumber(kInfinity, "0.00E+00"), "1.00E+999");
  EXPECT_EQ(FormatNumber(kInfinity, ""), "9.99999999999999E+998");
}

TEST(FormatNumber, ChoosesTheSection) {
  ExpectFormats({
      {-5, "0.00;(0.00)", "(5.00)"},
      {-5, "0.00", "-5.00"},
      {5, "0.00;(0.00)", "5.00"},
      {0, "0.00;(0.00);\"zero\"", "zero"},
      {-0.0L, "0.00;(0.00);\"zero\"", "zero"},
      {1e-300, "0.00;(0.00);\"zero\"", "0.00"},      // tiny is not zero
      {-1e-300, "0.00;(0.00);\"zero\"", "(0.00)"},
      {0, "0.00;(0.00);", "0.00"},                   // empty zero section: the first
      {0, "0.00;(0.00)", "0.00"},
      {-5, "0.00;;\"zero\"", "-5.00"},               // empty negative section: first, signed
      {kNaN, "0.00;(0.00)", "(0.00)"},               // a NaN takes the negative section
      {kNaN, "0.00;;z", "0.00"},
      {-5, "0;\"minus \"0;z;ignored", "minus 5"},
      {0, "0;n;\"z\";ignored", "z"},
      {0, "0;n;;ignored", "0"},
      {-5, "\"a;b\"0;(0)", "(5)"},                   // a quoted ";" does not separate
      {-5, "\\;0;(0)", "(5)"},
      {-5, "0\";(0)", "-5;(0)"},                     // an unclosed quote runs to the end
      // an empty chosen section gives the plain conversion
      {5, ";", "5"},
      {-2.5, ";", "-2.5"},
      {0, ";;", "0"},
      {5, "", "5"},
  });
}

TEST(FormatNumber, PlainConversionForAnEmptyMask) {
  ExpectFormats({
      {3, "", "3"},
      {0.5, "", ".5"},
      {-2.25, "", "-2.25"},
      {1e14, "", "100000000000000"},
      {1e15, "", "1E+15"},
      {1e-15, "", ".000000000000001"},
      {1e-16, "", "1E-16"},
  });
}

TEST(FormatNumber, DigitSlotsAndPadding) {
  ExpectFormats({
      {3.14159, "0.00 ab", "3.14 "},                 // characters without meaning are dropped
      {5, "0##", "005"},
      {5, "00", "05"},
      {5, "##0", "5"},
      {-5, "000", "-005"},                           // zero padding fills every slot
      {-5, "##", "-5"},
      {-5, "##0", "-5"},
      {-5, "$0", "$-5"},
      {-5, "$###", "$-5"},
      {5, "*x###", "xxxx5"},
      {-5, "*x###", "xxx-5"},
      {123456, "##", "123456"},                      // the leftmost slot takes the rest
      {1.5, "#.##", "1.5"},
      {1, "#.##", "1."},
      {0.5, "#.##", "0.5"},
      {0, "#.##", "0."},
      {1.5, "#.*_*_", "1.5___"},
      {12.345, ".00", ".35"},                        // no integer slots: no integer digits ...
      {-12.345, ".00", ".35"},                       // ... and no "-"
      {0.6, "#", "1"},                               // a carry into an empty integer part
      {2.5, "0", "2"},
      {3.5, "0", "4"},
      {0.5, "0", "0"},
      {-0.5, "0", "0"},                              // rounded to the single digit 0: no sign
      {-0.4, "0.", "0."},
      {0.25, "0.0", "0.2"},
      {0.75, "0.0", "0.8"},
      {0.05, "0.0", "0.1"},
      {123, "0E0", "12E3"},                          // "E" without a sign is a literal
      {5, "\"$\"0", "$5"},
      {5, "0\\%", "5%"},
      {5, "\"n/a\"", "n/a"},
      {5, "abc", ""},
      {1234, "0.00.0", "1234.00.0"},
  });
}

TEST(FormatNumber, Grouping) {
  ExpectFormats({
      {1234567.891, "#,##0.00", "1,234,567.89"},
      {123, "#,##0", "123"},
      {1234, "#,##0", "1,234"},
      {-1234567, "#,##0", "-1,234,567"},
      {0, "#,##0", "0"},
      {123, "0,000,000", "0,000,123"},              // placed zeros are grouped too
      {999.999, "#,##0.00", "1,000.00"},
      {1234.5, "\"$\"#,##0.00", "$1,234.50"},
  });
}

TEST(FormatNumber, Percent) {
  ExpectFormats({
      {0.125, "0.0%", "12.5%"},
      {0, "0%", "0%"},
      {kNaN, "0.0%", "0.0%"},
      {-0.5, "0%", "-50%"},
      {1, "0 %", "1 "},                              // "%" not after a slot: ignored
      {0x1p-16400L, "0%", "000%"},                   // a denormal is not zero, though its digits are
  });
}

TEST(FormatNumber, ScientificForm) {
  ExpectFormats({
      {123456, "0.00E+00", "1.23E+05"},
      {0.000123456, "0.00E+00", "1.23E-04"},
      {0, "0.00E+00", "0.00E+00"},
      {9.999, "0.00E+00", "1.00E+01"},
      {123456, "##0.0E+00", "123.5E+03"},
      {123456, "0.00E-00", "1.23E05"},
      {0.000123456, "0.00e-00", "1.23e-04"},
      {1e100, "0E+0", "1E+100"},                     // the leftmost exponent slot takes the rest
      {5, "0.00e+#", "5.00e+0"},
      {5e-7, "0E+##", "5E-7"},
      {-5e-7, "0E+00", "-5E-07"},
      {-5e-7, "0E+00;(0E-00)", "(5E-07)"},
      {1e300, "0.00E+00", "1.00E+300"},
      {0.125, "0.0%E+0", "1.2%E+1"},
      {5, "0.00E+", "5.00E"},                        // an exponent part without slots
  });
}

// Masks the fixed working storage of the original design could not hold.
TEST(FormatNumber, MasksOfAnyLength) {
  const std::string manyFractionSlots = "0." + std::string(100, '0');
  EXPECT_EQ(FormatNumber(0.1, manyFractionSlots), "0.100000000000000006" + std::string(82, '0'));

  const std::string longSection = "0." + std::string(6000, '0');
  const std::string third = FormatNumber(1.0 / 3, longSection);
  EXPECT_EQ(third, "0.333333333333333315" + std::string(5982, '0'));

  // more fraction slots than a 4,932-digit row would leave after the leading zeros
  EXPECT_EQ(FormatNumber(0.5, longSection), "0.5" + std::string(5999, '0'));
  const std::string half = FormatNumber(1e-300, "0." + std::string(400, '#'));
  EXPECT_EQ(half.substr(0, 302), "0." + std::string(299, '0') + "1");

  EXPECT_EQ(FormatNumber(5, std::string(6000, ' ') + "0"), std::string(6000, ' ') + "5");
  EXPECT_EQ(FormatNumber(5, std::string(6000, '0')), std::string(5999, '0') + "5");

  // more integer digits than the row is long
  const std::string huge = FormatNumber(1e4932L, "0%");
  ASSERT_EQ(huge.size(), 4935u + 1);
  EXPECT_EQ(huge.find_first_not_of('0', 18), huge.size() - 1);
}

TEST(FormatNumber, ACompiledLayoutFormatsTheSameAsTheMask) {
  const MaskLayout layout = ParseMaskSection("#,##0.00");
  for (const long double value : {0.0L, 1234567.891L, -2.5L, 1e20L}) {
    EXPECT_EQ(FormatNumber(value, layout), FormatNumber(value, "#,##0.00")) << Show(value);
  }
}

}  // namespace
}  // namespace mirvane::numeric
