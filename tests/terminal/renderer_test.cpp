#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/console_buffer.h"
#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

// A small terminal: enough of ECMA-48 to replay what the renderer sends (cursor moves, CR, BS,
// SGR colours, erase display, cursor visibility and shape, UTF-8 text with the deferred wrap at
// the last column). What it does not know fails the test.
class TinyTerminal {
 public:
  TinyTerminal(int columns, int rows)
      : columns_(columns), rows_(rows), cells_(static_cast<std::size_t>(columns * rows)) {}

  void Feed(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte == 0x1b) {
        i = Escape(bytes, i);
      } else if (byte == '\r') {
        column_ = 0;
        wrapPending_ = false;
        ++i;
      } else if (byte == '\b') {
        if (column_ > 0) --column_;
        wrapPending_ = false;
        ++i;
      } else if (byte < 0x20 || byte == 0x7f) {
        ADD_FAILURE() << "control byte " << int{byte} << " sent as text";
        ++i;
      } else {
        std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        Put(bytes.substr(i, length));
        i += length;
      }
    }
  }

  struct Shown {
    std::string glyph = " ";
    std::string sgr;  // the colour parameters in force when written, "" for the defaults
  };
  const Shown& At(int column, int row) const {
    return cells_[static_cast<std::size_t>(row * columns_ + column)];
  }
  int Column() const { return column_; }
  int Row() const { return row_; }
  bool CursorVisible() const { return cursorVisible_; }
  std::string Shape() const { return shape_; }

 private:
  void Put(const std::string& glyph) {
    if (wrapPending_) {
      column_ = 0;
      if (row_ + 1 < rows_) ++row_;
      wrapPending_ = false;
    }
    cells_[static_cast<std::size_t>(row_ * columns_ + column_)] = {glyph, Sgr()};
    if (column_ + 1 == columns_) {
      wrapPending_ = true;
    } else {
      ++column_;
    }
  }

  std::string Sgr() const {
    std::string text;
    if (bold_) text += "bold ";
    if (foreground_ >= 0) text += "fg" + std::to_string(foreground_) + " ";
    if (background_ >= 0) text += "bg" + std::to_string(background_);
    return text;
  }

  std::size_t Escape(const std::string& bytes, std::size_t at) {
    if (at + 1 < bytes.size() && bytes[at + 1] == ']') {  // OSC to BEL
      const std::size_t end = bytes.find('\x07', at);
      return end == std::string::npos ? bytes.size() : end + 1;
    }
    if (at + 1 >= bytes.size() || bytes[at + 1] != '[') {
      ADD_FAILURE() << "unknown escape at " << at;
      return at + 1;
    }
    std::size_t i = at + 2;
    std::string parameters;
    while (i < bytes.size() && ((bytes[i] >= '0' && bytes[i] <= '?') || bytes[i] == ' ')) {
      parameters += bytes[i++];
    }
    const char final = bytes[i];
    std::vector<int> numbers;
    std::string number;
    bool isPrivate = !parameters.empty() && parameters[0] == '?';
    for (const char c : parameters) {
      if (c >= '0' && c <= '9') number += c;
      if (c == ';') {
        numbers.push_back(number.empty() ? 0 : std::stoi(number));
        number.clear();
      }
    }
    numbers.push_back(number.empty() ? 0 : std::stoi(number));
    auto arg = [&numbers](std::size_t n, int fallback) {
      return n < numbers.size() && numbers[n] != 0 ? numbers[n] : fallback;
    };
    wrapPending_ = final == 'm' || final == 'q' ? wrapPending_ : false;
    switch (final) {
      case 'H':
        row_ = arg(0, 1) - 1;
        column_ = arg(1, 1) - 1;
        break;
      case 'C': column_ = std::min(columns_ - 1, column_ + arg(0, 1)); break;
      case 'D': column_ = std::max(0, column_ - arg(0, 1)); break;
      case 'J':
        EXPECT_EQ(numbers[0], 2);
        for (Shown& cell : cells_) cell = {" ", Sgr()};
        break;
      case 'm':
        for (const int n : numbers) Colour(n);
        break;
      case 'h':
      case 'l':
        EXPECT_TRUE(isPrivate && parameters == "?25") << parameters;
        cursorVisible_ = final == 'h';
        break;
      case 'q': shape_ = parameters; break;
      case 't': break;  // title stack
      default: ADD_FAILURE() << "unknown sequence ending " << final;
    }
    return i + 1;
  }

  void Colour(int n) {
    if (n == 0) {
      foreground_ = background_ = -1;
      bold_ = false;
    } else if (n == 1) {
      bold_ = true;
    } else if (n == 22) {
      bold_ = false;
    } else if ((n >= 30 && n <= 37) || (n >= 90 && n <= 97)) {
      foreground_ = n;
    } else if ((n >= 40 && n <= 47) || (n >= 100 && n <= 107)) {
      background_ = n;
    } else {
      ADD_FAILURE() << "unexpected SGR " << n;
    }
  }

  int columns_;
  int rows_;
  std::vector<Shown> cells_;
  int column_ = 0;
  int row_ = 0;
  bool wrapPending_ = false;
  int foreground_ = -1;
  int background_ = -1;
  bool bold_ = false;
  bool cursorVisible_ = true;
  std::string shape_;
};

// What a frame cell should look like on the tiny terminal, in sixteen colours.
TinyTerminal::Shown Expected(const FrameCell& cell) {
  std::string glyph;
  AppendGlyph(glyph, cell.character, true);
  if (cell.attribute == FrameCell::kOutside) return {glyph, ""};
  const int ansi[] = {0, 4, 2, 6, 1, 5, 3, 7};
  const int fg = cell.attribute & 0xF;
  const int bg = (cell.attribute >> 4) & 0xF;
  return {glyph, "fg" + std::to_string((fg < 8 ? 30 : 90) + ansi[fg & 7]) + " bg" +
                     std::to_string((bg < 8 ? 40 : 100) + ansi[bg & 7])};
}

void ExpectShows(const TinyTerminal& terminal, const Frame& frame, const std::string& context) {
  for (int row = 0; row < frame.rows; ++row) {
    for (int column = 0; column < frame.columns; ++column) {
      const auto expected = Expected(frame.At(column, row));
      const auto& shown = terminal.At(column, row);
      ASSERT_EQ(shown.glyph, expected.glyph) << context << " at column " << column + 1 << " row "
                                             << row + 1;
      ASSERT_EQ(shown.sgr, expected.sgr) << context << " at column " << column + 1 << " row "
                                         << row + 1;
    }
  }
  EXPECT_EQ(terminal.CursorVisible(), frame.cursorVisible) << context;
  if (frame.cursorVisible) {
    EXPECT_EQ(terminal.Column(), frame.cursorColumn) << context;
    EXPECT_EQ(terminal.Row(), frame.cursorRow) << context;
  }
}

Frame BlankFrame(int columns, int rows, WORD attribute) {
  Frame frame;
  frame.columns = columns;
  frame.rows = rows;
  frame.cells.assign(static_cast<std::size_t>(columns * rows), FrameCell{' ', attribute});
  return frame;
}

void Write(Frame& frame, int column, int row, std::string_view text, WORD attribute) {
  for (const char c : text) frame.At(column++, row) = {static_cast<std::uint8_t>(c), attribute};
}

std::string Render(Renderer& renderer, const Frame& frame) {
  std::string out;
  renderer.Render(frame, out);
  return out;
}

// The white answer form: a typed character costs one byte, Backspace three.
TEST(Renderer, EchoSendsOnlyTheChangedCell) {
  Renderer renderer(ColourMode::Sixteen, true);
  Frame frame = BlankFrame(80, 32, 0xF0);
  frame.cursorVisible = false;
  Render(renderer, frame);
  Write(frame, 3, 9, "Distances in feet or metres [F/M]?", 0xF8);
  frame.cursorColumn = 53;
  frame.cursorRow = 9;
  frame.cursorVisible = true;
  EXPECT_EQ(Render(renderer, frame),
            "\x1b[10;4H\x1b[90mDistances in feet or metres [F/M]?\x1b[16C\x1b[?25h");

  Frame typed = frame;
  typed.At(53, 9) = {'M', 0xF0};
  typed.cursorColumn = 54;
  EXPECT_EQ(Render(renderer, typed), "\x1b[30mM");  // the prompt's grey was the last colour
  typed.At(54, 9) = {'x', 0xF0};
  typed.cursorColumn = 55;
  EXPECT_EQ(Render(renderer, typed), "x");
  typed.At(54, 9) = {' ', 0xF0};
  typed.cursorColumn = 54;
  EXPECT_EQ(Render(renderer, typed), "\b \b");
  EXPECT_EQ(Render(renderer, typed), "");
}

TEST(Renderer, ColoursInSixteenAndEightAndNone) {
  struct ColourCase {
    ColourMode mode;
    WORD attribute;
    std::string sgr;
  };
  const ColourCase cases[] = {
      {ColourMode::Sixteen, 0x07, "\x1b[37;40m"},
      {ColourMode::Sixteen, 0xF0, "\x1b[30;107m"},
      {ColourMode::Sixteen, 0xF8, "\x1b[90;107m"},
      {ColourMode::Sixteen, 0x8F, "\x1b[97;100m"},
      {ColourMode::Sixteen, 0x1E, "\x1b[93;44m"},
      {ColourMode::Sixteen, 0x4A, "\x1b[92;41m"},
      {ColourMode::Sixteen, 0x2D, "\x1b[95;42m"},
      {ColourMode::Sixteen, 0x63, "\x1b[36;43m"},
      {ColourMode::Eight, 0xF0, "\x1b[30;47m"},
      {ColourMode::Eight, 0xF8, "\x1b[1;30;47m"},
      {ColourMode::Eight, 0x1E, "\x1b[1;33;44m"},
      {ColourMode::None, 0xF0, ""},
  };
  for (const ColourCase& test : cases) {
    Renderer renderer(test.mode, true);
    Frame frame = BlankFrame(2, 1, FrameCell::kOutside);
    frame.At(0, 0) = {'x', test.attribute};
    frame.cursorVisible = false;
    const std::string out = Render(renderer, frame);
    const std::string clear = test.mode == ColourMode::None ? "\x1b[H\x1b[2J" : "\x1b[0m\x1b[H\x1b[2J";
    EXPECT_EQ(out, clear + test.sgr + "x\x1b[?25l")
        << "attribute " << test.attribute << " mode " << static_cast<int>(test.mode);
    EXPECT_EQ(renderer.ColoursSent(), test.mode != ColourMode::None);
  }
}

TEST(Renderer, EightColoursDropBoldWhenTheForegroundDims) {
  Renderer renderer(ColourMode::Eight, true);
  Frame frame = BlankFrame(2, 1, FrameCell::kOutside);
  frame.At(0, 0) = {'a', 0xF8};
  frame.At(1, 0) = {'b', 0xF0};
  frame.cursorVisible = false;
  EXPECT_EQ(Render(renderer, frame), "\x1b[0m\x1b[H\x1b[2J\x1b[1;30;47ma\x1b[22mb\x1b[?25l");
}

TEST(Renderer, GlyphsOfControlBytesAndHighBytes) {
  struct GlyphCase {
    std::uint8_t byte;
    bool utf8;
    std::string sent;
  };
  const GlyphCase cases[] = {
      {0x00, true, " "},          {0x01, true, "\u263A"}, {0x07, true, "\u2022"},
      {0x0A, true, "\u25D9"},     {0x0D, true, "\u266A"}, {0x1B, true, "\u2190"},
      {0x7F, true, "\u2302"},     {0x80, true, "\u00C7"}, {0xB0, true, "\u2591"},
      {0xC9, true, "\u2554"},     {0xE1, true, "\u00DF"}, {0xFE, true, "\u25A0"},
      {0xFF, true, "\u00A0"},     {0x1B, false, "?"},     {0x07, false, "?"},
      {0x82, false, "?"},         {0xC9, false, "+"},     {0xCD, false, "-"},
      {0xBA, false, "|"},         {'q', false, "q"},
  };
  for (const GlyphCase& test : cases) {
    Renderer renderer(ColourMode::None, test.utf8);
    Frame frame = BlankFrame(3, 1, FrameCell::kOutside);
    frame.At(1, 0) = {test.byte, 0x07};
    frame.cursorVisible = false;
    EXPECT_EQ(Render(renderer, frame), "\x1b[H\x1b[2J\x1b[C" + test.sent + "\x1b[?25l")
        << "byte " << int{test.byte} << (test.utf8 ? " in UTF-8" : " without UTF-8");
  }
}

TEST(CodePage, EveryGlyphIsDistinctAndTypedCharactersComeBack) {
  for (int byte = 0x20; byte <= 0xFF; ++byte) {
    const auto back = CodePageByteOf(GlyphOf(static_cast<std::uint8_t>(byte)));
    ASSERT_TRUE(back.has_value()) << "byte " << byte;
    EXPECT_EQ(*back, byte) << "byte " << byte;
  }
  for (int byte = 1; byte < 0x20; ++byte) {
    EXPECT_FALSE(CodePageByteOf(GlyphOf(static_cast<std::uint8_t>(byte))).has_value())
        << "control glyph of byte " << byte << " must not type a control code";
  }
  EXPECT_FALSE(CodePageByteOf(U'\u20AC').has_value());
}

TEST(Renderer, TheLastColumnIsFollowedByAnAbsoluteMove) {
  Renderer renderer(ColourMode::None, true);
  Frame frame = BlankFrame(4, 2, FrameCell::kOutside);
  frame.cursorVisible = false;
  Render(renderer, frame);
  frame.At(3, 0) = {'a', 0x07};
  frame.At(0, 1) = {'b', 0x07};
  // Never trusts the wrap: after the last column the position is stated again.
  EXPECT_EQ(Render(renderer, frame), "\x1b[3Ca\x1b[2Hb");
}

TEST(Renderer, CursorVisibilityAndShapeChangeOnlyWhenAsked) {
  Renderer renderer(ColourMode::None, true);
  Frame frame = BlankFrame(4, 2, FrameCell::kOutside);
  frame.cursorColumn = 1;
  frame.cursorRow = 1;
  Render(renderer, frame);
  frame.cursorVisible = false;
  EXPECT_EQ(Render(renderer, frame), "\x1b[?25l");
  EXPECT_EQ(Render(renderer, frame), "");
  frame.cursorVisible = true;
  EXPECT_EQ(Render(renderer, frame), "\x1b[?25h");
  frame.cursorShape = CursorShape::Block;
  EXPECT_EQ(Render(renderer, frame), "\x1b[1 q");
  frame.cursorShape = CursorShape::Underline;
  EXPECT_EQ(Render(renderer, frame), "\x1b[3 q");
  frame.cursorShape = CursorShape::TerminalDefault;
  EXPECT_EQ(Render(renderer, frame), "\x1b[0 q");
  EXPECT_TRUE(renderer.ShapeSent());
}

TEST(Renderer, AnotherSizeOrForgettingStartsFromAClearedTerminal) {
  Renderer renderer(ColourMode::None, true);
  Frame small = BlankFrame(3, 1, FrameCell::kOutside);
  small.At(0, 0) = {'a', 0x07};
  small.cursorVisible = false;
  Render(renderer, small);
  EXPECT_EQ(Render(renderer, small), "");
  renderer.Forget();
  EXPECT_EQ(Render(renderer, small), "\x1b[H\x1b[2Ja\x1b[?25l");
  Frame wider = BlankFrame(4, 1, FrameCell::kOutside);
  wider.At(3, 0) = {'b', 0x07};
  wider.cursorVisible = false;
  EXPECT_EQ(Render(renderer, wider), "\x1b[H\x1b[2J\x1b[3Cb");
}

// Whatever sequence of frames comes, the terminal ends up showing the last one exactly.
TEST(Renderer, TerminalAlwaysShowsTheLastFrame) {
  std::mt19937 random(11);
  const std::uint8_t characters[] = {' ', 'a', 'Z', '0', 0x01, 0xB0, 0xC9, 0x82, 0xFF, 0x00};
  const WORD attributes[] = {0xF0, 0xF8, 0x07, 0x1E, FrameCell::kOutside};
  for (int run = 0; run < 20; ++run) {
    const int columns = 1 + static_cast<int>(random() % 12);
    const int rows = 1 + static_cast<int>(random() % 5);
    Renderer renderer(ColourMode::Sixteen, true);
    TinyTerminal terminal(columns, rows);
    Frame frame = BlankFrame(columns, rows, 0xF0);
    for (int step = 0; step < 40; ++step) {
      const int changes = static_cast<int>(random() % 6);
      for (int c = 0; c < changes; ++c) {
        frame.At(static_cast<int>(random() % static_cast<unsigned>(columns)),
                 static_cast<int>(random() % static_cast<unsigned>(rows))) =
            {characters[random() % std::size(characters)],
             attributes[random() % std::size(attributes)]};
      }
      frame.cursorColumn = static_cast<int>(random() % static_cast<unsigned>(columns));
      frame.cursorRow = static_cast<int>(random() % static_cast<unsigned>(rows));
      frame.cursorVisible = random() % 4 != 0;
      if (random() % 15 == 0) renderer.Forget();
      std::string out;
      renderer.Render(frame, out);
      terminal.Feed(out);
      ExpectShows(terminal, frame, "run " + std::to_string(run) + " step " + std::to_string(step));
      if (HasFatalFailure()) return;
    }
  }
}

// The box goes away without a trace: the terminal shows the frame it covered, cell for cell.
TEST(Renderer, MessageBoxLeavesTheViewExactlyAsItWas) {
  Renderer renderer(ColourMode::Sixteen, true);
  TinyTerminal terminal(80, 32);
  Frame frame = BlankFrame(80, 32, 0xF0);
  for (int row = 0; row < 32; ++row) Write(frame, 0, row, std::string(80, static_cast<char>('a' + row % 26)), 0xF8);
  frame.cursorColumn = 54;
  frame.cursorRow = 9;
  std::string out;
  renderer.Render(frame, out);
  Frame boxed = frame;
  DrawMessageBox(boxed, 80, 32, "You must respond either F or M  ", "  ERROR");
  EXPECT_FALSE(boxed.cursorVisible);
  renderer.Render(boxed, out);
  terminal.Feed(out);
  ExpectShows(terminal, boxed, "box shown");
  out.clear();
  renderer.Render(frame, out);
  terminal.Feed(out);
  ExpectShows(terminal, frame, "box dismissed");
}

TEST(MessageBox, ShowsCaptionTextAndButtonInTheMiddle) {
  Frame frame = BlankFrame(80, 32, 0xF0);
  DrawMessageBox(frame, 80, 32, "You must respond either F or M  ", "  ERROR");
  auto row = [&frame](int r) {
    std::string text;
    for (int c = 0; c < frame.columns; ++c) text += static_cast<char>(frame.At(c, r).character);
    return text;
  };
  int top = -1;
  for (int r = 0; r < 32 && top < 0; ++r) {
    if (row(r).find("  ERROR") != std::string::npos) top = r;
  }
  ASSERT_GE(top, 0);
  EXPECT_NEAR(top, (32 - 7) / 2, 1);
  EXPECT_NE(row(top + 2).find("You must respond either F or M  "), std::string::npos);
  EXPECT_NE(row(top + 4).find("< OK >"), std::string::npos);
  const std::size_t left = row(top).find('\xC9');
  const std::size_t right = row(top).find('\xBB');
  ASSERT_NE(left, std::string::npos);
  ASSERT_NE(right, std::string::npos);
  EXPECT_NEAR(static_cast<double>(left), static_cast<double>(80 - 1 - right), 1.0);

  Frame tiny = BlankFrame(5, 2, 0xF0);  // clipped, not overrun
  DrawMessageBox(tiny, 5, 2, "You must respond either F or M  ", "  ERROR");
  EXPECT_EQ(tiny.cells.size(), 10u);
}

TEST(View, FollowsTheCursorOverATallerBuffer) {
  struct FollowCase {
    int origin, cursor, buffer, visible, expected;
  };
  const FollowCase cases[] = {
      {0, 31, 32, 24, 8},   // cursor on the last row: the view's bottom is the buffer's
      {8, 5, 32, 24, 5},    // cursor above the view: the view moves up to it
      {8, 20, 32, 24, 8},   // cursor inside: the view stays
      {0, 23, 32, 24, 0},   // the view's last row
      {0, 24, 32, 24, 1},   // one below: one row on
      {5, 31, 32, 43, 0},   // terminal taller than the buffer: the top-left
      {0, 79, 80, 60, 20},  // columns likewise
      {30, 10, 32, 24, 8},  // an origin beyond the end is brought back
  };
  for (const FollowCase& test : cases) {
    EXPECT_EQ(FollowCursor(test.origin, test.cursor, test.buffer, test.visible), test.expected)
        << "origin " << test.origin << " cursor " << test.cursor << " buffer " << test.buffer
        << " visible " << test.visible;
  }
}

TEST(View, FrameShowsTheBufferFromItsOriginAndBlanksBeyond) {
  ScreenBuffer buffer(80, 32);
  CHAR_INFO cells[2];
  cells[0].Char.AsciiChar = 'L';
  cells[0].Attributes = 0xF0;
  cells[1].Char.AsciiChar = 'R';
  cells[1].Attributes = 0xF8;
  SMALL_RECT region{0, 31, 1, 31};
  ASSERT_TRUE(buffer.WriteOutput(cells, {2, 1}, {0, 0}, &region));
  buffer.SetCursorPosition({1, 31});

  const Frame larger = ComposeFrame(buffer, 0, 0, 132, 43, CursorShape::TerminalDefault);
  EXPECT_EQ(larger.At(0, 31), (FrameCell{'L', 0xF0}));
  EXPECT_EQ(larger.At(1, 31), (FrameCell{'R', 0xF8}));
  EXPECT_EQ(larger.At(80, 0).attribute, FrameCell::kOutside);
  EXPECT_EQ(larger.At(0, 32).attribute, FrameCell::kOutside);
  EXPECT_EQ(larger.cursorColumn, 1);
  EXPECT_EQ(larger.cursorRow, 31);
  EXPECT_TRUE(larger.cursorVisible);

  const Frame smaller = ComposeFrame(buffer, 0, 8, 80, 24, CursorShape::Block);
  EXPECT_EQ(smaller.At(0, 23), (FrameCell{'L', 0xF0}));
  EXPECT_EQ(smaller.cursorRow, 23);
  EXPECT_EQ(smaller.cursorShape, CursorShape::Block);

  buffer.SetCursorInfo({25, FALSE});
  EXPECT_FALSE(ComposeFrame(buffer, 0, 0, 80, 32, CursorShape::TerminalDefault).cursorVisible);
}

}  // namespace
}  // namespace mirvane::platform::terminal
