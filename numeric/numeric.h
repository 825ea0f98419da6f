// Numeric text: typed text to numbers, the arithmetic primitives of the delay computation, and
// numbers to text under a picture mask. All arithmetic is extended precision.
#pragma once

#include <limits>
#include <string>
#include <string_view>

namespace mirvane::numeric {

static_assert(std::numeric_limits<long double>::digits == 64,
              "numbers need the 80-bit extended format (64-bit significand) for long double");

// The leading number of text; 0 where none begins.
long double ParseNumber(std::string_view text) noexcept;
long double Power(long double base, long double exponent) noexcept;
long double SquareRoot(long double x) noexcept;

std::string FormatNumber(long double value, std::string_view mask);
std::string NumberToText(long double value);

}  // namespace mirvane::numeric
