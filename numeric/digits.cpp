// A value's decimal digits, and the plain conversion of a value to text.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "numeric/numeric.h"
#include "numeric/power_of_ten.h"
#include "numeric/significand.h"

namespace mirvane::numeric {

namespace {

constexpr int kGeneratedDigits = 18;
constexpr std::uint64_t kLowest18Digit = detail::kPowersOfTen[17];
constexpr std::uint64_t kPast18Digits = detail::kPowersOfTen[18];
constexpr int kExponentBias = 16383;
constexpr int kInfinityExponent = 999;
constexpr int kInfinityDigits = DecimalDigits::kMaxSignificant;
constexpr int kPlainDigits = 15;

enum class ValueClass { Zero, Finite, Unnormal, Infinity, NotANumber };

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
// when the top 16 significand bits are exactly the integer bit, else NaN. In between, a clear
// integer bit makes an unnormal, which every extended operation takes as an invalid operand and
// turns into a NaN: it cannot be scaled to digits.
ValueClass Classify(const ExtendedFields& fields) noexcept {
  if (fields.exponentField == 0) return ValueClass::Zero;
  if (fields.exponentField == 0x7FFFU) {
    return (fields.significand >> 48) == 0x8000U ? ValueClass::Infinity : ValueClass::NotANumber;
  }
  return (fields.significand >> 63) != 0 ? ValueClass::Finite : ValueClass::Unnormal;
}

// Rounds y to an integer, ties to even, for 0 ≤ y < 2^62. From 2^63 on the 64-bit significand
// holds no fraction bits, so y + 2^63 is rounded to an integer, and that sum's significand is
// 2^63 plus the rounded y: the same integer as (y + 2^63) − 2^63, read without a conversion.
std::uint64_t RoundToInteger(long double y) noexcept {
  constexpr long double kNoFractionBits = 0x1p63L;
  const long double sum = y + kNoFractionBits;
  std::uint64_t significand = 0;
  std::memcpy(&significand, &sum, sizeof significand);
  return significand - (std::uint64_t{1} << 63);
}

// y ÷ 10 at extended precision, rounded to an integer ties to even, for 10^18 ≤ y < 2^62. The
// quotient's integer part q has 57 to 59 bits, so the 64-bit quotient keeps the remainder's
// tenth r/10 to a multiple of 1/32 or finer; that moves it by at most 1/64, which neither carries
// it to 1 nor takes it across or onto 1/2 unless it is 1/2 (r = 5). Both roundings together
// therefore come to rounding q + r/10 once, a half to even.
std::uint64_t DivideByTenRounded(std::uint64_t y) noexcept {
  const std::uint64_t quotient = y / 10;
  const std::uint64_t remainder = y % 10;
  const bool up = remainder > 5 || (remainder == 5 && quotient % 2 == 1);
  return quotient + (up ? 1 : 0);
}

// The 18 significant digits of a normal magnitude as an integer in [10^17, 10^18), and the
// exponent k of its leading digit. The estimate of k is at most one too high or too low
// (19728/65536 is a little below log10 2), so the first scaled value lies between 8.4·10^16 and
// 2.4·10^18, the ranges the integer steps above allow.
std::uint64_t EighteenDigits(long double magnitude, int binaryExponent, int& k) noexcept {
  k = (binaryExponent * 19728) >> 16;  // floor(e2 · log10 2), at most one too high or low
  std::uint64_t y = RoundToInteger(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  if (y >= kPast18Digits) {
    y = DivideByTenRounded(y);
    ++k;
  } else if (y < kLowest18Digit) {
    --k;
    y = RoundToInteger(detail::ScaleByPowerOfTen(magnitude, 17 - k));
  }
  return y;
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

namespace detail {

Significand SignificandOf(long double value) noexcept {
  Significand significand;
  const ExtendedFields fields = FieldsOf(value);
  switch (Classify(fields)) {
    case ValueClass::Finite:
      break;
    case ValueClass::Infinity:
      significand.digits = kPowersOfTen[kInfinityDigits] - 1;
      significand.count = kInfinityDigits;
      significand.decimalExponent = kInfinityExponent;
      significand.negative = fields.sign;
      return significand;
    default:
      return significand;  // zero, NaN, an unnormal: no digits, exponent 1, not negative
  }
  int k = 0;
  const int binaryExponent = static_cast<int>(fields.exponentField) - kExponentBias;
  const std::uint64_t digits = EighteenDigits(std::fabs(value), binaryExponent, k);
  if (digits < kLowest18Digit || digits >= kPast18Digits) return significand;
  significand.digits = digits;
  significand.count = kGeneratedDigits;
  significand.decimalExponent = k + 1;
  significand.negative = fields.sign;
  return significand;
}

}  // namespace detail

DecimalDigits GenerateDigits(long double value, int count) noexcept {
  DecimalDigits row;
  row.count = std::max(count, 0);
  const detail::Significand significand = detail::SignificandOf(value);
  row.decimalExponent = significand.decimalExponent;
  row.negative = significand.negative;
  if (significand.count == kInfinityDigits) {  // an infinity's 9s are never rounded
    row.significantCount = std::min(row.count, kInfinityDigits);
    std::fill_n(row.significant.begin(), row.significantCount, '9');
  } else if (significand.count == kGeneratedDigits) {
    WriteEighteenDigits(significand.digits, row.significant.data());
    row.significantCount = kGeneratedDigits;
    if (row.count < kGeneratedDigits) RoundRowTo(row, row.count);
  }
  return row;
}

namespace {

// The significand rounded to `count` (below 18) digits by the next digit alone, as GenerateDigits
// rounds its row; an infinity's 9s are cut, not rounded. A carry out of the first digit leaves 1
// and zeros and adds 1 to `decimalExponent`.
std::uint64_t RoundedByNextDigit(const detail::Significand& significand, int count, int& decimalExponent) noexcept {
  decimalExponent = significand.decimalExponent;
  if (significand.count <= count) return significand.digits;
  const std::uint64_t unit = detail::kPowersOfTen[static_cast<std::size_t>(significand.count - count)];
  std::uint64_t kept = significand.digits / unit;
  if (significand.count == kInfinityDigits) return kept;
  const std::uint64_t next = significand.digits / (unit / 10) % 10;
  if (next > 5 || (next == 5 && kept % 2 == 1)) ++kept;
  if (kept == detail::kPowersOfTen[static_cast<std::size_t>(count)]) {
    kept /= 10;
    ++decimalExponent;
  }
  return kept;
}

// Writes the `count` decimal digits of value (zero-padded) to out.
void WriteDigits(std::uint64_t value, int count, char* out) noexcept {
  for (int at = count; at-- > 0; value /= 10) out[at] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string NumberToText(long double value) noexcept try {
  const detail::Significand significand = detail::SignificandOf(value);
  int e = 0;
  std::uint64_t rounded = RoundedByNextDigit(significand, kPlainDigits, e);
  if (rounded == 0) return "0";
  int n = kPlainDigits;  // digits left once the trailing zeros are dropped
  for (; rounded % 10 == 0; rounded /= 10) --n;
  char digits[kPlainDigits];
  WriteDigits(rounded, n, digits);

  // at most a sign, 15 digits, a point and 14 zeros, or the scientific form with a 4-digit exponent
  char text[40];
  char* at = text;
  const auto put = [&at](char c) { *at++ = c; };
  const auto putDigits = [&at, &digits](int from, int to) {
    for (int i = from; i < to; ++i) *at++ = digits[i];
  };
  if (significand.negative) put('-');
  const bool whole = e >= n;
  if (whole && e <= kPlainDigits) {
    putDigits(0, n);
    for (int i = n; i < e; ++i) put('0');
  } else if (!whole && n - e <= kPlainDigits) {
    if (e > 0) putDigits(0, e);
    put('.');
    for (int i = e; i < 0; ++i) put('0');
    putDigits(std::max(e, 0), n);
  } else {
    put(digits[0]);
    if (n > 1) {
      put('.');
      putDigits(1, n);
    }
    put('E');
    put(e - 1 < 0 ? '-' : '+');
    const int shown = std::abs(e - 1);
    int width = 1;
    while (width < 9 && shown >= static_cast<int>(detail::kPowersOfTen[static_cast<std::size_t>(width)])) ++width;
    WriteDigits(static_cast<std::uint64_t>(shown), width, at);
    at += width;
  }
  return std::string(text, at);
} catch (const std::bad_alloc&) {
  return {};  // out of memory: the text stays empty and the caller goes on
}

}  // namespace mirvane::numeric
