#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "console/screen_internal.h"
#include "console_fixture.h"

namespace mirvane::console {
namespace {

const std::vector<std::string> kPainted = {"11111111", "22222222", "33333333", "44444444"};

struct PrintCase {
  const char* name;
  int row;
  int column;
  std::string text;
  std::vector<std::string> rows;
  int cursorRow;
  int cursorColumn;
  bool scrollPending;
};

TEST(PrintText, WrapsAtTheRightEdgeAndDefersTheLastRowsScroll) {
  const std::vector<PrintCase> cases = {
      {"inside a row", 2, 3, "abc", {"11111111", "22abc222", "33333333", "44444444"}, 2, 6, false},
      {"ending at the right edge of row 1", 1, 1, "abcdefgh",
       {"abcdefgh", "22222222", "33333333", "44444444"}, 2, 1, false},
      {"wrapping onto the next row", 1, 5, "abcdef",
       {"1111abcd", "ef222222", "33333333", "44444444"}, 2, 3, false},
      {"ending at the last cell of the last row", 4, 5, "wxyz",
       {"11111111", "22222222", "33333333", "4444wxyz"}, 4, 1, true},
      {"needing more rows than remain", 3, 7, "ABCDEFGHIJKL",
       {"22222222", "333333AB", "CDEFGHIJ", "KL      "}, 4, 3, false},
      {"filling the last row twice", 4, 1, "ABCDEFGHIJKLMNOP",
       {"22222222", "33333333", "ABCDEFGH", "IJKLMNOP"}, 4, 1, true},
      {"bytes that mean something elsewhere", 1, 1, std::string("a\a\b\t\n\r\0z", 8),
       {std::string("a\a\b\t\n\r\0z", 8), "22222222", "33333333", "44444444"}, 2, 1, false},
      {"nothing", 3, 4, "", kPainted, 3, 4, false},
  };
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    console.Draw(kPainted);
    Locate(c.row, c.column);
    PrintText(c.text);
    console.ExpectRows(c.rows);
    console.ExpectCursor(c.cursorRow, c.cursorColumn);
    EXPECT_EQ(Screen().scrollPending, c.scrollPending ? 0xFF : 0);
    EXPECT_EQ(console.host.BeepCount(), 0);
  }
}

TEST(PrintText, EmptyTextMakesNoConsoleCall) {
  TestConsole console(8, 4);
  Locate(4, 1);
  PrintText("ABCDEFGH");
  console.host.ClearCalls();
  PrintText("");
  EXPECT_EQ(console.host.Calls(), Calls{});
  EXPECT_EQ(Screen().scrollPending, 0xFF);
}

TEST(PrintText, WritesInTheCurrentColours) {
  TestConsole console(8, 2);
  SetColor(0, 15, 0);
  PrintText("ab");
  SetColor(8, -1, 0);
  PrintChar('c');
  const std::vector<platform::WORD> expected = {0xF0, 0xF0, 0xF8, 0x07, 0x07, 0x07, 0x07, 0x07};
  EXPECT_EQ(console.host.RowAttributes(1), expected);
}

struct PendingCase {
  const char* name;
  std::function<void()> next;  // what follows text that filled the bottom-right cell
  std::vector<std::string> rows;
  int cursorRow;
  int cursorColumn;
};

TEST(PendingScroll, IsDoneOrCancelledByWhatComesNext) {
  const std::vector<PendingCase> cases = {
      {"nothing", [] {}, {"11111111", "22222222", "33333333", "ABCDEFGH"}, 4, 1},
      {"more text scrolls first", [] { PrintText("xy"); },
       {"22222222", "33333333", "ABCDEFGH", "xy      "}, 4, 3},
      {"a line end scrolls twice", [] { PrintNewLine(); },
       {"33333333", "ABCDEFGH", "        ", "        "}, 4, 1},
      {"Locate out of range cancels it", [] { Locate(0, 0); PrintText("xy"); },
       {"11111111", "22222222", "33333333", "xyCDEFGH"}, 4, 3},
      {"Locate in range cancels it", [] { Locate(1, 2); PrintText("xy"); },
       {"1xy11111", "22222222", "33333333", "ABCDEFGH"}, 1, 4},
      {"empty text keeps it", [] { PrintText(""); PrintText("x"); },
       {"22222222", "33333333", "ABCDEFGH", "x       "}, 4, 2},
      {"CursorRow keeps it", [] { EXPECT_EQ(CursorRow(), 4); PrintText("x"); },
       {"22222222", "33333333", "ABCDEFGH", "x       "}, 4, 2},
  };
  for (const PendingCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    console.Draw(kPainted);
    Locate(4, 1);
    PrintText("ABCDEFGH");
    c.next();
    console.ExpectRows(c.rows);
    console.ExpectCursor(c.cursorRow, c.cursorColumn);
  }
}

TEST(PendingScroll, BlanksTheNewRowInTheColoursOfTheScroll) {
  TestConsole console(4, 2);
  Locate(2, 1);
  PrintText("abcd");
  SetColor(15, 1, 0);
  PrintText("x");
  EXPECT_EQ(console.host.RowAttributes(1), (std::vector<platform::WORD>(4, 0x07)));
  EXPECT_EQ(console.host.RowAttributes(2), (std::vector<platform::WORD>(4, 0x1F)));
  EXPECT_EQ(console.host.Row(2), "x   ");
}

TEST(PrintNewLine, MovesToTheNextRowWritingNothing) {
  TestConsole console(8, 4);
  console.Draw(kPainted);
  Locate(2, 5);
  console.host.ClearCalls();
  PrintNewLine();
  console.ExpectRows(kPainted);
  console.ExpectCursor(3, 1);
  EXPECT_EQ(console.host.Count("WriteConsoleOutputA"), 0);
}

TEST(PrintNewLine, AfterTextEndingAtTheRightEdgeLeavesAnEmptyRow) {
  TestConsole console(8, 4);
  PrintText("abcdefgh");
  PrintNewLine();
  PrintText("z");
  console.ExpectRows({"abcdefgh", "        ", "z       ", "        "});
}

TEST(PrintNewLine, OnTheLastRowScrollsOnce) {
  TestConsole console(8, 4);
  console.Draw(kPainted);
  Locate(4, 3);
  PrintNewLine();
  console.ExpectRows({"22222222", "33333333", "44444444", "        "});
  console.ExpectCursor(4, 1);
}

struct LocateCase {
  int row;
  int column;
  int cursorRow;
  int cursorColumn;
};

TEST(Locate, KeepsEachCoordinateThatIsOutOfRange) {
  const std::vector<LocateCase> cases = {
      {1, 1, 1, 1},   {4, 8, 4, 8},   {0, 5, 2, 5},     {3, 0, 3, 3},
      {5, 9, 2, 3},   {-1, -1, 2, 3}, {4, 9, 4, 3},     {INT_MAX, INT_MIN, 2, 3},
  };
  for (const LocateCase& c : cases) {
    SCOPED_TRACE("Locate(" + std::to_string(c.row) + ", " + std::to_string(c.column) + ")");
    TestConsole console(8, 4);
    Locate(2, 3);
    console.host.ClearCalls();
    Locate(c.row, c.column);
    console.ExpectCursor(c.cursorRow, c.cursorColumn);
    // The console's cursor is always set, even to where it already is.
    EXPECT_EQ(console.host.CallsNamed("SetConsoleCursorPosition"),
              (Calls{"SetConsoleCursorPosition(stdout," + std::to_string(c.cursorColumn - 1) + "," +
                     std::to_string(c.cursorRow - 1) + ")"}));
  }
}

struct ColorCase {
  std::int32_t foreground;
  std::int32_t background;
  std::int32_t expectedForeground;
  std::int32_t expectedBackground;
};

TEST(SetColor, KeepsEachColourOutsideZeroToFifteen) {
  const std::vector<ColorCase> cases = {
      {15, 8, 15, 8},  {16, 15, 7, 15}, {-1, -1, 7, 0}, {0, 16, 0, 0},
      {15, -5, 15, 0}, {INT_MIN, 3, 7, 3}, {0, 0, 0, 0},
  };
  for (const ColorCase& c : cases) {
    SCOPED_TRACE("SetColor(" + std::to_string(c.foreground) + ", " + std::to_string(c.background) +
                 ")");
    TestConsole console(8, 4);
    SetColor(c.foreground, c.background, 0);
    EXPECT_EQ(Screen().foreground, c.expectedForeground);
    EXPECT_EQ(Screen().background, c.expectedBackground);
    const auto attribute = c.expectedForeground | c.expectedBackground << 4;
    EXPECT_EQ(console.host.Screen().DefaultAttribute(), attribute);
    EXPECT_EQ(console.host.Count("SetConsoleTextAttribute"), 1);
    EXPECT_EQ(console.host.Row(1), "        ");
    EXPECT_EQ(console.host.RowAttributes(1), (std::vector<platform::WORD>(8, 0x07)));
  }
}

TEST(SetColor, RecoloursTheCountFromTheCursorOnInOneFill) {
  TestConsole console(4, 3);
  console.Draw({"abcd", "efgh", "ijkl"});
  Locate(1, 3);
  console.host.ClearCalls();
  SetColor(0, 15, 3);
  EXPECT_EQ(console.host.CallsNamed("FillConsoleOutputAttribute"),
            (Calls{"FillConsoleOutputAttribute(stdout,0xF0,3,2,0)"}));
  console.ExpectRows({"abcd", "efgh", "ijkl"});
  EXPECT_EQ(console.host.RowAttributes(1), (std::vector<platform::WORD>{0x07, 0x07, 0xF0, 0xF0}));
  EXPECT_EQ(console.host.RowAttributes(2), (std::vector<platform::WORD>{0xF0, 0x07, 0x07, 0x07}));
  console.ExpectCursor(1, 3);
}

TEST(SetColor, ANegativeCountRecoloursNothing) {
  TestConsole console(4, 2);
  SetColor(0, 15, -1);
  EXPECT_EQ(console.host.RowAttributes(1), (std::vector<platform::WORD>(4, 0x07)));
  EXPECT_EQ(console.host.RowAttributes(2), (std::vector<platform::WORD>(4, 0x07)));
}

struct CursorCase {
  std::int32_t mode;
  std::int32_t size;
  bool visible;
};

TEST(SetCursorVisible, ClampsSizesAndSetsVisibility) {
  // Start: size 25, hidden.
  const std::vector<CursorCase> cases = {
      {1, 10, true},   {9, 10, true},    {10, 10, true},     {50, 50, true},  {99, 99, true},
      {100, 99, true}, {150, 99, true},  {INT_MAX, 99, true}, {-1, 25, true}, {INT_MIN, 25, true},
      {0, 25, false},
  };
  for (const CursorCase& c : cases) {
    SCOPED_TRACE("SetCursorVisible(" + std::to_string(c.mode) + ")");
    TestConsole console(8, 4);
    SetCursorVisible(0);
    SetCursorVisible(c.mode);
    EXPECT_EQ(Screen().cursorSize, c.size);
    EXPECT_EQ(Screen().cursorVisible != 0, c.visible);
    EXPECT_EQ(console.host.Screen().CursorInfo().dwSize, static_cast<platform::DWORD>(c.size));
    EXPECT_EQ(console.host.Screen().CursorInfo().bVisible != 0, c.visible);
    EXPECT_EQ(Screen().cursorRestorePending, 0);
  }
}

TEST(TemporaryCursor, ChangesOnlyWhatTheConsoleShowsUntilRestored) {
  TestConsole console(8, 4);
  HideCursorTemporarily();
  EXPECT_FALSE(console.host.Screen().CursorInfo().bVisible);
  EXPECT_NE(Screen().cursorVisible, 0);
  HideCursorTemporarily();  // the stored cursor is still visible, so it hides again
  RestoreCursor();
  EXPECT_TRUE(console.host.Screen().CursorInfo().bVisible);
  ShowCursorTemporarily();  // visible: does nothing
  RestoreCursor();
  EXPECT_EQ(console.host.CallsNamed("SetConsoleCursorInfo"),
            (Calls{"SetConsoleCursorInfo(stdout,25,0)", "SetConsoleCursorInfo(stdout,25,0)",
                   "SetConsoleCursorInfo(stdout,25,1)"}));
  EXPECT_EQ(Screen().cursorRestorePending, 0);
}

TEST(TemporaryCursor, ShowsAHiddenCursorAtItsStoredSize) {
  TestConsole console(8, 4);
  SetCursorVisible(40);
  SetCursorVisible(0);
  console.host.ClearCalls();
  ShowCursorTemporarily();
  EXPECT_EQ(Screen().cursorVisible, 0);
  RestoreCursor();
  RestoreCursor();  // nothing left to undo
  EXPECT_EQ(console.host.CallsNamed("SetConsoleCursorInfo"),
            (Calls{"SetConsoleCursorInfo(stdout,40,1)", "SetConsoleCursorInfo(stdout,40,0)"}));
}

Calls ExpectedClearScreenCalls(int width, int height, bool cursorVisible) {
  Calls calls;
  if (cursorVisible) calls.push_back("SetConsoleCursorInfo(stdout,25,0)");
  const std::string cells = std::to_string(width * height);
  calls.push_back("GetConsoleScreenBufferInfo(stdout)");
  calls.push_back("FillConsoleOutputCharacterA(stdout,0x20," + cells + ",0,0)");
  calls.push_back("FillConsoleOutputAttribute(stdout,0x1E," + cells + ",0,0)");
  calls.push_back("GetConsoleScreenBufferInfo(stdout)");
  calls.push_back("SetConsoleCursorPosition(stdout,0,0)");
  int x = 0;
  int y = 0;
  for (int i = 0; i < 16; ++i) {
    calls.push_back("GetConsoleScreenBufferInfo(stdout)");
    calls.push_back("WriteConsoleOutputA(stdout,4x1,0,0," + std::to_string(x) + "," +
                    std::to_string(y) + "," + std::to_string(x + 3) + "," + std::to_string(y) + ")");
    x += 4;
    if (x == width) {
      x = 0;
      if (y + 1 < height) ++y;
    }
    calls.push_back("SetConsoleCursorPosition(stdout," + std::to_string(x) + "," +
                    std::to_string(y) + ")");
  }
  calls.push_back("GetConsoleScreenBufferInfo(stdout)");
  calls.push_back("SetConsoleCursorPosition(stdout,0,0)");
  if (cursorVisible) calls.push_back("SetConsoleCursorInfo(stdout,25,1)");
  return calls;
}

TEST(ClearScreen, BlanksEveryCellInTheCurrentColoursWithTwoFills) {
  for (const bool visible : {true, false}) {
    SCOPED_TRACE(visible ? "cursor shown" : "cursor hidden");
    // 16 x 4: the 64 blanks end in the bottom-right cell, and the closing Locate cancels the
    // scroll that leaves pending.
    TestConsole console(16, 4);
    console.Draw({"0123456789abcdef", "0123456789abcdef", "0123456789abcdef", "0123456789abcdef"});
    SetCursorVisible(visible ? -1 : 0);
    SetColor(14, 1, 0);
    Locate(3, 5);
    console.host.ClearCalls();
    ClearScreen();
    EXPECT_EQ(console.host.Calls(), ExpectedClearScreenCalls(16, 4, visible));
    for (int row = 1; row <= 4; ++row) {
      EXPECT_EQ(console.host.Row(row), std::string(16, ' ')) << "row " << row;
      EXPECT_EQ(console.host.RowAttributes(row), std::vector<platform::WORD>(16, 0x1E))
          << "row " << row;
    }
    console.ExpectCursor(1, 1);
    EXPECT_EQ(Screen().scrollPending, 0);
    EXPECT_EQ(console.host.Screen().CursorInfo().bVisible != 0, visible);
  }
}

TEST(ClearScreen, OnAScreenSmallerThanItsBlanksScrollsOnlyBlanks) {
  TestConsole console(4, 2);
  console.Draw({"abcd", "efgh"});
  ClearScreen();
  console.ExpectRows({"    ", "    "});
  console.ExpectCursor(1, 1);
}

TEST(WriteCells, OneWritePerRowTouchedAndAFixedNumberOfQueries) {
  struct Case {
    const char* name;
    int row;
    std::size_t length;
    int writes;
    int queries;  // one, plus one per scroll
  };
  const std::vector<Case> cases = {
      {"one cell", 1, 1, 1, 1},
      {"three rows", 1, 200, 3, 1},
      {"a whole screen", 1, 80 * 32, 32, 1},
      {"two scrolls at the bottom", 31, 250, 4, 3},
      {"thirty scrolls", 32, 80 * 30 + 5, 31, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(80, 32);
    Locate(c.row, 1);
    console.host.ClearCalls();
    PrintText(std::string(c.length, 'x'));
    EXPECT_EQ(console.host.Count("WriteConsoleOutputA"), c.writes);
    EXPECT_EQ(console.host.Count("GetConsoleScreenBufferInfo"), c.queries);
    EXPECT_EQ(console.host.Count("ScrollConsoleScreenBufferA"), c.queries - 1);
    EXPECT_EQ(console.host.Count("SetConsoleCursorPosition"), 1);
  }
}

TEST(WriteCells, ScrollsTheWholeScreenButItsTopRowWithABlankFill) {
  TestConsole console(80, 32);
  SetColor(0, 15, 0);
  Locate(32, 80);
  PrintText("ab");
  EXPECT_EQ(console.host.CallsNamed("ScrollConsoleScreenBufferA"),
            (Calls{"ScrollConsoleScreenBufferA(stdout,0,1,79,31,-,0,0,0x20,0xF0)"}));
}

TEST(WriteCells, AScreenWiderThanTheStagingAreaLosesNothing) {
  for (const int width : {255, 256, 257, 600}) {
    SCOPED_TRACE("width " + std::to_string(width));
    TestConsole console(width, 3);
    std::string text;
    for (int i = 0; i < width + 7; ++i) text += static_cast<char>('a' + i % 26);
    console.host.ClearCalls();
    PrintText(text);
    EXPECT_EQ(console.host.Row(1), text.substr(0, static_cast<std::size_t>(width)));
    EXPECT_EQ(console.host.RowTrimmed(2), text.substr(static_cast<std::size_t>(width)));
    console.ExpectCursor(2, 8);
    const int runsPerRow = (width + kStagingCells - 1) / kStagingCells;
    EXPECT_EQ(console.host.Count("WriteConsoleOutputA"), runsPerRow + 1);
  }
}

TEST(WriteCells, WithoutAScreenWritesNothingAndReturns) {
  TestConsole console(8, 4);
  Screen().screenHandle = MemoryHost::kConsoleInput;  // not a screen: the size query fails
  PrintText("abc");
  EXPECT_EQ(console.host.Count("WriteConsoleOutputA"), 0);
  EXPECT_EQ(console.host.Row(1), "        ");
}

TEST(CursorRow, IsTheConsolesRowPlusOne) {
  TestConsole console(8, 4);
  EXPECT_EQ(CursorRow(), 1);
  Locate(3, 2);
  EXPECT_EQ(CursorRow(), 3);
  console.host.Screen().Resize(8, 2);  // a change made elsewhere shows at once
  EXPECT_EQ(CursorRow(), 2);
}

struct StartupCase {
  const char* name;
  std::function<void(MemoryHost&)> arrange;
  std::int32_t size;
  bool visible;
  Calls calls;
};

TEST(StartupCursorShape, FallsBackToStandardOutputThenToSizeTenVisible) {
  const platform::HANDLE err = MemoryHost::kStandardError;
  const platform::HANDLE out = MemoryHost::kStandardOutput;
  const std::vector<StartupCase> cases = {
      {"the screen's own", [&](MemoryHost& h) { h.ReportCursorInfo(err, {50, 0}); }, 50, false,
       {"GetConsoleCursorInfo(stderr)"}},
      {"screen fails, standard output answers",
       [&](MemoryHost& h) {
         h.FailGetCursorInfo(err);
         h.ReportCursorInfo(out, {30, 1});
       },
       30, true, {"GetConsoleCursorInfo(stderr)", "GetConsoleCursorInfo(stdout)"}},
      {"screen reports 0, standard output fails",
       [&](MemoryHost& h) {
         h.ReportCursorInfo(err, {0, 0});
         h.FailGetCursorInfo(out);
       },
       10, true,
       {"GetConsoleCursorInfo(stderr)", "GetConsoleCursorInfo(stdout)",
        "SetConsoleCursorInfo(stderr,10,1)"}},
      {"screen reports 0, standard output answers",
       [&](MemoryHost& h) {
         h.ReportCursorInfo(err, {0, 1});
         h.ReportCursorInfo(out, {30, 0});
       },
       30, false, {"GetConsoleCursorInfo(stderr)", "GetConsoleCursorInfo(stdout)"}},
      {"screen fails, standard output reports 0",
       [&](MemoryHost& h) {
         h.FailGetCursorInfo(err);
         h.ReportCursorInfo(out, {0, 0});
       },
       10, true,
       {"GetConsoleCursorInfo(stderr)", "GetConsoleCursorInfo(stdout)",
        "SetConsoleCursorInfo(stderr,10,1)"}},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    c.arrange(console.host);
    console.host.ClearCalls();
    ReadStartupCursorShape(err, out);
    EXPECT_EQ(Screen().cursorSize, c.size);
    EXPECT_EQ(Screen().cursorVisible != 0, c.visible);
    EXPECT_EQ(console.host.Calls(), c.calls);
  }
}

TEST(ResetScreenState, ResetsColoursAndFlagsButKeepsTheCursorShape) {
  TestConsole console(8, 4);
  SetColor(1, 2, 0);
  SetCursorVisible(60);
  HideCursorTemporarily();
  Locate(4, 1);
  PrintText("abcdefgh");
  ResetScreenState(MemoryHost::kStandardError);
  EXPECT_EQ(Screen().foreground, 7);
  EXPECT_EQ(Screen().background, 0);
  EXPECT_EQ(Screen().scrollPending, 0);
  EXPECT_EQ(Screen().cursorRestorePending, 0);
  EXPECT_EQ(Screen().cursorSize, 60);
  EXPECT_EQ(Screen().screenHandle, MemoryHost::kStandardError);
}

}  // namespace
}  // namespace mirvane::console
