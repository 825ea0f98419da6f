// A value to text under a picture mask.
#include <algorithm>
#include <cmath>
#include <new>

#include "numeric/numeric.h"
#include "numeric/significand.h"

namespace mirvane::numeric {

namespace {

// The rounded digits that go into the slots: the integer digits, then the fraction digits.
struct MantissaDigits {
  std::string row;
  std::size_t integerLength = 0;
  bool negative = false;
  int exponent = 0;  // the shown exponent in scientific form

  std::string_view Integer() const noexcept { return std::string_view(row).substr(0, integerLength); }
  std::string_view Fraction() const noexcept { return std::string_view(row).substr(integerLength); }
};

// The digits of the row before index `end`, as an integer rounded at `end`: the first dropped
// digit decides, and an exact half (nothing non-zero after it) goes to the even neighbour of the
// last kept digit. Row indices outside the significand read "0", so only 0 ≤ end < count rounds;
// at end 0 the last kept digit is a "0" standing in front of the row.
std::uint64_t RoundedLeadingDigits(const detail::Significand& significand, long long end) noexcept {
  if (end >= significand.count) return significand.digits;
  if (end < 0) return 0;
  const std::uint64_t unit = detail::kPowersOfTen[static_cast<std::size_t>(significand.count - end)];
  const std::uint64_t kept = significand.digits / unit;
  const std::uint64_t dropped = significand.digits % unit;
  const bool up = dropped > unit / 2 || (dropped == unit / 2 && kept % 2 == 1);
  return kept + (up ? 1 : 0);
}

// `value` in decimal, zero-padded on the left to `width` digits (it has at most one more, after
// a carry), then `trailingZeros` zeros.
std::string DigitText(std::uint64_t value, long long width, long long trailingZeros) {
  const bool carried = width < static_cast<long long>(detail::kPowersOfTen.size()) &&
                       value >= detail::kPowersOfTen[static_cast<std::size_t>(width)];
  std::string text(static_cast<std::size_t>(width + (carried ? 1 : 0) + trailingZeros), '0');
  auto at = text.end() - trailingZeros;
  for (; value != 0; value /= 10) *--at = static_cast<char>('0' + value % 10);
  return text;
}

// Fixed form: the row's digits up to `fractionSlots` past the point, rounded there. With no
// integer digits the integer part is a "0" in front, which also takes a carry and, as an even
// digit, sends an exact half with no fraction slots down.
MantissaDigits FixedDigits(const detail::Significand& significand, int decimalExponent, int fractionSlots) {
  const long long end = static_cast<long long>(decimalExponent) + fractionSlots;
  const long long significantEnd = std::min<long long>(end, significand.count);
  // a "0" for the empty integer part, then the fraction's zeros before the first row digit
  const long long leadingZeros = decimalExponent <= 0 ? 1 - static_cast<long long>(decimalExponent) : 0;
  MantissaDigits digits;
  digits.row = DigitText(RoundedLeadingDigits(significand, end), leadingZeros + significantEnd,
                         end - significantEnd);
  digits.integerLength = digits.row.size() - static_cast<std::size_t>(fractionSlots);
  return digits;
}

// Scientific form: integerSlots + fractionSlots significant digits; a carry out of the first
// leaves "1" and zeros and moves the exponent up by one.
MantissaDigits ScientificDigits(const detail::Significand& significand, int decimalExponent, int integerSlots,
                                int fractionSlots) {
  const long long end = static_cast<long long>(integerSlots) + fractionSlots;
  const long long significantEnd = std::min<long long>(end, significand.count);
  MantissaDigits digits;
  digits.exponent = decimalExponent - integerSlots;
  std::uint64_t kept = RoundedLeadingDigits(significand, end);
  if (kept == detail::kPowersOfTen[static_cast<std::size_t>(significantEnd)]) {
    kept /= 10;
    ++digits.exponent;
  }
  digits.row = DigitText(kept, significantEnd, end - significantEnd);
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

// Room for every character placement can produce: each position shows at most one, except the
// leftmost integer slot with the digits left over, the group separators, the "-" and the
// exponent's digits and sign.
std::size_t OutputBound(const MaskLayout& layout, const MantissaDigits& digits) noexcept {
  constexpr std::size_t kExponentText = 12;
  std::size_t bound = layout.positions.size() + digits.row.size() + 1;
  if (layout.grouping) bound += (digits.row.size() + layout.positions.size()) / 3;
  if (layout.Scientific()) bound += kExponentText;
  return bound;
}

}  // namespace

std::string FormatNumber(long double value, const MaskLayout& layout) noexcept try {
  // The row past the significand reads "0", which covers the 4,932-digit row and the fraction
  // slots it would be extended by, however many the mask has.
  const detail::Significand significand = detail::SignificandOf(value);
  int decimalExponent = significand.decimalExponent;
  const bool zeroOrNaN = value == 0 || std::isnan(value);
  if (layout.percent && !zeroOrNaN) decimalExponent += 2;

  const bool scientific = layout.Scientific();
  MantissaDigits digits =
      scientific ? ScientificDigits(significand, decimalExponent, layout.integerSlots, layout.fractionSlots)
                 : FixedDigits(significand, decimalExponent, layout.fractionSlots);
  digits.negative = significand.negative && digits.row != "0";  // a lone 0 has no sign

  std::string out;
  out.reserve(OutputBound(layout, digits));
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
