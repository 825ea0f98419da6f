// A value's decimal digits, and the plain conversion of a value to text.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "numeric/numeric.h"
#include "numeric/power_of_ten.h"

namespace mirvane::numeric {

namespace {

constexpr int kGeneratedDigits = 18;
constexpr long double kLowest18Digit = 1e17L;
constexpr long double kPast18Digits = 1e18L;
constexpr int kExponentBias = 16383;
constexpr int kInfinityExponent = 999;
constexpr int kPlainDigits = 15;

enum class ValueClass { Zero, Finite, Infinity, NotANumber };

struct ExtendedFields {
  std::uint64_t significand = 0;
  unsigned exponentField = 0;
  bool sign = false;
};

ExtendedFields FieldsOf(long double value) noexcept {
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &value, sizeof value);
  ExtendedFields fields;
  std::memcpy(&fields.significand, bytes, sizeof fields.significand);
  std::uint16_t signAndExponent = 0;
  std::memcpy(&signAndExponent, bytes + 8, sizeof signAndExponent);
  fields.exponentField = signAndExponent & 0x7FFFU;
  fields.sign = (signAndExponent & 0x8000U) != 0;
  return fields;
}

// By the exponent field alone: field 0 (denormals too) is zero; the all-ones field is an infinity
// when the top 16 significand bits are exactly the integer bit, else NaN.
ValueClass Classify(const ExtendedFields& fields) noexcept {
  if (fields.exponentField == 0) return ValueClass::Zero;
  if (fields.exponentField == 0x7FFFU) {
    return (fields.significand >> 48) == 0x8000U ? ValueClass::Infinity : ValueClass::NotANumber;
  }
  return ValueClass::Finite;
}

// Rounds y ≥ 0 to an integer, ties to even. Above 2^63 the 64-bit significand holds no fraction
// bits, so adding 2^63 leaves the sum rounded to an integer; y from 2^63 on is one already.
long double RoundToInteger(long double y) noexcept {
  constexpr long double kNoFractionBits = 0x1p63L;
  if (!(y < kNoFractionBits)) return y;
  return (y + kNoFractionBits) - kNoFractionBits;
}

// The 18 significant digits of |value| as an integer in [10^17, 10^18), and the exponent k of
// its leading digit; false when the value does not scale to such an integer (an unnormal).
bool EighteenDigits(long double magnitude, int binaryExponent, std::uint64_t& digits, int& k) noexcept {
  k = (binaryExponent * 19728) >> 16;  // floor(e2 · log10 2), at most one too high or low
  long double y = RoundToInteger(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  if (y >= kPast18Digits) {
    y = RoundToInteger(y / 10);
    ++k;
  } else if (y < kLowest18Digit) {
    --k;
    y = RoundToInteger(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  }
  if (!(y >= kLowest18Digit && y < kPast18Digits)) return false;
  digits = static_cast<std::uint64_t>(y);
  return true;
}

void WriteTwoDigits(std::uint32_t value, char* out) noexcept {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
}

// Nine digits as one digit and four independent pairs, so the divisions do not wait on each other.
void WriteNineDigits(std::uint32_t value, char* out) noexcept {
  out[0] = static_cast<char>('0' + value / 100000000);
  value %= 100000000;
  const std::uint32_t upper = value / 10000;
  const std::uint32_t lower = value % 10000;
  WriteTwoDigits(upper / 100, out + 1);
  WriteTwoDigits(upper % 100, out + 3);
  WriteTwoDigits(lower / 100, out + 5);
  WriteTwoDigits(lower % 100, out + 7);
}

void WriteEighteenDigits(std::uint64_t digits, char* out) noexcept {
  constexpr std::uint64_t kNineDigits = 1000000000;
  WriteNineDigits(static_cast<std::uint32_t>(digits / kNineDigits), out);
  WriteNineDigits(static_cast<std::uint32_t>(digits % kNineDigits), out + 9);
}

// Rounds the row to `count` digits by the next digit alone: above 5 up, exactly 5 up only
// after an odd digit.
void RoundRowTo(DecimalDigits& row, int count) noexcept {
  const char next = row.significant[static_cast<std::size_t>(count)];
  row.significantCount = count;
  if (count == 0) return;
  const char last = row.significant[static_cast<std::size_t>(count - 1)];
  const bool up = next > '5' || (next == '5' && (last - '0') % 2 == 1);
  if (!up) return;
  int at = count - 1;
  while (at >= 0 && row.significant[static_cast<std::size_t>(at)] == '9') {
    row.significant[static_cast<std::size_t>(at)] = '0';
    --at;
  }
  if (at >= 0) {
    ++row.significant[static_cast<std::size_t>(at)];
  } else {
    row.significant[0] = '1';
    ++row.decimalExponent;
  }
}

}  // namespace

std::string DecimalDigits::Row() const {
  std::string row(static_cast<std::size_t>(std::max(count, 0)), '0');
  std::copy_n(significant.begin(), std::min(significantCount, count), row.begin());
  return row;
}

DecimalDigits GenerateDigits(long double value, int count) noexcept {
  DecimalDigits row;
  row.count = std::max(count, 0);
  const ExtendedFields fields = FieldsOf(value);
  const ValueClass kind = Classify(fields);
  if (kind == ValueClass::Infinity) {
    row.significantCount = std::min(row.count, DecimalDigits::kMaxSignificant);
    std::fill_n(row.significant.begin(), row.significantCount, '9');
    row.decimalExponent = kInfinityExponent;
    row.negative = fields.sign;
    return row;
  }
  std::uint64_t digits = 0;
  int k = 0;
  const int binaryExponent = static_cast<int>(fields.exponentField) - kExponentBias;
  if (kind != ValueClass::Finite || !EighteenDigits(std::fabs(value), binaryExponent, digits, k)) {
    return row;  // zero, NaN: zeros, exponent 1, not negative
  }
  WriteEighteenDigits(digits, row.significant.data());
  row.significantCount = kGeneratedDigits;
  row.decimalExponent = k + 1;
  row.negative = fields.sign;
  if (row.count < kGeneratedDigits) RoundRowTo(row, row.count);
  return row;
}

std::string NumberToText(long double value) noexcept try {
  const DecimalDigits row = GenerateDigits(value, kPlainDigits);
  int n = row.significantCount;
  while (n > 0 && row.significant[static_cast<std::size_t>(n - 1)] == '0') --n;
  if (n == 0) return "0";
  const std::string_view digits(row.significant.data(), static_cast<std::size_t>(n));
  const int e = row.decimalExponent;

  std::string text;
  if (row.negative) text += '-';
  const bool whole = e >= n;
  if (whole && e <= kPlainDigits) {
    text += digits;
    text.append(static_cast<std::size_t>(e - n), '0');
  } else if (!whole && n - e <= kPlainDigits) {
    if (e > 0) text += digits.substr(0, static_cast<std::size_t>(e));
    text += '.';
    if (e < 0) text.append(static_cast<std::size_t>(-e), '0');
    text += digits.substr(static_cast<std::size_t>(std::max(e, 0)));
  } else {
    text += digits.front();
    if (n > 1) {
      text += '.';
      text += digits.substr(1);
    }
    text += 'E';
    text += e - 1 < 0 ? '-' : '+';
    text += std::to_string(std::abs(e - 1));
  }
  return text;
} catch (const std::bad_alloc&) {
  return {};  // out of memory: the text stays empty and the caller goes on
}

}  // namespace mirvane::numeric
