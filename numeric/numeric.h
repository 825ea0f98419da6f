// Numeric text: typed text to numbers, the arithmetic primitives of the delay computation, and
// numbers to text under a picture mask. All arithmetic is extended precision; every function here
// is total (no input is an error) and keeps no state between calls.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane::numeric {

static_assert(std::numeric_limits<long double>::digits == 64,
              "numbers need the 80-bit extended format (64-bit significand) for long double");

// ---------------------------------------------------------------------------------------------
// Parsing

// The leading number of text; 0 where none begins. Blanks, tabs and line feeds before it are
// skipped; whatever follows it is ignored.
//   "3.5m" -> 3.5        " 7" -> 7           "\t3.5" -> 3.5       "\r5" -> 0
//   "1e3" -> 1000        "1d3" -> 1000       "2.5e-1" -> 0.25     "1e" -> 1       "e3" -> 0
//   "3,5" -> 3           "1.2.3" -> 1.2      "--5" -> -0          "-" -> -0
//   "12345678901234567899" -> 12345678901234567800 (digits past the 18th are dropped)
//   "1e5000" -> 2^127    "1e-5000" -> 0      "1e400" -> 1e400 (infinite once stored as double)
//   "&H1F" -> 31   "&O17" -> 15   "&17" -> 15   "&B101" -> 5   "&HFFFF" -> -1   "&HFFFF&" -> 65535
long double ParseNumber(std::string_view text) noexcept;

// What the decimal scan of ParseNumber found: value = ± M × 10^(E + P − min(D, 18)).
struct DecimalScan {
  bool negative = false;
  bool hasDigits = false;        // the mantissa held at least one digit (zeros count)
  std::uint64_t mantissa = 0;    // M: the first 18 significant digits, later ones truncated
  std::int64_t digitCount = 0;   // D: significant digits, from the first non-zero one on
  std::int64_t pointPosition = 0;  // P: where the point stands, counted in significant digits
  int exponent = 0;              // E: saturates at ±9999
};
//   "0.05" -> {M 5, D 1, P -1, E 0}      "-12.5e2" -> {negative, M 125, D 3, P 2, E 2}
DecimalScan ScanDecimal(std::string_view text) noexcept;  // text starts at the sign, if any
long double DecimalValue(const DecimalScan& scan) noexcept;

enum class RadixSuffix : std::uint8_t { None, Integer, Long, Quad, Unsigned };  // % & && ?
struct RadixScan {  // 16 bytes: returned in registers
  std::uint8_t base = 8;
  bool hasDigits = false;
  bool overflow = false;         // a set bit would have left the 64 bits
  bool firstDigitZero = false;
  RadixSuffix suffix = RadixSuffix::None;
  std::uint64_t accumulator = 0;  // V
};
//   "&h1f" -> {base 16, V 31}       "&HFFFF&" -> {base 16, V 65535, Long}
RadixScan ScanRadix(std::string_view text) noexcept;  // text starts at the "&"
long double RadixValue(const RadixScan& scan) noexcept;

// ---------------------------------------------------------------------------------------------
// Arithmetic

// base^exponent by square-and-multiply for integral exponents below 65536 in magnitude, each
// product rounded to extended precision; other exponents go to the library power function.
//   Power(-3, 2) -> 9    Power(x, 0) -> 1    Power(-0, 2) -> -0    Power(0, -1) -> NaN
long double Power(long double base, long double exponent) noexcept;
// The correctly rounded square root; a negative argument comes back unchanged.
//   SquareRoot(2) -> 1.41421356237309504880   SquareRoot(-4) -> -4
long double SquareRoot(long double x) noexcept;

// ---------------------------------------------------------------------------------------------
// Decimal digits

// A value's decimal form: magnitude = 0.d1 d2 d3 ... × 10^decimalExponent. The row is `count`
// digits long, but only its first `significantCount` (at most 19) can be non-zero, so a long row
// costs nothing: every later position reads "0".
struct DecimalDigits {
  static constexpr int kMaxSignificant = 19;  // an infinity's nineteen 9s

  std::array<char, kMaxSignificant> significant{};
  int significantCount = 0;
  int count = 0;  // the row's logical length
  int decimalExponent = 1;
  bool negative = false;  // false for zero of either sign and for NaN

  // The digit at row index `index`; "0" anywhere outside the significant part, negative indices
  // and indices past the row included (the row behaves as if padded with zeros on both sides).
  char DigitAt(long long index) const noexcept {
    return index >= 0 && index < significantCount ? significant[static_cast<std::size_t>(index)]
                                                  : '0';
  }
  std::string Row() const;  // the whole row, `count` characters
};

// The value's 18 significant digits from |value| × 10^(17 − k), rounded to count digits (next
// digit alone, exact 5 to even) when count is below 18. Zero, a denormal and NaN give zeros with
// exponent 1; an infinity gives min(count, 19) 9s with exponent 999. A count of 0 or less gives
// an empty row.
//   (0.125, 4932) -> "125" then zeros, exponent 0       (1234.5, 3) -> "123", exponent 4
//   (9.9999999999999999, 15) -> "100000000000000", exponent 2 (the carry runs through the 9s)
DecimalDigits GenerateDigits(long double value, int count) noexcept;

// The plain conversion: up to 15 significant digits, no "0" before the point, scientific form
// beyond 15 integer or 15 fraction digits.
//   3 -> "3"   0.5 -> ".5"   -2.25 -> "-2.25"   1e14 -> "100000000000000"   1e15 -> "1E+15"
//   1e-15 -> ".000000000000001"   1e-16 -> "1E-16"   NaN -> "0"   +inf -> "9.99999999999999E+998"
std::string NumberToText(long double value) noexcept;

// ---------------------------------------------------------------------------------------------
// Picture masks

enum class SlotRole : std::uint8_t { Integer, Fraction, Exponent };

// One output position of a mask section: a literal character, or a digit slot that shows a
// digit and, when no digit is left for it, its pad (or nothing when it has none).
// Plain data without default values, so a layout's unused inline positions cost nothing to
// create.
struct MaskPosition {
  bool isSlot;
  bool hasPad;
  bool writtenAsZero;  // a "0" slot, which zero-fills the integer part
  SlotRole role;
  char character;  // the literal, or the slot's pad
};

enum class ExponentSign : std::uint8_t { None, Minus, Plus };

// The positions of a section. Most masks are a handful of characters, so the first few live in
// the list itself and only longer sections take storage from the heap.
class MaskPositions {
 public:
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const MaskPosition& operator[](std::size_t i) const noexcept {
    return i < kInline ? inline_[i] : overflow_[i - kInline];
  }
  void push_back(const MaskPosition& position) {
    if (size_ < kInline) {
      inline_[size_] = position;
    } else {
      overflow_.push_back(position);
    }
    ++size_;
  }

 private:
  static constexpr std::size_t kInline = 8;
  std::array<MaskPosition, kInline> inline_;
  std::vector<MaskPosition> overflow_;
  std::size_t size_ = 0;
};

// A mask section compiled once; FormatNumber formats from it.
struct MaskLayout {
  MaskPositions positions;
  int integerSlots = 0;
  int fractionSlots = 0;
  int exponentSlots = 0;
  int zeroSlots = 0;
  bool grouping = false;
  bool percent = false;
  ExponentSign exponentSign = ExponentSign::None;
  std::size_t exponentStart = 0;  // positions from here on belong to the exponent

  // Scientific form needs an exponent part holding at least one digit slot.
  bool Scientific() const noexcept { return exponentSign != ExponentSign::None && exponentSlots > 0; }
};

// Compiles one section (no ";" splitting here).
//   "#,##0.00"  -> slots # # # 0 . 0 0, grouping, 4 integer and 2 fraction slots
//   "0.00E+00"  -> mantissa 0 . 0 0 E, exponent 0 0 with sign plus
//   "0.00 ms"   -> 0 . 0 0 and a blank; "m" and "s" are dropped
MaskLayout ParseMaskSection(std::string_view section);

// The up to three ";"-separated sections of a mask; a ";" quoted or after a backslash does not
// separate. separators counts the separating ";" (at most 3; text after a third is unused).
struct MaskSections {
  std::string_view positive;
  std::string_view negative;
  std::string_view zero;
  int separators = 0;
};
//   "0.00;(0.00);\"nil\"" -> positive "0.00", negative "(0.00)", zero "\"nil\""
MaskSections SplitMaskSections(std::string_view mask) noexcept;

// value under the picture mask; an empty mask, or an empty chosen section, gives NumberToText.
// Rounding is decided on the 18-significant-digit decimal form, an exact half to even.
//   (2.675, "0.00") -> "2.67"   (0.125, "0.00") -> "0.12"   (-0.001, "0.00") -> "-0.00"
//   (NaN, "0.00") -> "0.00"     (1234567.891, "#,##0.00") -> "1,234,567.89"   (5, "0##") -> "005"
//   (123456, "0.00E+00") -> "1.23E+05"   (0.125, "0.0%") -> "12.5%"   (-5, "0;(0)") -> "(5)"
// The mask "0.00" with +infinity gives nineteen 9s, 980 zeros and ".00".
std::string FormatNumber(long double value, std::string_view mask) noexcept;
// One compiled section, no section choice: a negative value shows its "-" by the slot rules.
std::string FormatNumber(long double value, const MaskLayout& layout) noexcept;

}  // namespace mirvane::numeric
