#include "platform/console_buffer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mirvane::platform {
namespace {

std::string RowText(const ScreenBuffer& screen, int row) {
  std::string text;
  for (int column = 0; column < screen.Columns(); ++column) {
    text += static_cast<char>(screen.At(column, row).character);
  }
  return text;
}

void ExpectRows(const ScreenBuffer& screen, const std::vector<std::string>& rows) {
  ASSERT_EQ(static_cast<int>(rows.size()), screen.Rows());
  for (int row = 0; row < screen.Rows(); ++row) {
    EXPECT_EQ(RowText(screen, row), rows[static_cast<std::size_t>(row)]) << "row " << row;
  }
}

// Fills the buffer with a recognisable pattern: row r holds letters starting at 'a' + 4r.
void Paint(ScreenBuffer& screen) {
  for (int row = 0; row < screen.Rows(); ++row) {
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(screen.Columns()));
    for (int column = 0; column < screen.Columns(); ++column) {
      cells[static_cast<std::size_t>(column)].Char.AsciiChar = static_cast<char>('a' + 4 * row + column);
      cells[static_cast<std::size_t>(column)].Attributes = 0x07;
    }
    SMALL_RECT region{0, static_cast<SHORT>(row), static_cast<SHORT>(screen.Columns() - 1),
                      static_cast<SHORT>(row)};
    ASSERT_TRUE(screen.WriteOutput(cells.data(), {static_cast<SHORT>(screen.Columns()), 1}, {0, 0},
                                   &region));
  }
}

std::vector<CHAR_INFO> Cells(const std::string& text, WORD attribute = 0x1E) {
  std::vector<CHAR_INFO> cells(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    cells[i].Char.AsciiChar = text[i];
    cells[i].Attributes = attribute;
  }
  return cells;
}

TEST(ScreenBuffer, StartsBlankInLightGreyWithTheCursorTopLeft) {
  ScreenBuffer screen(5, 2);
  ExpectRows(screen, {"     ", "     "});
  EXPECT_EQ(screen.At(4, 1).attribute, 0x07);
  EXPECT_EQ(screen.CursorPosition().X, 0);
  EXPECT_EQ(screen.CursorPosition().Y, 0);
  const CONSOLE_SCREEN_BUFFER_INFO info = screen.Info();
  EXPECT_EQ(info.dwSize.X, 5);
  EXPECT_EQ(info.dwSize.Y, 2);
}

struct WriteCase {
  const char* name;
  std::string source;  // one row of cells
  COORD sourceSize;
  COORD sourceOrigin;
  SMALL_RECT region;
  bool succeeds;
  SMALL_RECT written;  // the region handed back
  std::vector<std::string> rows;
};

TEST(ScreenBuffer, WriteOutputClipsAtTheBufferAndTheSource) {
  const std::vector<WriteCase> cases = {
      {"inside", "XYZ", {3, 1}, {0, 0}, {1, 1, 3, 1}, true, {1, 1, 3, 1},
       {"abcdef", "eXYZij", "ijklmn"}},
      {"past the right edge", "XYZW", {4, 1}, {0, 0}, {4, 0, 7, 0}, true, {4, 0, 5, 0},
       {"abcdXY", "efghij", "ijklmn"}},
      {"past the bottom", "XY", {2, 1}, {0, 0}, {0, 2, 1, 3}, true, {0, 2, 1, 2},
       {"abcdef", "efghij", "XYklmn"}},
      {"from a source origin", "XYZW", {4, 1}, {2, 0}, {0, 0, 1, 0}, true, {0, 0, 1, 0},
       {"ZWcdef", "efghij", "ijklmn"}},
      {"region wider than the source", "XY", {2, 1}, {0, 0}, {2, 0, 5, 0}, true, {2, 0, 3, 0},
       {"abXYef", "efghij", "ijklmn"}},
      {"starting left of the buffer", "XYZ", {3, 1}, {0, 0}, {-1, 0, 1, 0}, true, {0, 0, 1, 0},
       {"YZcdef", "efghij", "ijklmn"}},
      {"wholly outside", "XY", {2, 1}, {0, 0}, {6, 0, 7, 0}, true, {6, 0, 5, -1},
       {"abcdef", "efghij", "ijklmn"}},
      {"inverted region", "XY", {2, 1}, {0, 0}, {3, 0, 2, 0}, false, {3, 0, 2, 0},
       {"abcdef", "efghij", "ijklmn"}},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScreenBuffer screen(6, 3);
    Paint(screen);
    const std::vector<CHAR_INFO> cells = Cells(c.source);
    SMALL_RECT region = c.region;
    EXPECT_EQ(screen.WriteOutput(cells.data(), c.sourceSize, c.sourceOrigin, &region), c.succeeds);
    EXPECT_EQ(region.Left, c.written.Left);
    EXPECT_EQ(region.Top, c.written.Top);
    EXPECT_EQ(region.Right, c.written.Right);
    EXPECT_EQ(region.Bottom, c.written.Bottom);
    ExpectRows(screen, c.rows);
  }
}

TEST(ScreenBuffer, WriteOutputTakesTheAttributeOfEachCell) {
  ScreenBuffer screen(4, 1);
  std::vector<CHAR_INFO> cells = Cells("ab", 0x70);
  cells[1].Attributes = 0x8F;
  SMALL_RECT region{1, 0, 2, 0};
  ASSERT_TRUE(screen.WriteOutput(cells.data(), {2, 1}, {0, 0}, &region));
  EXPECT_EQ(screen.At(0, 0).attribute, 0x07);
  EXPECT_EQ(screen.At(1, 0), (Cell{'a', 0x70}));
  EXPECT_EQ(screen.At(2, 0), (Cell{'b', 0x8F}));
}

TEST(ScreenBuffer, WriteOutputKeepsEveryByte) {
  ScreenBuffer screen(256, 1);
  std::vector<CHAR_INFO> cells(256);
  for (int i = 0; i < 256; ++i) cells[static_cast<std::size_t>(i)].Char.AsciiChar = static_cast<char>(i);
  SMALL_RECT region{0, 0, 255, 0};
  ASSERT_TRUE(screen.WriteOutput(cells.data(), {256, 1}, {0, 0}, &region));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(screen.At(i, 0).character, i) << "byte " << i;
}

struct FillCase {
  const char* name;
  DWORD length;
  COORD start;
  DWORD written;
  std::vector<std::string> rows;
};

TEST(ScreenBuffer, FillRunsOnAlongRowsAndStopsAtTheEnd) {
  const std::vector<FillCase> cases = {
      {"within a row", 2, {1, 0}, 2, {"a**d", "efgh", "ijkl"}},
      {"onto the next rows", 7, {2, 0}, 7, {"ab**", "****", "*jkl"}},
      {"past the buffer's end", 100, {2, 2}, 2, {"abcd", "efgh", "ij**"}},
      {"nothing", 0, {0, 0}, 0, {"abcd", "efgh", "ijkl"}},
      {"from outside", 3, {4, 0}, 0, {"abcd", "efgh", "ijkl"}},
      {"from below", 3, {0, 3}, 0, {"abcd", "efgh", "ijkl"}},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScreenBuffer screen(4, 3);
    Paint(screen);
    EXPECT_EQ(screen.FillCharacter('*', c.length, c.start), c.written);
    ExpectRows(screen, c.rows);
  }
}

TEST(ScreenBuffer, AttributeFillKeepsTheCharacters) {
  ScreenBuffer screen(3, 2);
  Paint(screen);
  EXPECT_EQ(screen.FillAttribute(0xF0, 4, {1, 0}), 4u);
  ExpectRows(screen, {"abc", "efg"});
  const std::vector<WORD> expected = {0x07, 0xF0, 0xF0, 0xF0, 0xF0, 0x07};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(screen.At(i % 3, i / 3).attribute, expected[static_cast<std::size_t>(i)]) << "cell " << i;
  }
}

struct ScrollCase {
  const char* name;
  SMALL_RECT scroll;
  std::optional<SMALL_RECT> clip;
  COORD destination;
  bool succeeds;
  std::vector<std::string> rows;
};

TEST(ScreenBuffer, ScrollMovesTheRectangleAndFillsWhatItLeaves) {
  // Painted rows: "abcd", "efgh", "ijkl", "mnop".
  const std::vector<ScrollCase> cases = {
      {"up one row, whole width", {0, 1, 3, 3}, std::nullopt, {0, 0}, true,
       {"efgh", "ijkl", "mnop", "...."}},
      {"down one row: overlapping the other way", {0, 0, 3, 2}, std::nullopt, {0, 1}, true,
       {"....", "abcd", "efgh", "ijkl"}},
      {"a block to the right", {0, 0, 1, 1}, std::nullopt, {2, 0}, true,
       {"..ab", "..ef", "ijkl", "mnop"}},
      {"up with a clip of the middle rows", {0, 1, 3, 3}, SMALL_RECT{0, 1, 3, 2}, {0, 0}, true,
       {"abcd", "ijkl", "mnop", "mnop"}},
      {"right with a clip of the left half", {0, 0, 2, 0}, SMALL_RECT{0, 0, 1, 3}, {1, 0}, true,
       {".acd", "efgh", "ijkl", "mnop"}},
      {"rectangle reaching past the buffer", {0, 2, 9, 9}, std::nullopt, {0, 0}, true,
       {"ijkl", "mnop", "....", "...."}},
      {"target partly outside", {0, 0, 3, 1}, std::nullopt, {0, 3}, true,
       {"....", "....", "ijkl", "abcd"}},
      {"rectangle outside the buffer", {0, 5, 3, 6}, std::nullopt, {0, 0}, false,
       {"abcd", "efgh", "ijkl", "mnop"}},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScreenBuffer screen(4, 4);
    Paint(screen);
    CHAR_INFO fill;
    fill.Char.AsciiChar = '.';
    fill.Attributes = 0x4F;
    EXPECT_EQ(screen.Scroll(c.scroll, c.clip ? &*c.clip : nullptr, c.destination, fill),
              c.succeeds);
    ExpectRows(screen, c.rows);
  }
}

TEST(ScreenBuffer, ScrollFillsInTheFillAttributeAndMovesAttributes) {
  ScreenBuffer screen(2, 2);
  screen.FillAttribute(0x1A, 2, {0, 1});
  CHAR_INFO fill;
  fill.Char.AsciiChar = ' ';
  fill.Attributes = 0xF0;
  ASSERT_TRUE(screen.Scroll({0, 1, 1, 1}, nullptr, {0, 0}, fill));
  EXPECT_EQ(screen.At(1, 0).attribute, 0x1A);
  EXPECT_EQ(screen.At(1, 1).attribute, 0xF0);
}

TEST(ScreenBuffer, CursorRefusesCellsOutsideAndSizesOutsideOneToHundred) {
  ScreenBuffer screen(4, 3);
  EXPECT_TRUE(screen.SetCursorPosition({3, 2}));
  for (COORD outside : {COORD{4, 0}, COORD{0, 3}, COORD{-1, 0}, COORD{0, -1}}) {
    EXPECT_FALSE(screen.SetCursorPosition(outside)) << outside.X << "," << outside.Y;
  }
  EXPECT_EQ(screen.CursorPosition().X, 3);
  EXPECT_EQ(screen.CursorPosition().Y, 2);

  EXPECT_TRUE(screen.SetCursorInfo({100, FALSE}));
  EXPECT_FALSE(screen.SetCursorInfo({0, TRUE}));
  EXPECT_FALSE(screen.SetCursorInfo({101, TRUE}));
  EXPECT_EQ(screen.CursorInfo().dwSize, 100u);
  EXPECT_EQ(screen.CursorInfo().bVisible, FALSE);
}

TEST(ScreenBuffer, ResizeKeepsContentFromTheTopLeftAndTheCursorInside) {
  ScreenBuffer screen(4, 3);
  Paint(screen);
  screen.SetCursorPosition({3, 2});
  screen.SetDefaultAttribute(0x1F);
  screen.Resize(6, 2);
  ExpectRows(screen, {"abcd  ", "efgh  "});
  EXPECT_EQ(screen.At(5, 0).attribute, 0x1F);
  EXPECT_EQ(screen.CursorPosition().X, 3);
  EXPECT_EQ(screen.CursorPosition().Y, 1);
}

TEST(InputQueue, PeekLeavesRecordsAndReadRemovesThemInOrder) {
  InputQueue queue;
  INPUT_RECORD first;
  first.EventType = FOCUS_EVENT;
  INPUT_RECORD second;
  second.EventType = MENU_EVENT;
  queue.Push(first);
  queue.Push(second);

  INPUT_RECORD seen[2];
  EXPECT_EQ(queue.Peek(seen, 1), 1u);
  EXPECT_EQ(seen[0].EventType, FOCUS_EVENT);
  EXPECT_EQ(queue.Size(), 2u);
  EXPECT_EQ(queue.Read(seen, 1), 1u);
  EXPECT_EQ(seen[0].EventType, FOCUS_EVENT);
  EXPECT_EQ(queue.Read(seen, 2), 1u);
  EXPECT_EQ(seen[0].EventType, MENU_EVENT);
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.Peek(seen, 1), 0u);
}

}  // namespace
}  // namespace mirvane::platform
