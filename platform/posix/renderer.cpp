#include <algorithm>
#include <charconv>

#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

// Unchanged cells between two changes are written again, rather than skipped with a cursor move,
// when there are at most this many (a move costs three or four bytes).
constexpr int kRewriteGap = 3;

void AppendNumber(std::string& out, int value) {
  char digits[12];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// Console colour bits are blue 1, green 2, red 4; ANSI numbers them red 1, green 2, blue 4.
int AnsiColour(int consoleColour) {
  return ((consoleColour & 4) >> 2) | (consoleColour & 2) | ((consoleColour & 1) << 2);
}

// A cursor move: CSI n final, with n left out when it is 1.
void AppendMove(std::string& out, int count, char final) {
  out += "\x1b[";
  if (count != 1) AppendNumber(out, count);
  out += final;
}

// CUP to a 0-based cell, leaving out what defaults to 1.
void AppendPosition(std::string& out, int column, int row) {
  out += "\x1b[";
  if (row != 0) AppendNumber(out, row + 1);
  if (column != 0) {
    out += ';';
    AppendNumber(out, column + 1);
  }
  out += 'H';
}

bool IsAsciiGlyph(std::uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

// Box bytes of the code page.
constexpr std::uint8_t kTopLeft = 0xC9;
constexpr std::uint8_t kTopRight = 0xBB;
constexpr std::uint8_t kBottomLeft = 0xC8;
constexpr std::uint8_t kBottomRight = 0xBC;
constexpr std::uint8_t kHorizontal = 0xCD;
constexpr std::uint8_t kVertical = 0xBA;
constexpr WORD kBoxAttribute = 0x70;     // black on light grey
constexpr WORD kButtonAttribute = 0x1F;  // bright white on blue

}  // namespace

int FollowCursor(int origin, int cursor, int bufferLength, int visible) {
  if (visible >= bufferLength) return 0;
  if (cursor < origin) origin = cursor;
  if (cursor >= origin + visible) origin = cursor - visible + 1;
  return std::clamp(origin, 0, bufferLength - visible);
}

Frame ComposeFrame(const ScreenBuffer& buffer, int originColumn, int originRow, int columns,
                   int rows, CursorShape cursorShape) {
  Frame frame;
  frame.columns = columns;
  frame.rows = rows;
  frame.cells.assign(static_cast<std::size_t>(columns * rows), FrameCell{});
  for (int row = 0; row < rows; ++row) {
    const int bufferRow = originRow + row;
    if (bufferRow >= buffer.Rows()) break;
    for (int column = 0; column < columns; ++column) {
      const int bufferColumn = originColumn + column;
      if (bufferColumn >= buffer.Columns()) break;
      const Cell& cell = buffer.At(bufferColumn, bufferRow);
      frame.At(column, row) = {cell.character, static_cast<WORD>(cell.attribute & 0xFF)};
    }
  }
  const COORD cursor = buffer.CursorPosition();
  frame.cursorColumn = cursor.X - originColumn;
  frame.cursorRow = cursor.Y - originRow;
  const bool inView = frame.cursorColumn >= 0 && frame.cursorColumn < columns &&
                      frame.cursorRow >= 0 && frame.cursorRow < rows;
  frame.cursorVisible = inView && buffer.CursorInfo().bVisible != FALSE;
  frame.cursorShape = cursorShape;
  return frame;
}

void DrawMessageBox(Frame& frame, int columns, int rows, std::string_view text,
                    std::string_view caption) {
  constexpr std::string_view kButton = "< OK >";
  const int inner = static_cast<int>(std::max({text.size() + 4, caption.size() + 4,
                                               kButton.size() + 4}));
  const int width = inner + 2;
  const int height = 7;
  const int left = std::max(0, (std::min(columns, frame.columns) - width) / 2);
  const int top = std::max(0, (std::min(rows, frame.rows) - height) / 2);
  auto put = [&frame](int column, int row, std::uint8_t character, WORD attribute) {
    if (column < 0 || row < 0 || column >= frame.columns || row >= frame.rows) return;
    frame.At(column, row) = {character, attribute};
  };
  auto putText = [&put](int column, int row, std::string_view bytes, WORD attribute) {
    for (const char byte : bytes) put(column++, row, static_cast<std::uint8_t>(byte), attribute);
  };
  for (int row = 0; row < height; ++row) {
    const bool edge = row == 0 || row == height - 1;
    for (int column = 0; column < width; ++column) {
      std::uint8_t character = ' ';
      if (column == 0 || column == width - 1) {
        character = row == 0 ? (column == 0 ? kTopLeft : kTopRight)
                    : row == height - 1 ? (column == 0 ? kBottomLeft : kBottomRight)
                                        : kVertical;
      } else if (edge) {
        character = kHorizontal;
      }
      put(left + column, top + row, character, kBoxAttribute);
    }
  }
  putText(left + 2, top, caption, kBoxAttribute);
  putText(left + 3, top + 2, text, kBoxAttribute);
  putText(left + (width - static_cast<int>(kButton.size())) / 2, top + 4, kButton,
          kButtonAttribute);
  frame.cursorVisible = false;
}

Renderer::Pen Renderer::PenFor(WORD attribute) const {
  if (attribute == FrameCell::kOutside || colours_ == ColourMode::None) return {};
  const int foreground = attribute & 0x0F;
  const int background = (attribute >> 4) & 0x0F;
  if (colours_ == ColourMode::Eight) {
    return {foreground & 7, background & 7, (foreground & 8) != 0};
  }
  return {foreground, background, false};
}

void Renderer::UsePen(const Pen& pen, std::string& out) {
  if (penKnown_ && pen == pen_) return;
  if (colours_ == ColourMode::None) {
    pen_ = pen;
    penKnown_ = true;
    return;
  }
  std::string parameters;
  auto add = [&parameters](int number) {
    if (!parameters.empty()) parameters += ';';
    AppendNumber(parameters, number);
  };
  const bool toDefault = pen.foreground < 0;
  if (!penKnown_ || toDefault) {
    add(0);
    pen_ = {};
  }
  if (!toDefault) {
    if (pen_.bold != pen.bold) add(pen.bold ? 1 : 22);
    if (pen_.foreground != pen.foreground) {
      add(pen.foreground < 8 ? 30 + AnsiColour(pen.foreground) : 90 + AnsiColour(pen.foreground & 7));
    }
    if (pen_.background != pen.background) {
      add(pen.background < 8 ? 40 + AnsiColour(pen.background)
                             : 100 + AnsiColour(pen.background & 7));
    }
  }
  out += "\x1b[";
  out += parameters;
  out += 'm';
  pen_ = pen;
  penKnown_ = true;
  coloursSent_ = true;
}

void Renderer::MoveTo(int column, int row, std::string& out) {
  if (cursorKnown_ && column == cursorColumn_ && row == cursorRow_) return;
  std::string best;
  AppendPosition(best, column, row);
  if (cursorKnown_ && row == cursorRow_) {
    std::string other;
    if (column == 0) {
      other = "\r";
    } else if (column == cursorColumn_ - 1) {
      other = "\b";
    } else if (column > cursorColumn_) {
      AppendMove(other, column - cursorColumn_, 'C');
    } else {
      AppendMove(other, cursorColumn_ - column, 'D');
    }
    if (other.size() < best.size()) best = other;
  }
  out += best;
  cursorColumn_ = column;
  cursorRow_ = row;
  cursorKnown_ = true;
}

void Renderer::ClearTerminal(const Frame& frame, std::string& out) {
  penKnown_ = false;
  UsePen({}, out);
  out += "\x1b[H\x1b[2J";
  cursorColumn_ = 0;
  cursorRow_ = 0;
  cursorKnown_ = true;
  shown_.columns = frame.columns;
  shown_.rows = frame.rows;
  shown_.cells.assign(frame.cells.size(), FrameCell{});
  known_ = true;
}

void Renderer::DrawRow(const Frame& frame, int row, std::string& out) {
  int column = 0;
  while (column < frame.columns) {
    if (frame.At(column, row) == shown_.At(column, row)) {
      ++column;
      continue;
    }
    MoveTo(column, row, out);
    // Write this change and, through short unchanged gaps, the changes that follow it.
    int last = column;
    for (int next = column; next < frame.columns && next - last <= kRewriteGap + 1; ++next) {
      if (frame.At(next, row) != shown_.At(next, row)) last = next;
    }
    for (; column <= last; ++column) {
      const FrameCell& cell = frame.At(column, row);
      const bool unchanged = cell == shown_.At(column, row);
      if (unchanged && (!IsAsciiGlyph(cell.character) || !penKnown_ ||
                        !(PenFor(cell.attribute) == pen_))) {
        break;  // a gap not worth rewriting: move over it instead
      }
      UsePen(PenFor(cell.attribute), out);
      AppendGlyph(out, cell.character, utf8_);
      shown_.At(column, row) = cell;
      ++cursorColumn_;
      if (cursorColumn_ >= frame.columns || !IsAsciiGlyph(cell.character)) cursorKnown_ = false;
      if (!cursorKnown_ && column < last) MoveTo(column + 1, row, out);
    }
  }
}

void Renderer::PlaceCursor(const Frame& frame, std::string& out) {
  const bool shapeUnknown = !cursorStateKnown_ && (shapeSent_ || frame.cursorShape != shape_);
  if (frame.cursorShape != shape_ || shapeUnknown) {
    const char* sequence = frame.cursorShape == CursorShape::Underline ? "\x1b[3 q"
                           : frame.cursorShape == CursorShape::Block   ? "\x1b[1 q"
                                                                       : "\x1b[0 q";
    out += sequence;
    shape_ = frame.cursorShape;
    shapeSent_ = true;
  }
  if (frame.cursorVisible) {
    MoveTo(frame.cursorColumn, frame.cursorRow, out);
    if (!cursorShown_ || !cursorStateKnown_) out += "\x1b[?25h";
  } else if (cursorShown_ || !cursorStateKnown_) {
    out += "\x1b[?25l";
  }
  cursorShown_ = frame.cursorVisible;
  cursorStateKnown_ = true;
}

void Renderer::Render(const Frame& frame, std::string& out) {
  if (!known_ || shown_.columns != frame.columns || shown_.rows != frame.rows) {
    ClearTerminal(frame, out);
  }
  for (int row = 0; row < frame.rows; ++row) DrawRow(frame, row, out);
  PlaceCursor(frame, out);
}

}  // namespace mirvane::platform::terminal
