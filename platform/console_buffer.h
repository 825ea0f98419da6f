// An emulation of a Windows console: one screen buffer of cells and one input queue. The in-memory
// host, the terminal host and its plain-stream mode all keep their console in these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/console_host.h"

namespace mirvane::platform {

struct Cell {
  std::uint8_t character = ' ';
  WORD attribute = 0x07;

  friend bool operator==(const Cell&, const Cell&) = default;
};

// A console screen buffer: columns × rows cells, a cursor with its position, size and visibility,
// and the default attribute. Operations keep the Windows console's rules: writes are clipped at the
// buffer's edge, fills run on along the following rows and stop at the buffer's end, a scroll fills
// what it vacates.
class ScreenBuffer {
 public:
  ScreenBuffer(int columns, int rows);

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  const Cell& At(int column, int row) const;  // 0-based

  CONSOLE_SCREEN_BUFFER_INFO Info() const;
  COORD CursorPosition() const { return cursor_; }
  // False, cursor unchanged, for a cell outside the buffer.
  bool SetCursorPosition(COORD position);
  CONSOLE_CURSOR_INFO CursorInfo() const { return cursorInfo_; }
  // False, shape unchanged, for a size outside 1 to 100.
  bool SetCursorInfo(const CONSOLE_CURSOR_INFO& info);
  WORD DefaultAttribute() const { return defaultAttribute_; }
  void SetDefaultAttribute(WORD attribute) { defaultAttribute_ = attribute; }

  // WriteConsoleOutputA: *region becomes the rectangle actually written.
  bool WriteOutput(const CHAR_INFO* source, COORD sourceSize, COORD sourceOrigin, SMALL_RECT* region);
  // ScrollConsoleScreenBufferA.
  bool Scroll(const SMALL_RECT& scroll, const SMALL_RECT* clip, COORD destination,
              const CHAR_INFO& fill);
  // FillConsoleOutputCharacterA / FillConsoleOutputAttribute: the number of cells written.
  DWORD FillCharacter(std::uint8_t character, DWORD length, COORD start);
  DWORD FillAttribute(WORD attribute, DWORD length, COORD start);

  // A new size, as when the window library resizes the console: the content keeps its place from
  // the top-left, new cells are blanks in the default attribute, the cursor is kept inside.
  void Resize(int columns, int rows);

 private:
  Cell& CellAt(int column, int row);

  int columns_;
  int rows_;
  std::vector<Cell> cells_;
  COORD cursor_{};
  CONSOLE_CURSOR_INFO cursorInfo_{25, TRUE};
  WORD defaultAttribute_ = 0x07;
};

// A console input queue: records in arrival order; looking does not remove.
class InputQueue {
 public:
  void Push(const INPUT_RECORD& record) { records_.push_back(record); }
  bool Empty() const { return records_.empty(); }
  std::size_t Size() const { return records_.size(); }
  // PeekConsoleInputA / ReadConsoleInputA: copy up to length records; the count copied.
  DWORD Peek(INPUT_RECORD* buffer, DWORD length) const;
  DWORD Read(INPUT_RECORD* buffer, DWORD length);

 private:
  std::deque<INPUT_RECORD> records_;
};

}  // namespace mirvane::platform
