// Typed text to a number: a scan into a small record, then the record's value.
#include <algorithm>
#include <array>

#include "numeric/numeric.h"
#include "numeric/power_of_ten.h"

namespace mirvane::numeric {

namespace {

constexpr int kMantissaDigits = 18;  // below 10^18, so M fits 64 bits exactly
constexpr int kExponentLimit = 9999;
constexpr std::int64_t kOverflowMagnitude = 4933;  // 10^4932 is beyond the extended range
constexpr long double kOverflowValue = 0x1p127L;

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// "0" to "9" are 0 to 9 and letters of either case 10 ("A") to 35 ("Z"); anything else is above
// every base.
constexpr std::array<std::uint8_t, 256> kRadixDigitValue = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(255);
  for (int c = '0'; c <= '9'; ++c) values[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'Z'; ++c) {
    values[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
    values[static_cast<std::size_t>(c - 'A' + 'a')] = static_cast<std::uint8_t>(c - 'A' + 10);
  }
  return values;
}();
int DigitValue(char c) noexcept { return c - '0'; }

}  // namespace

DecimalScan ScanDecimal(std::string_view text) noexcept {
  DecimalScan scan;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    scan.negative = text[i] == '-';
    ++i;
  }
  // Locals, not the record's fields, in the loop: the record may alias the text's bytes.
  bool seenPoint = false;
  bool hasDigits = false;
  std::uint64_t mantissa = 0;
  std::int64_t digitCount = 0;
  std::int64_t pointPosition = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      hasDigits = true;
      if (digitCount == 0 && c == '0') {
        if (seenPoint) --pointPosition;  // a zero between the point and the first digit
        continue;
      }
      ++digitCount;
      if (digitCount <= kMantissaDigits) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(DigitValue(c));
      }
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
      pointPosition = digitCount;
    } else {
      break;
    }
  }
  scan.hasDigits = hasDigits;
  scan.mantissa = mantissa;
  scan.digitCount = digitCount;
  scan.pointPosition = seenPoint ? pointPosition : digitCount;

  const bool exponentLetter =
      i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd');
  if (!scan.hasDigits || !exponentLetter) return scan;
  ++i;
  bool negativeExponent = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negativeExponent = text[i] == '-';
    ++i;
  }
  int magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = std::min(magnitude * 10 + DigitValue(text[i]), kExponentLimit);
  }
  scan.exponent = negativeExponent ? -magnitude : magnitude;
  return scan;
}

long double DecimalValue(const DecimalScan& scan) noexcept {
  long double value = 0;
  if (scan.hasDigits && scan.digitCount > 0) {
    const std::int64_t magnitude = scan.pointPosition + scan.exponent;  // Q
    if (magnitude >= kOverflowMagnitude) {
      value = kOverflowValue;
    } else if (magnitude > -kOverflowMagnitude) {
      const std::int64_t scale =
          magnitude - std::min<std::int64_t>(scan.digitCount, kMantissaDigits);
      value = detail::ScaleByPowerOfTen(static_cast<long double>(scan.mantissa),
                                        static_cast<int>(scale));
    }
  }
  return scan.negative ? -value : value;
}

namespace {

struct RadixDigits {
  std::size_t end = 0;            // where the digits stop
  std::uint64_t accumulator = 0;  // V
  bool overflow = false;          // a set bit would have left the 64 bits
};

// The digits from `at` on, `shift` bits each; the base is a constant so the shifts are too.
template <int shift>
RadixDigits ReadRadixDigits(std::string_view text, std::size_t at) noexcept {
  constexpr int base = 1 << shift;
  std::uint64_t accumulator = 0;
  std::uint64_t shiftedOut = 0;
  for (; at < text.size(); ++at) {
    const int digit = kRadixDigitValue[static_cast<unsigned char>(text[at])];
    if (digit >= base) break;  // not a digit or letter, or too large for the base
    shiftedOut |= accumulator >> (64 - shift);
    accumulator = (accumulator << shift) | static_cast<std::uint64_t>(digit);
  }
  return {at, accumulator, shiftedOut != 0};
}

// The scan itself, here where ParseNumber can have it inline.
inline RadixScan ScanRadixText(std::string_view text) noexcept {
  RadixScan scan;
  std::size_t i = 1;  // past the "&"
  if (i < text.size()) {
    switch (text[i]) {
      case 'H': case 'h': scan.base = 16; ++i; break;
      case 'O': case 'o': case 'Q': case 'q': scan.base = 8; ++i; break;
      case 'B': case 'b': scan.base = 2; ++i; break;
      default: break;  // base 8, and the character is the first digit
    }
  }
  const std::size_t firstDigit = i;
  const RadixDigits digits = scan.base == 16  ? ReadRadixDigits<4>(text, i)
                             : scan.base == 8 ? ReadRadixDigits<3>(text, i)
                                              : ReadRadixDigits<1>(text, i);
  i = digits.end;
  scan.hasDigits = i > firstDigit;
  scan.firstDigitZero = scan.hasDigits && text[firstDigit] == '0';
  scan.accumulator = digits.accumulator;
  scan.overflow = digits.overflow;
  if (!scan.hasDigits) return scan;

  const auto next = [&](std::size_t at) { return at < text.size() ? text[at] : '\0'; };
  if (next(i) == '%') {
    scan.suffix = RadixSuffix::Integer;
  } else if (next(i) == '&') {
    scan.suffix = next(i + 1) == '&' ? RadixSuffix::Quad : RadixSuffix::Long;
  } else if (next(i) == '?') {
    scan.suffix = RadixSuffix::Unsigned;
  }
  return scan;
}

}  // namespace

RadixScan ScanRadix(std::string_view text) noexcept { return ScanRadixText(text); }

namespace {

// V read as a signed integer of the width the text implies; the first matching rule applies.
std::int64_t SignedRadixValue(const RadixScan& scan) noexcept {
  constexpr std::uint64_t k2p16 = std::uint64_t{1} << 16;
  constexpr std::uint64_t k2p32 = std::uint64_t{1} << 32;
  constexpr std::uint64_t k2p63 = std::uint64_t{1} << 63;
  const std::uint64_t v = scan.accumulator;
  if (!scan.hasDigits || scan.overflow) return 0;
  if (scan.suffix == RadixSuffix::Unsigned) return v < k2p63 ? static_cast<std::int64_t>(v) : 0;
  if (scan.firstDigitZero || v >= k2p32) return static_cast<std::int64_t>(v);
  if (scan.suffix == RadixSuffix::Quad) return static_cast<std::int64_t>(v);
  if (v >= k2p16) return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  if (scan.suffix == RadixSuffix::Long) return static_cast<std::int64_t>(v);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

}  // namespace

long double RadixValue(const RadixScan& scan) noexcept {
  return static_cast<long double>(SignedRadixValue(scan));  // exact: 64 bits fit the significand
}

long double ParseNumber(std::string_view text) noexcept {
  // A carriage return is not skipped: only blank, tab and line feed.
  std::size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t' || text[start] == '\n')) ++start;
  const std::string_view number(text.data() + start, text.size() - start);
  if (!number.empty() && number.front() == '&') return RadixValue(ScanRadixText(number));
  return DecimalValue(ScanDecimal(number));
}

}  // namespace mirvane::numeric
