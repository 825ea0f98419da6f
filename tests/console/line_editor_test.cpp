#include <string>
#include <vector>

#include "console_fixture.h"
#include "platform/key_records.h"

namespace mirvane::console {
namespace {

using namespace platform;  // the record factories and flags

struct TypedCase {
  const char* name;
  std::string typed;
  std::string result;
  std::string row1;  // the echo on a 12-column screen, from column 1
};

TEST(ReadLine, ReturnsExactlyTheBytesTyped) {
  const std::vector<TypedCase> cases = {
      {"plain", "abc\r", "abc", "abc         "},
      {"empty", "\r", "", "            "},
      {"Backspace after two", "ab\b\r", "a", "a           "},
      {"Backspace on an empty line", "\b\b\r", "", "            "},
      {"Backspace then more", "ab\b\bxy\r", "xy", "xy          "},
      {"control characters ignored", "\ta\x1b\x03\x01\x1f" "b\r", "ab", "ab          "},
      {"127 and high bytes stored", "\x7f\x80\xff\r", "\x7f\x80\xff", "\x7f\x80\xff         "},
      {"blanks kept", " a  \r", " a  ", " a          "},
  };
  for (const TypedCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(12, 4);
    console.host.Type(c.typed);
    EXPECT_EQ(ReadLine(), c.result);
    EXPECT_EQ(console.host.Row(1), c.row1);
    console.ExpectCursor(2, 1);
    EXPECT_EQ(console.host.BeepCount(), 0);
  }
}

TEST(ReadLine, BackspaceOnAnEmptyLineWritesNothing) {
  TestConsole console(12, 4);
  Locate(2, 5);
  console.host.Type("\b\b");
  console.host.OnStarve([](MemoryHost& host) {
    EXPECT_EQ(host.Count("WriteConsoleOutputA"), 0);
    EXPECT_EQ(host.CursorRow(), 2);
    EXPECT_EQ(host.CursorColumn(), 5);
    host.Type("\r");
  });
  EXPECT_EQ(ReadLine(), "");
}

TEST(ReadLine, BackspaceLeavesTheCursorOnTheBlankedCell) {
  TestConsole console(12, 4);
  console.Draw({"............"});
  console.host.Type("ab\b");
  console.host.OnStarve([&](MemoryHost& host) {
    EXPECT_EQ(host.Row(1), "a ..........");
    EXPECT_EQ(host.CursorColumn(), 2);
    host.Type("\r");
  });
  EXPECT_EQ(ReadLine(), "a");
}

TEST(ReadLine, KeysCarrying8Or13EditWhateverKeyTheyCameFrom) {
  TestConsole console(12, 4);
  console.host.Type("ab");
  console.host.Queue(KeyDown(8, 0x23, LEFT_CTRL_PRESSED));   // Ctrl+H
  console.host.Queue(KeyDown(13, 0x32, LEFT_CTRL_PRESSED));  // Ctrl+M
  EXPECT_EQ(ReadLine(), "a");
}

TEST(ReadLine, IgnoresExtendedKeysAltLettersAndModifiers) {
  TestConsole console(12, 4);
  for (WORD key : {scan::kLeft, scan::kRight, scan::kUp, scan::kDown, scan::kHome, scan::kEnd,
                   scan::kInsert, scan::kDelete, scan::kPageUp, scan::kPageDown, scan::kF1,
                   scan::kF12, scan::kLeftShift, scan::kCtrl}) {
    console.host.PressKey(0, key, ENHANCED_KEY);
  }
  console.host.PressKey('f', 0x21, LEFT_ALT_PRESSED);
  console.host.PressKey('e', 0x12, RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED);  // AltGr+E
  console.host.PressKey('@', 0x03, RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED);  // AltGr+2
  console.host.PressKey('2', 0x03, LEFT_ALT_PRESSED);
  console.host.Type("\r");
  EXPECT_EQ(ReadLine(), "@2");
}

TEST(ReadLine, CapsLockKeepsDigitsAsDigits) {
  TestConsole console(12, 4);
  console.host.PressKey('!', 0x02, CAPSLOCK_ON);                 // console reports Shift inverted
  console.host.PressKey('1', 0x02, CAPSLOCK_ON | SHIFT_PRESSED);
  console.host.PressKey('M', 0x32, CAPSLOCK_ON);
  console.host.PressKey(0, scan::kEscape, CAPSLOCK_ON);           // 27: ignored
  console.host.Type("\r");
  EXPECT_EQ(ReadLine(), "1!M");
}

TEST(ReadLine, ARepeatCountYieldsOneCharacter) {
  TestConsole console(12, 4);
  console.host.Queue(KeyDown('r', 0x13, 0, 12));
  console.host.Type("\r");
  EXPECT_EQ(ReadLine(), "r");
}

TEST(ReadLine, TypedAheadLinesGoToOneReadLineEach) {
  TestConsole console(12, 4);
  console.host.Type("one\rtwo\rrest");
  EXPECT_EQ(ReadLine(), "one");
  EXPECT_EQ(ReadLine(), "two");
  // Left queued: the release of the second Enter, then "rest" pressed and released.
  EXPECT_EQ(console.host.Input().Size(), 9u);
  console.ExpectRows({"one         ", "two         ", "            ", "            "});
}

TEST(ReadLine, NeverClearsItsField) {
  TestConsole console(12, 4);
  console.Draw({"XXXXXXXXXXXX"});
  Locate(1, 3);
  console.host.Type("ab\r");
  EXPECT_EQ(ReadLine(), "ab");
  EXPECT_EQ(console.host.Row(1), "XXabXXXXXXXX");
}

TEST(ReadLine, EchoesInTheCurrentColours) {
  TestConsole console(4, 2);
  SetColor(0, 15, 0);
  console.host.Type("ab\r");
  ReadLine();
  EXPECT_EQ(console.host.RowAttributes(1), (std::vector<WORD>{0xF0, 0xF0, 0x07, 0x07}));
}

struct EditCase {
  const char* name;
  int row;
  int column;
  std::string typed;  // without the final Enter
  std::vector<std::string> rows;
  int cursorRow;
  int cursorColumn;
};

TEST(ReadLine, BackspaceUndoesTheEchosWrap) {
  const std::vector<EditCase> cases = {
      {"after a wrap, at column 1", 1, 7, "abc\b",
       {"111111ab", " 2222222", "33333333", "44444444"}, 2, 1},
      {"across a row start", 1, 7, "abc\b\b",
       {"111111a ", " 2222222", "33333333", "44444444"}, 1, 8},
      {"filling the bottom-right cell", 4, 7, "xy\b",
       {"11111111", "22222222", "33333333", "444444x "}, 4, 8},
      {"the bottom-right cell, then back again", 4, 7, "xy\b\b",
       {"11111111", "22222222", "33333333", "444444  "}, 4, 7},
      {"the bottom-right cell, then typing on", 4, 7, "xy\bz",
       {"11111111", "22222222", "33333333", "444444xz"}, 4, 1},
      {"scrolled, back across the row start", 4, 7, "xyz\b\b",
       {"22222222", "33333333", "444444x ", "        "}, 3, 8},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    console.Draw({"11111111", "22222222", "33333333", "44444444"});
    Locate(c.row, c.column);
    console.host.Type(c.typed);
    console.host.OnStarve([&](MemoryHost& host) {
      for (std::size_t row = 0; row < c.rows.size(); ++row) {
        EXPECT_EQ(host.Row(static_cast<int>(row) + 1), c.rows[row]) << "row " << row + 1;
      }
      EXPECT_EQ(host.CursorRow(), c.cursorRow);
      EXPECT_EQ(host.CursorColumn(), c.cursorColumn);
      host.Type("\r");
    });
    ReadLine();
    EXPECT_TRUE(console.host.CallsNamed("ExitProcess").empty());
  }
}

TEST(ReadLine, EnterAfterTheLastColumnLeavesABlankRow) {
  TestConsole console(8, 4);
  Locate(1, 5);
  console.host.Type("abcd\r");
  EXPECT_EQ(ReadLine(), "abcd");
  console.ExpectCursor(3, 1);
}

TEST(ReadLine, EnterOnTheLastRowScrolls) {
  TestConsole console(8, 3);
  console.Draw({"11111111", "22222222", "33333333"});
  Locate(3, 1);
  console.host.Type("ab\r");
  EXPECT_EQ(ReadLine(), "ab");
  console.ExpectRows({"22222222", "ab333333", "        "});
  console.ExpectCursor(3, 1);
}

// The first characters of a long line have scrolled off the top; Backspace back to row 1, column 1
// and once more: the line loses its last character and the screen stays as it is.
TEST(ReadLine, BackspaceAtTheTopLeftWithCharactersStillCounted) {
  TestConsole console(8, 2);
  console.host.Type("ABCDEFGHIJKLMNOPQ");  // the Q scrolls A to H off the top
  console.host.Type(std::string(9, '\b'));  // back to row 1, column 1: A to H are left
  console.host.OnStarve([](MemoryHost& host) {
    EXPECT_EQ(host.Row(1), "        ");
    EXPECT_EQ(host.CursorRow(), 1);
    EXPECT_EQ(host.CursorColumn(), 1);
    host.Type("\bz\r");  // H goes, z takes its place
  });
  EXPECT_EQ(ReadLine(), "ABCDEFGz");
  EXPECT_EQ(console.host.Row(1), "z       ");
}

TEST(ReadLine, HoldsAtMostTenThousandCharacters) {
  struct Case {
    const char* name;
    std::string tail;  // typed after 10,000 characters, before Enter
    char last;
  };
  const std::vector<Case> cases = {
      {"further characters refused", "xyz", 'b'},
      {"Backspace erases the 10,000th", "x\bd", 'd'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(100, 120);
    console.host.Type(std::string(9999, 'a') + "b" + c.tail + "\r");
    const std::string line = ReadLine();
    ASSERT_EQ(line.size(), 10000u);
    EXPECT_EQ(line.back(), c.last);
    EXPECT_EQ(line.find_first_not_of('a'), 9999u);
  }
}

TEST(ReadLine, RefusedCharactersAreNotEchoed) {
  TestConsole console(100, 120);
  console.host.Type(std::string(10000, 'a') + "xyz");
  console.host.OnStarve([](MemoryHost& host) {
    EXPECT_EQ(host.Count("WriteConsoleOutputA"), 10000);
    EXPECT_EQ(host.RowTrimmed(101), "");
    EXPECT_EQ(host.BeepCount(), 0);
    host.Type("\r");
  });
  EXPECT_EQ(ReadLine().size(), 10000u);
}

TEST(ReadLine, ShowsAHiddenCursorWhileTypingAndHidesItAfter) {
  TestConsole console(12, 4);
  SetCursorVisible(0);
  console.host.ClearCalls();
  console.host.Type("a");
  console.host.OnStarve([](MemoryHost& host) {
    EXPECT_TRUE(host.Screen().CursorInfo().bVisible);
    host.Type("\r");
  });
  ReadLine();
  EXPECT_FALSE(console.host.Screen().CursorInfo().bVisible);
  EXPECT_EQ(console.host.Calls().front(), "SetConsoleCursorInfo(stdout,25,1)");
  EXPECT_EQ(console.host.Calls().back(), "SetConsoleCursorInfo(stdout,25,0)");
  EXPECT_EQ(Screen().cursorVisible, 0);
}

TEST(ReadLine, LeavesAVisibleCursorAlone) {
  TestConsole console(12, 4);
  console.host.Type("a\r");
  ReadLine();
  EXPECT_EQ(console.host.Count("SetConsoleCursorInfo"), 0);
  EXPECT_TRUE(console.host.Screen().CursorInfo().bVisible);
}

TEST(ReadLine, WaitingForInputThatNeverComesEndsTheRun) {
  TestConsole console(12, 4);
  console.host.Type("ab");
  EXPECT_THROW(ReadLine(), platform::ProcessExit);
  EXPECT_EQ(console.host.ExitCode(), MemoryHost::kStarvedExitCode);
}

}  // namespace
}  // namespace mirvane::console
