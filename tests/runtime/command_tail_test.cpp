#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/runtime.h"

namespace mirvane::runtime {
namespace {

TEST(CommandTail, IsTheTextAfterTheProgramName) {
  struct Case {
    std::string line;
    std::string tail;
  };
  const Case cases[] = {
      {"", ""},
      {"mirvane", ""},
      {"mirvane ", ""},
      {"mirvane    a b  ", "a b  "},
      {"mirvane.exe /x", "/x"},
      {"\"C:\\Program Files\\mirvane.exe\"", ""},
      {"\"C:\\Program Files\\mirvane.exe\"   ", ""},
      {"\"C:\\Program Files\\mirvane.exe\"  -q \"x y\"", "-q \"x y\""},
      {"\"quoted name without its end", ""},
      {"\"\"rest", "rest"},
      {"\"a\"b c", "b c"},
      // Only blanks are skipped after the name; a tab is not a blank.
      {"mirvane\targs", "\targs"},
      {"\"mirvane\"\targs", "\targs"},
      // A control character ends the skipping, inside the name too.
      {"mir\x01vane args", "\x01vane args"},
      {"mirvane \x01 args", "\x01 args"},
      // Bytes above 127 belong to the name.
      {"mirv\xE4ne arg", "arg"},
      // With no name at all, the blanks that follow are still skipped.
      {" leading blank", "leading blank"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandTail(c.line), c.tail) << "command line [" << c.line << "]";
  }
}

TEST(CommandTail, PointsIntoTheCommandLine) {
  const std::string line = "mirvane  args";
  const std::string_view tail = CommandTail(line);
  EXPECT_EQ(tail.data(), line.data() + 9);
  EXPECT_EQ(tail.size(), 4u);
}

}  // namespace
}  // namespace mirvane::runtime
