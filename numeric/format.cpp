// A value to text under a picture mask.
#include <algorithm>
#include <cmath>
#include <new>

#include "numeric/numeric.h"

namespace mirvane::numeric {

namespace {

// FormatNumber's row is 4,932 digits long (the largest decimal exponent of the extended format);
// only its first 18 or 19 can be non-zero, so its length never shows in the work.
constexpr int kFormatRowLength = 4932;

// The rounded digits that go into the slots: the integer digits, then the fraction digits.
struct MantissaDigits {
  std::string row;
  std::size_t integerLength = 0;
  bool negative = false;
  int exponent = 0;  // the shown exponent in scientific form

  std::string_view Integer() const noexcept { return std::string_view(row).substr(0, integerLength); }
  std::string_view Fraction() const noexcept { return std::string_view(row).substr(integerLength); }
};

// Appends rows [first, end) to `out` and rounds `out` at `end`: the first dropped digit decides,
// an exact half (nothing non-zero after it) goes to the even neighbour of the last kept digit.
// Returns true when the carry ran out of the first digit of `out`, which is then all zeros.
bool AppendRounded(const DecimalDigits& row, long long first, long long end, std::string& out) {
  out.reserve(out.size() + static_cast<std::size_t>(std::max(end - first, 0LL)));
  for (long long at = first; at < end; ++at) out += row.DigitAt(at);
  const char dropped = row.DigitAt(end);
  bool up = dropped > '5';
  if (dropped == '5') {
    bool laterNonZero = false;
    for (long long at = std::max(end + 1, 0LL); at < row.significantCount; ++at) {
      laterNonZero = laterNonZero || row.DigitAt(at) != '0';
    }
    up = laterNonZero || (!out.empty() && (out.back() - '0') % 2 == 1);
  }
  if (!up) return false;
  auto at = out.rbegin();
  for (; at != out.rend() && *at == '9'; ++at) *at = '0';
  if (at != out.rend()) {
    ++*at;
    return false;
  }
  return true;
}

MantissaDigits FixedDigits(const DecimalDigits& row, int decimalExponent, int fractionSlots) {
  MantissaDigits digits;
  long long first = 0;
  if (decimalExponent <= 0) {
    // No integer digits: the integer part is "0", which also takes a carry and, as an even
    // digit, sends an exact half with no fraction slots down.
    digits.row.push_back('0');
    first = decimalExponent;
  }
  const long long end = static_cast<long long>(decimalExponent) + fractionSlots;
  if (AppendRounded(row, first, end, digits.row)) {
    digits.row.front() = '1';
    digits.row.push_back('0');
  }
  digits.integerLength = digits.row.size() - static_cast<std::size_t>(fractionSlots);
  return digits;
}

MantissaDigits ScientificDigits(const DecimalDigits& row, int decimalExponent, int integerSlots,
                                int fractionSlots) {
  MantissaDigits digits;
  digits.exponent = decimalExponent - integerSlots;
  if (AppendRounded(row, 0, static_cast<long long>(integerSlots) + fractionSlots, digits.row)) {
    digits.row.front() = '1';
    ++digits.exponent;
  }
  digits.integerLength = static_cast<std::size_t>(integerSlots);
  return digits;
}

// Places the mantissa right to left into `out`, which is built reversed.
class MantissaPlacer {
 public:
  MantissaPlacer(const MaskLayout& layout, const MantissaDigits& digits, std::string& out)
      : layout_(layout), integer_(digits.Integer()), fraction_(digits.Fraction()),
        negative_(digits.negative), out_(out), integerLeft_(integer_.size()),
        fractionLeft_(fraction_.size()) {}

  void Place(std::size_t end) {
    std::size_t leftmostInteger = end;
    std::size_t leftmostZero = end;
    for (std::size_t i = end; i-- > 0;) {
      const MaskPosition& p = layout_.positions[i];
      if (p.isSlot && p.role == SlotRole::Integer) {
        leftmostInteger = i;
        if (p.writtenAsZero) leftmostZero = i;
      }
    }
    for (std::size_t i = end; i-- > 0;) {
      const MaskPosition& p = layout_.positions[i];
      if (!p.isSlot) {
        out_ += p.character;
      } else if (p.role == SlotRole::Fraction) {
        FractionSlot(p);
      } else if (p.role == SlotRole::Integer) {
        IntegerSlot(p, i == leftmostInteger, leftmostZero <= i);
      }
    }
  }

 private:
  void FractionSlot(const MaskPosition& p) {
    if (fractionLeft_ == 0) {
      Pad(p);
      return;
    }
    const char digit = fraction_[--fractionLeft_];
    if (trailingZeros_ && digit == '0') {
      Pad(p);
      return;
    }
    trailingZeros_ = false;
    out_ += digit;
  }

  void IntegerSlot(const MaskPosition& p, bool leftmost, bool zeroSlotRemains) {
    if (integerLeft_ > 0) {
      IntegerDigit(integer_[--integerLeft_]);
      while (leftmost && integerLeft_ > 0) IntegerDigit(integer_[--integerLeft_]);
    } else if (zeroSlotRemains) {
      IntegerDigit('0');
    } else if (negative_ && !minusShown_) {
      Minus();
      return;
    } else {
      Pad(p);
      return;
    }
    if (leftmost && negative_ && !minusShown_) Minus();
  }

  void IntegerDigit(char digit) {
    if (layout_.grouping && integerPlaced_ > 0 && integerPlaced_ % 3 == 0) out_ += ',';
    out_ += digit;
    ++integerPlaced_;
  }

  void Minus() {
    out_ += '-';
    minusShown_ = true;
  }

  void Pad(const MaskPosition& p) {
    if (p.hasPad) out_ += p.character;
  }

  const MaskLayout& layout_;
  std::string_view integer_;
  std::string_view fraction_;
  bool negative_;
  std::string& out_;
  std::size_t integerLeft_;
  std::size_t fractionLeft_;
  std::size_t integerPlaced_ = 0;
  bool trailingZeros_ = true;
  bool minusShown_ = false;
};

// Places the exponent positions right to left into `out` (reversed), the sign directly left of
// the digits and their zero padding.
void PlaceExponent(const MaskLayout& layout, const MantissaDigits& digits, std::string& out) {
  const std::string text = std::to_string(std::abs(digits.exponent));
  char sign = 0;
  if (digits.exponent < 0) {
    sign = '-';
  } else if (layout.exponentSign == ExponentSign::Plus) {
    sign = '+';
  }
  std::size_t leftmostSlot = layout.positions.size();
  for (std::size_t i = layout.positions.size(); i-- > layout.exponentStart;) {
    if (layout.positions[i].isSlot) leftmostSlot = i;
  }
  std::string placed;  // reversed, like out
  std::size_t left = text.size();
  std::size_t signAt = 0;
  for (std::size_t i = layout.positions.size(); i-- > layout.exponentStart;) {
    const MaskPosition& p = layout.positions[i];
    if (!p.isSlot) {
      placed += p.character;
      continue;
    }
    if (left > 0) {
      do {
        placed += text[--left];
      } while (i == leftmostSlot && left > 0);
      signAt = placed.size();
    } else if (p.hasPad) {
      placed += p.character;
      if (p.character == '0') signAt = placed.size();
    }
  }
  out.append(placed, 0, signAt);
  if (sign != 0) out += sign;
  out.append(placed, signAt);
}

}  // namespace

std::string FormatNumber(long double value, const MaskLayout& layout) noexcept try {
  // Rows past the generated ones read as "0", which covers the fraction slots the row would
  // otherwise be extended by, however many the mask has.
  DecimalDigits row = GenerateDigits(value, kFormatRowLength);
  const bool zeroOrNaN = value == 0 || std::isnan(value);
  if (layout.percent && !zeroOrNaN) row.decimalExponent += 2;

  const bool scientific = layout.Scientific();
  MantissaDigits digits =
      scientific ? ScientificDigits(row, row.decimalExponent, layout.integerSlots, layout.fractionSlots)
                 : FixedDigits(row, row.decimalExponent, layout.fractionSlots);
  digits.negative = row.negative && digits.row != "0";  // a lone 0 has no sign

  std::string out;
  out.reserve(layout.positions.size() + digits.row.size() + digits.integerLength / 3 + 8);
  if (scientific) PlaceExponent(layout, digits, out);
  MantissaPlacer(layout, digits, out).Place(scientific ? layout.exponentStart : layout.positions.size());
  std::reverse(out.begin(), out.end());
  return out;
} catch (const std::bad_alloc&) {
  return {};
}

std::string FormatNumber(long double value, std::string_view mask) noexcept try {
  const MaskSections sections = SplitMaskSections(mask);
  std::string_view section = sections.positive;
  if (value == 0) {
    if (sections.separators >= 2 && !sections.zero.empty()) section = sections.zero;
  } else if (!(value > 0)) {  // negative, or NaN
    if (sections.separators >= 1 && !sections.negative.empty()) {
      section = sections.negative;
      value = std::fabs(value);
    }
  }
  if (section.empty()) return NumberToText(value);
  return FormatNumber(value, ParseMaskSection(section));
} catch (const std::bad_alloc&) {
  return {};
}

}  // namespace mirvane::numeric
