#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

TEST(Environment, LocaleNamesUtf8) {
  struct LocaleCase {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    bool utf8;
  };
  const LocaleCase cases[] = {
      {"C.UTF-8", nullptr, nullptr, true},
      {nullptr, nullptr, "en_US.utf8", true},
      {nullptr, "de_DE.UTF-8", "C", true},
      {"C", nullptr, "en_US.UTF-8", false},  // LC_ALL wins
      {"", "", "fr_FR.UTF-8", true},         // empty ones do not count
      {nullptr, nullptr, "POSIX", false},
      {nullptr, nullptr, "en_US.ISO-8859-1", false},
      {nullptr, nullptr, nullptr, false},
  };
  for (const LocaleCase& test : cases) {
    EXPECT_EQ(LocaleIsUtf8(test.lcAll, test.lcCtype, test.lang), test.utf8)
        << (test.lcAll ? test.lcAll : "-") << " " << (test.lcCtype ? test.lcCtype : "-") << " "
        << (test.lang ? test.lang : "-");
  }
}

TEST(Environment, DumbOrMissingTermIsPlain) {
  EXPECT_TRUE(TermIsPlain(nullptr));
  EXPECT_TRUE(TermIsPlain(""));
  EXPECT_TRUE(TermIsPlain("dumb"));
  EXPECT_FALSE(TermIsPlain("xterm-256color"));
  EXPECT_FALSE(TermIsPlain("linux"));
  EXPECT_FALSE(TermIsPlain("dumb-emacs-ansi"));
}

TEST(Environment, ColourMode) {
  struct ModeCase {
    const char* noColor;
    const char* colorTerm;
    std::optional<int> colours;
    bool found;
    ColourMode mode;
  };
  const ModeCase cases[] = {
      {"1", "truecolor", 256, true, ColourMode::None},
      {"", nullptr, 256, true, ColourMode::Sixteen},  // NO_COLOR empty does not count
      {nullptr, nullptr, 16, true, ColourMode::Sixteen},
      {nullptr, nullptr, 8, true, ColourMode::Eight},
      {nullptr, "truecolor", 8, true, ColourMode::Sixteen},
      {nullptr, nullptr, std::nullopt, true, ColourMode::None},  // a terminal without colour
      {nullptr, nullptr, std::nullopt, false, ColourMode::Sixteen},
  };
  for (const ModeCase& test : cases) {
    EXPECT_EQ(ColourModeFor(test.noColor, test.colorTerm, test.colours, test.found), test.mode)
        << "NO_COLOR " << (test.noColor ? test.noColor : "-") << " COLORTERM "
        << (test.colorTerm ? test.colorTerm : "-") << " colors " << test.colours.value_or(-1)
        << (test.found ? " found" : " not found");
  }
}

// A compiled terminfo entry with the given names, booleans and numbers.
std::vector<std::uint8_t> Entry(bool wide, std::string names, int booleans,
                                const std::vector<int>& numbers) {
  std::vector<std::uint8_t> bytes;
  auto put16 = [&bytes](int value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  };
  names.push_back('\0');
  put16(wide ? 01036 : 0432);
  put16(static_cast<int>(names.size()));
  put16(booleans);
  put16(static_cast<int>(numbers.size()));
  put16(0);
  put16(0);
  bytes.insert(bytes.end(), names.begin(), names.end());
  for (int i = 0; i < booleans; ++i) bytes.push_back(1);
  if (bytes.size() % 2 != 0) bytes.push_back(0);
  for (const int number : numbers) {
    put16(number);
    if (wide) put16(number < 0 ? 0xFFFF : number >> 16);
  }
  return bytes;
}

std::vector<int> NumbersWithColours(int colours) {
  std::vector<int> numbers(15, -1);
  numbers[0] = 80;  // cols
  numbers[13] = colours;
  return numbers;
}

TEST(Environment, TerminfoColours) {
  EXPECT_EQ(TerminfoColours(Entry(false, "xterm|xterm", 38, NumbersWithColours(8))), 8);
  EXPECT_EQ(TerminfoColours(Entry(false, "x|odd names", 37, NumbersWithColours(16))), 16);
  EXPECT_EQ(TerminfoColours(Entry(true, "xterm-direct", 38, NumbersWithColours(0x1000000))),
            0x1000000);
  EXPECT_EQ(TerminfoColours(Entry(false, "vt100", 10, NumbersWithColours(-1))), std::nullopt);
  EXPECT_EQ(TerminfoColours(Entry(false, "short", 2, std::vector<int>(5, 1))), std::nullopt);
  auto truncated = Entry(false, "xterm", 38, NumbersWithColours(8));
  truncated.resize(truncated.size() - 6);
  EXPECT_EQ(TerminfoColours(truncated), std::nullopt);
  auto badMagic = Entry(false, "xterm", 38, NumbersWithColours(8));
  badMagic[0] = 0x55;
  EXPECT_EQ(TerminfoColours(badMagic), std::nullopt);
  EXPECT_EQ(TerminfoColours({}), std::nullopt);
}

}  // namespace
}  // namespace mirvane::platform::terminal
