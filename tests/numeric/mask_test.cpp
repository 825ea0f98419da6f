#include <gtest/gtest.h>

#include <string>

#include "numeric/numeric.h"

namespace mirvane::numeric {
namespace {

// A layout drawn as text: a literal as itself, a slot as "[pad]" or "[]", the exponent part
// after a "|".
std::string Draw(const MaskLayout& layout) {
  std::string drawn;
  for (std::size_t i = 0; i < layout.positions.size(); ++i) {
    if (i == layout.exponentStart) drawn += '|';
    const MaskPosition& p = layout.positions[i];
    if (!p.isSlot) {
      drawn += p.character;
    } else {
      drawn += '[';
      if (p.hasPad) drawn += p.character;
      drawn += ']';
    }
  }
  if (layout.exponentSign != ExponentSign::None && layout.exponentStart == layout.positions.size()) {
    drawn += '|';
  }
  return drawn;
}

struct LayoutCase {
  std::string section;
  std::string drawn;
  int integerSlots, fractionSlots, exponentSlots, zeroSlots;
  bool grouping, percent;
  ExponentSign sign;
};

TEST(ParseMaskSection, CompilesEachElement) {
  using enum ExponentSign;
  const LayoutCase cases[] = {
      {"0.00", "[0].[0][0]", 1, 2, 0, 3, false, false, None},
      {"#,##0.00", "[][][][0].[0][0]", 4, 2, 0, 3, true, false, None},
      {",#", ",[]", 1, 0, 0, 0, false, false, None},           // no slot before the ","
      {"#,,#", "[],[]", 2, 0, 0, 0, true, false, None},        // the second "," is a literal
      {"#x,#", "[],[]", 2, 0, 0, 0, false, false, None},       // an ignored letter breaks "after a slot"
      {"0.00 ms", "[0].[0][0] ", 1, 2, 0, 3, false, false, None},
      {"0.0%", "[0].[0]%", 1, 1, 0, 2, false, true, None},
      {"%0", "[0]", 1, 0, 0, 1, false, false, None},
      {"0 %", "[0] ", 1, 0, 0, 1, false, false, None},
      {"**#", "[*][*][*]", 3, 0, 0, 0, false, false, None},
      {"#*x#", "[][x][x][x]", 4, 0, 0, 0, false, false, None},
      {"0*", "[0]*", 1, 0, 0, 1, false, false, None},
      {"\"a;b\"0", "a;b[0]", 1, 0, 0, 1, false, false, None},
      {"\"abc", "abc", 0, 0, 0, 0, false, false, None},
      {"\\E\\0", "E0", 0, 0, 0, 0, false, false, None},
      {"0\\", "[0]", 1, 0, 0, 1, false, false, None},
      {"-+()$ 0", "-+()$ [0]", 1, 0, 0, 1, false, false, None},
      {"abc!", "", 0, 0, 0, 0, false, false, None},
      {"0.0.0", "[0].[0].[0]", 1, 2, 0, 3, false, false, None},
      {"0.00E+00", "[0].[0][0]E|[0][0]", 1, 2, 2, 3, false, false, Plus},
      {"##0.0e-#", "[][][0].[0]e|[]", 3, 1, 1, 2, false, false, Minus},
      {"E+0", "+[0]", 1, 0, 0, 1, false, false, None},           // no slot yet: ignored
      {"0E0", "[0]E[0]", 2, 0, 0, 2, false, false, None},        // no sign: a literal
      {"0E+0E+0", "[0]E|[0]+[0]", 1, 0, 2, 1, false, false, Plus},  // a second marker is ignored
      {"0E+0.0,0", "[0]E|[0].[0],[0]", 1, 0, 3, 1, false, false, Plus},
      {"0E+", "[0]E|", 1, 0, 0, 1, false, false, Plus},
      {"0E+x%", "[0]E|", 1, 0, 0, 1, false, false, Plus},
  };
  for (const LayoutCase& c : cases) {
    const MaskLayout got = ParseMaskSection(c.section);
    EXPECT_EQ(Draw(got), c.drawn) << c.section;
    EXPECT_EQ(got.integerSlots, c.integerSlots) << c.section;
    EXPECT_EQ(got.fractionSlots, c.fractionSlots) << c.section;
    EXPECT_EQ(got.exponentSlots, c.exponentSlots) << c.section;
    EXPECT_EQ(got.zeroSlots, c.zeroSlots) << c.section;
    EXPECT_EQ(got.grouping, c.grouping) << c.section;
    EXPECT_EQ(got.percent, c.percent) << c.section;
    EXPECT_EQ(got.exponentSign, c.sign) << c.section;
  }
}

TEST(ParseMaskSection, ExponentPartWithoutSlotsIsNotScientific) {
  EXPECT_FALSE(ParseMaskSection("0E+").Scientific());
  EXPECT_FALSE(ParseMaskSection("0E0").Scientific());
  EXPECT_TRUE(ParseMaskSection("0E-#").Scientific());
}

TEST(SplitMaskSections, SeparatorsOutsideQuotesAndEscapes) {
  struct Case {
    std::string mask;
    std::string positive, negative, zero;
    int separators;
  };
  const Case cases[] = {
      {"0.00", "0.00", "", "", 0},
      {"0;(0);\"nil\"", "0", "(0)", "\"nil\"", 2},
      {"0;;z", "0", "", "z", 2},
      {"a;b;c;d", "a", "b", "c", 3},
      {"a;b;c;d;e", "a", "b", "c", 3},
      {"\"x;y\";n", "\"x;y\"", "n", "", 1},
      {"\\;0;n", "\\;0", "n", "", 1},
      {"0\";n", "0\";n", "", "", 0},      // an unclosed quote hides the rest
      {";", "", "", "", 1},
      {"", "", "", "", 0},
  };
  for (const Case& c : cases) {
    const MaskSections got = SplitMaskSections(c.mask);
    EXPECT_EQ(got.positive, c.positive) << c.mask;
    EXPECT_EQ(got.negative, c.negative) << c.mask;
    EXPECT_EQ(got.zero, c.zero) << c.mask;
    EXPECT_EQ(got.separators, c.separators) << c.mask;
  }
}

}  // namespace
}  // namespace mirvane::numeric
