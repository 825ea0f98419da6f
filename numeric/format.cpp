// A value to text under a picture mask.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <new>

#include "numeric/numeric.h"
#include "numeric/significand.h"

namespace mirvane::numeric {

namespace {

// The rounded digits that go into the slots, integer digits then fraction digits, `length` in
// all: the decimal digits of `significant`, zero-padded on the left, then `trailingZeros` zeros.
// Placement takes them from the right, so they are never written out as a row.
struct MantissaDigits {
  std::uint64_t significant = 0;
  std::size_t trailingZeros = 0;
  std::size_t length = 0;
  std::size_t integerLength = 0;
  bool negative = false;
  int exponent = 0;  // the shown exponent in scientific form

  std::size_t FractionLength() const noexcept { return length - integerLength; }
  bool LoneZero() const noexcept { return length == 1 && significant == 0; }
};

// Hands out the digits of a MantissaDigits from the right end on; past the significant digits
// (the zero padding on the left) it gives "0".
class DigitsFromTheRight {
 public:
  explicit DigitsFromTheRight(const MantissaDigits& digits) noexcept
      : zerosLeft_(digits.trailingZeros), rest_(digits.significant) {}

  char Next() noexcept {
    if (zerosLeft_ > 0) {
      --zerosLeft_;
      return '0';
    }
    const char digit = static_cast<char>('0' + rest_ % 10);
    rest_ /= 10;
    return digit;
  }

 private:
  std::size_t zerosLeft_;
  std::uint64_t rest_;
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

// Whether `value` needs more than `width` digits, as after a carry out of the first one.
bool WiderThan(std::uint64_t value, long long width) noexcept {
  return width < static_cast<long long>(detail::kPowersOfTen.size()) &&
         value >= detail::kPowersOfTen[static_cast<std::size_t>(width)];
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
  digits.significant = RoundedLeadingDigits(significand, end);
  const long long width = leadingZeros + significantEnd;
  digits.trailingZeros = static_cast<std::size_t>(end - significantEnd);
  digits.length = static_cast<std::size_t>(width + (WiderThan(digits.significant, width) ? 1 : 0)) +
                  digits.trailingZeros;
  digits.integerLength = digits.length - static_cast<std::size_t>(fractionSlots);
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
  digits.significant = RoundedLeadingDigits(significand, end);
  if (WiderThan(digits.significant, significantEnd)) {
    digits.significant /= 10;
    ++digits.exponent;
  }
  digits.trailingZeros = static_cast<std::size_t>(end - significantEnd);
  digits.length = static_cast<std::size_t>(end);
  digits.integerLength = static_cast<std::size_t>(integerSlots);
  return digits;
}

// The output text, written from its right end leftwards as placement goes. Short texts stay in
// the object; the capacity asked for is an estimate, and the text grows when it falls short.
class BackwardText {
 public:
  explicit BackwardText(std::size_t capacity) {
    if (capacity > local_.size()) {
      heap_.resize(capacity);
      begin_ = heap_.data();
    }
    end_ = begin_ + std::max(capacity, local_.size());
    at_ = end_;
  }
  BackwardText(const BackwardText&) = delete;
  BackwardText& operator=(const BackwardText&) = delete;

  void Put(char c) {
    if (at_ == begin_) Grow();
    *--at_ = c;
  }
  std::string Text() const { return std::string(at_, end_); }

 private:
  void Grow() {
    const std::size_t used = static_cast<std::size_t>(end_ - at_);
    std::string larger(2 * static_cast<std::size_t>(end_ - begin_), '\0');
    std::copy(at_, end_, larger.end() - static_cast<std::ptrdiff_t>(used));
    heap_ = std::move(larger);
    begin_ = heap_.data();
    end_ = begin_ + heap_.size();
    at_ = end_ - used;
  }

  std::array<char, 64> local_;
  std::string heap_;
  char* begin_ = local_.data();
  char* end_ = nullptr;
  char* at_ = nullptr;
};

// Places the mantissa right to left.
class MantissaPlacer {
 public:
  MantissaPlacer(const MaskLayout& layout, const MantissaDigits& digits, BackwardText& out)
      : layout_(layout), digits_(digits), negative_(digits.negative), out_(out),
        integerLeft_(digits.integerLength), fractionLeft_(digits.FractionLength()) {}

  void Place(std::size_t end) {
    std::size_t leftmostInteger = end;
    std::size_t leftmostZero = end;
    std::size_t fractionSlots = 0;
    for (std::size_t i = end; i-- > 0;) {
      const MaskPosition& p = layout_.positions[i];
      if (p.isSlot && p.role == SlotRole::Integer) {
        leftmostInteger = i;
        if (p.writtenAsZero) leftmostZero = i;
      } else if (p.isSlot && p.role == SlotRole::Fraction) {
        ++fractionSlots;
      }
    }
    // fraction digits the slots have no room for are passed over
    for (; fractionLeft_ > fractionSlots; --fractionLeft_) digits_.Next();
    for (std::size_t i = end; i-- > 0;) {
      const MaskPosition& p = layout_.positions[i];
      if (!p.isSlot) {
        out_.Put(p.character);
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
    --fractionLeft_;
    const char digit = digits_.Next();
    if (trailingZeros_ && digit == '0') {
      Pad(p);
      return;
    }
    trailingZeros_ = false;
    out_.Put(digit);
  }

  void IntegerSlot(const MaskPosition& p, bool leftmost, bool zeroSlotRemains) {
    if (integerLeft_ > 0) {
      NextIntegerDigit();
      while (leftmost && integerLeft_ > 0) NextIntegerDigit();
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

  void NextIntegerDigit() {
    --integerLeft_;
    IntegerDigit(digits_.Next());
  }

  void IntegerDigit(char digit) {
    if (layout_.grouping && integerPlaced_ > 0 && integerPlaced_ % 3 == 0) out_.Put(',');
    out_.Put(digit);
    ++integerPlaced_;
  }

  void Minus() {
    out_.Put('-');
    minusShown_ = true;
  }

  void Pad(const MaskPosition& p) {
    if (p.hasPad) out_.Put(p.character);
  }

  const MaskLayout& layout_;
  DigitsFromTheRight digits_;
  bool negative_;
  BackwardText& out_;
  std::size_t integerLeft_;
  std::size_t fractionLeft_;
  std::size_t integerPlaced_ = 0;
  bool trailingZeros_ = true;
  bool minusShown_ = false;
};

// Places the exponent positions right to left, the sign directly left of the digits and their
// zero padding.
void PlaceExponent(const MaskLayout& layout, const MantissaDigits& digits, BackwardText& out) {
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
  std::string placed;  // right to left, as placed
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
  for (std::size_t i = 0; i < signAt; ++i) out.Put(placed[i]);
  if (sign != 0) out.Put(sign);
  for (std::size_t i = signAt; i < placed.size(); ++i) out.Put(placed[i]);
}

// Room for every character placement can produce: each position shows at most one, except the
// leftmost integer slot with the digits left over, the group separators, the "-" and the
// exponent's digits and sign.
std::size_t OutputBound(const MaskLayout& layout, const MantissaDigits& digits) noexcept {
  constexpr std::size_t kExponentText = 12;
  std::size_t bound = layout.positions.size() + digits.length + 1;
  if (layout.grouping) bound += (digits.length + layout.positions.size()) / 3;
  if (layout.Scientific()) bound += kExponentText;
  return bound;
}

}  // namespace

std::string FormatNumber(long double value, const MaskLayout& layout) noexcept try {
  // The row past the significand reads "0", which covers the 4,932-digit row and the fraction
  // slots it would be extended by, however many the mask has.
  const detail::Significand significand = detail::SignificandOf(value);
  int decimalExponent = significand.decimalExponent;
  if (layout.percent && !(value == 0 || std::isnan(value))) decimalExponent += 2;

  const bool scientific = layout.Scientific();
  MantissaDigits digits =
      scientific ? ScientificDigits(significand, decimalExponent, layout.integerSlots, layout.fractionSlots)
                 : FixedDigits(significand, decimalExponent, layout.fractionSlots);
  digits.negative = significand.negative && !digits.LoneZero();  // a lone 0 has no sign

  BackwardText out(OutputBound(layout, digits));
  if (scientific) PlaceExponent(layout, digits, out);
  MantissaPlacer(layout, digits, out).Place(scientific ? layout.exponentStart : layout.positions.size());
  return out.Text();
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
