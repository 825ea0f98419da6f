// Picture masks: splitting a mask into its sections and compiling a section into a layout.
#include <array>

#include "numeric/numeric.h"

namespace mirvane::numeric {

namespace {

// Builds a layout left to right; `afterSlot` says whether the element just before produced a
// digit slot, which decides what "," and "%" mean.
class LayoutBuilder {
 public:
  LayoutBuilder(std::string_view section, MaskLayout& layout) : section_(section), layout_(layout) {}

  void Build() {
    for (std::size_t i = 0; i < section_.size(); ++i) i = Element(i);
  }

 private:
  bool InExponent() const noexcept { return layout_.exponentSign != ExponentSign::None; }

  void Literal(char c) {
    layout_.positions.push_back(
        {.isSlot = false, .hasPad = false, .writtenAsZero = false, .role = SlotRole::Integer, .character = c});
    afterSlot_ = false;
  }

  void Slot(bool hasPad, char pad, bool writtenAsZero) {
    SlotRole role = SlotRole::Integer;
    if (InExponent()) {
      role = SlotRole::Exponent;
      ++layout_.exponentSlots;
    } else if (inFraction_) {
      role = SlotRole::Fraction;
      ++layout_.fractionSlots;
    } else {
      ++layout_.integerSlots;
    }
    if (writtenAsZero && !InExponent()) ++layout_.zeroSlots;
    layout_.positions.push_back(
        {.isSlot = true, .hasPad = hasPad, .writtenAsZero = writtenAsZero, .role = role, .character = pad});
    afterSlot_ = true;
    anySlot_ = true;
  }

  void Ignore() noexcept { afterSlot_ = false; }

  // Handles the element starting at i; returns the index of its last character.
  std::size_t Element(std::size_t i) {
    const char c = section_[i];
    const bool hasNext = i + 1 < section_.size();
    switch (c) {
      case '0':
        Slot(true, '0', true);
        return i;
      case '#':
        Slot(fill_ != 0, fill_, false);
        return i;
      case '*':
        if (!hasNext) {
          Literal('*');
          return i;
        }
        fill_ = section_[i + 1];
        Slot(true, fill_, false);
        Slot(true, fill_, false);
        return i + 1;
      case '.':
        if (!InExponent()) inFraction_ = true;
        Literal('.');
        return i;
      case ',':
        if (afterSlot_ && !InExponent()) {
          layout_.grouping = true;
          Ignore();
        } else {
          Literal(',');
        }
        return i;
      case '%':
        if (afterSlot_) {
          layout_.percent = true;
          Literal('%');
        } else {
          Ignore();
        }
        return i;
      case 'E':
      case 'e':
        return ExponentMarker(i);
      case '"': {
        std::size_t end = i + 1;
        for (; end < section_.size() && section_[end] != '"'; ++end) Literal(section_[end]);
        Ignore();
        return end < section_.size() ? end : section_.size() - 1;
      }
      case '\\':
        if (hasNext) {
          Literal(section_[i + 1]);
          return i + 1;
        }
        Ignore();
        return i;
      case '-': case '+': case '(': case ')': case '$': case ' ':
        Literal(c);
        return i;
      default:
        Ignore();
        return i;
    }
  }

  std::size_t ExponentMarker(std::size_t i) {
    if (InExponent() || !anySlot_) {
      Ignore();
      return i;
    }
    Literal(section_[i]);
    const bool signFollows = i + 1 < section_.size() && (section_[i + 1] == '-' || section_[i + 1] == '+');
    if (!signFollows) return i;
    layout_.exponentSign = section_[i + 1] == '+' ? ExponentSign::Plus : ExponentSign::Minus;
    layout_.exponentStart = layout_.positions.size();
    return i + 1;
  }

  std::string_view section_;
  MaskLayout& layout_;
  bool afterSlot_ = false;
  bool anySlot_ = false;
  bool inFraction_ = false;
  char fill_ = 0;  // set by "*": later "#" slots pad with it
};

}  // namespace

MaskLayout ParseMaskSection(std::string_view section) {
  MaskLayout layout;
  LayoutBuilder(section, layout).Build();
  if (layout.exponentSign == ExponentSign::None) layout.exponentStart = layout.positions.size();
  return layout;
}

MaskSections SplitMaskSections(std::string_view mask) noexcept {
  std::array<std::size_t, 3> separators{};
  int found = 0;
  for (std::size_t i = 0; i < mask.size() && found < 3; ++i) {
    if (mask[i] == '\\') {
      ++i;
    } else if (mask[i] == '"') {
      const std::size_t closing = mask.find('"', i + 1);
      if (closing == std::string_view::npos) break;  // an unclosed quote hides the rest
      i = closing;
    } else if (mask[i] == ';') {
      separators[static_cast<std::size_t>(found++)] = i;
    }
  }
  const auto between = [&](int first, int last) {
    const std::size_t begin = first < 0 ? 0 : separators[static_cast<std::size_t>(first)] + 1;
    const std::size_t end = last < found ? separators[static_cast<std::size_t>(last)] : mask.size();
    return mask.substr(begin, end - begin);
  };
  MaskSections sections;
  sections.separators = found;
  sections.positive = between(-1, 0);
  if (found >= 1) sections.negative = between(0, 1);
  if (found >= 2) sections.zero = between(1, 2);
  return sections;
}

}  // namespace mirvane::numeric
