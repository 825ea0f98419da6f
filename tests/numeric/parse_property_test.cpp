// ParseNumber against glibc's correctly rounded strtold on random decimal texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "numeric/numeric.h"
#include "numeric_test_support.h"

namespace mirvane::numeric {
namespace {

using testing_support::Quote;
using testing_support::Show;

constexpr int kCases = 200000;

// A decimal text of `digitCount` significant digits whose scale s = E + P − D is `scale`, in one
// of the spellings the scanner accepts: point anywhere, leading zeros, exponent or none, signs,
// leading blanks.
std::string RandomDecimal(std::mt19937_64& random, int digitCount, int scale) {
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> nonZero(1, 9);
  std::uniform_int_distribution<int> coin(0, 1);
  std::string digits(1, static_cast<char>('0' + nonZero(random)));
  for (int i = 1; i < digitCount; ++i) digits += static_cast<char>('0' + digit(random));

  std::string text;
  const int leading = std::uniform_int_distribution<int>(0, 3)(random);
  for (int i = 0; i < leading; ++i) text += " \t\n"[digit(random) % 3];
  const int sign = std::uniform_int_distribution<int>(0, 2)(random);
  if (sign == 1) text += '-';
  if (sign == 2) text += '+';

  int point = 0;  // P
  if (coin(random)) {
    point = std::uniform_int_distribution<int>(0, digitCount)(random);
    text += digits.substr(0, static_cast<std::size_t>(point));
    if (point < digitCount || coin(random)) text += '.';
    text += digits.substr(static_cast<std::size_t>(point));
  } else {
    const int zeros = std::uniform_int_distribution<int>(0, 6)(random);
    point = -zeros;
    text += coin(random) ? "0." : ".";
    text += std::string(static_cast<std::size_t>(zeros), '0') + digits;
  }
  const int exponent = scale - point + digitCount;
  if (exponent != 0 || coin(random)) {
    text += coin(random) ? 'e' : 'E';
    if (exponent >= 0 && coin(random)) text += '+';
    text += std::to_string(exponent);
  }
  return text;
}

TEST(ParseNumberProperty, CorrectlyRoundedWithinExactPowersOfTen) {
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<int> digitCount(1, 18);
  std::uniform_int_distribution<int> scale(-27, 27);
  int failures = 0;
  for (int i = 0; i < kCases && failures < 20; ++i) {
    const std::string text = RandomDecimal(random, digitCount(random), scale(random));
    const long double expected = std::strtold(text.c_str(), nullptr);
    const long double got = ParseNumber(text);
    if (got != expected || std::signbit(got) != std::signbit(expected)) {
      ++failures;
      ADD_FAILURE() << "ParseNumber(" << Quote(text) << ") = " << Show(got) << ", strtold "
                    << Show(expected);
    }
  }
}

// Beyond 10^27 the factor is a product of rounded constants; the result stays within a few units
// in the last place of the correctly rounded value over the whole normal range.
TEST(ParseNumberProperty, CloseToCorrectlyRoundedOverTheWholeRange) {
  std::mt19937_64 random(4932);
  std::uniform_int_distribution<int> digitCount(1, 18);
  std::uniform_int_distribution<int> scale(-4900, 4900);
  long double worst = 0;
  std::string worstText;
  for (int i = 0; i < kCases; ++i) {
    const std::string text = RandomDecimal(random, digitCount(random), scale(random));
    const long double expected = std::strtold(text.c_str(), nullptr);
    const long double error = std::fabs(ParseNumber(text) / expected - 1);
    if (error > worst) {
      worst = error;
      worstText = text;
    }
  }
  const long double ulps = worst / 0x1p-64L;
  std::printf("largest relative error %.3Lg (%.2Lf units of 2^-64), at %s\n", worst, ulps,
              Quote(worstText).c_str());
  EXPECT_LE(worst, 0x1p-61L) << "at " << Quote(worstText);
}

}  // namespace
}  // namespace mirvane::numeric
