#include "platform/console_buffer.h"

#include <algorithm>
#include <cassert>

namespace mirvane::platform {
namespace {

// An inclusive rectangle in plain ints, so that clipping arithmetic cannot wrap a SHORT.
struct Rect {
  int left;
  int top;
  int right;
  int bottom;

  bool Empty() const { return right < left || bottom < top; }
  bool Contains(int column, int row) const {
    return column >= left && column <= right && row >= top && row <= bottom;
  }
};

Rect ToRect(const SMALL_RECT& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

SMALL_RECT ToSmallRect(const Rect& r) {
  return {static_cast<SHORT>(r.left), static_cast<SHORT>(r.top), static_cast<SHORT>(r.right),
          static_cast<SHORT>(r.bottom)};
}

Rect Intersect(const Rect& a, const Rect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Cell ToCell(const CHAR_INFO& info) {
  return {static_cast<std::uint8_t>(info.Char.AsciiChar), info.Attributes};
}

}  // namespace

ScreenBuffer::ScreenBuffer(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(static_cast<std::size_t>(columns * rows)) {
  assert(columns > 0 && rows > 0 && columns <= 0x7FFF && rows <= 0x7FFF);
}

const Cell& ScreenBuffer::At(int column, int row) const {
  assert(column >= 0 && column < columns_ && row >= 0 && row < rows_);
  return cells_[static_cast<std::size_t>(row * columns_ + column)];
}

Cell& ScreenBuffer::CellAt(int column, int row) {
  assert(column >= 0 && column < columns_ && row >= 0 && row < rows_);
  return cells_[static_cast<std::size_t>(row * columns_ + column)];
}

CONSOLE_SCREEN_BUFFER_INFO ScreenBuffer::Info() const {
  const auto width = static_cast<SHORT>(columns_);
  const auto height = static_cast<SHORT>(rows_);
  CONSOLE_SCREEN_BUFFER_INFO info;
  info.dwSize = {width, height};
  info.dwCursorPosition = cursor_;
  info.wAttributes = defaultAttribute_;
  // The window shows the whole buffer: nothing here scrolls a view.
  info.srWindow = {0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
  info.dwMaximumWindowSize = {width, height};
  return info;
}

bool ScreenBuffer::SetCursorPosition(COORD position) {
  if (position.X < 0 || position.X >= columns_ || position.Y < 0 || position.Y >= rows_) {
    return false;
  }
  cursor_ = position;
  return true;
}

bool ScreenBuffer::SetCursorInfo(const CONSOLE_CURSOR_INFO& info) {
  if (info.dwSize < 1 || info.dwSize > 100) return false;
  cursorInfo_ = {info.dwSize, info.bVisible ? TRUE : FALSE};
  return true;
}

bool ScreenBuffer::WriteOutput(const CHAR_INFO* source, COORD sourceSize, COORD sourceOrigin,
                               SMALL_RECT* region) {
  const Rect target = ToRect(*region);
  if (target.Empty() || sourceSize.X <= 0 || sourceSize.Y <= 0) return false;

  // The source block has the target's size and starts at sourceOrigin; only the target cells whose
  // source cell lies inside the source array are written, and only those inside the buffer.
  const int shiftX = target.left - sourceOrigin.X;
  const int shiftY = target.top - sourceOrigin.Y;
  const Rect sourceInTarget{shiftX, shiftY, shiftX + sourceSize.X - 1, shiftY + sourceSize.Y - 1};
  const Rect written =
      Intersect(Intersect(target, sourceInTarget), Rect{0, 0, columns_ - 1, rows_ - 1});

  if (written.Empty()) {
    // Nothing lands inside: an empty rectangle at the requested corner, and no error.
    *region = ToSmallRect({target.left, target.top, target.left - 1, target.top - 1});
    return true;
  }
  for (int row = written.top; row <= written.bottom; ++row) {
    for (int column = written.left; column <= written.right; ++column) {
      const int sourceIndex = (row - shiftY) * sourceSize.X + (column - shiftX);
      CellAt(column, row) = ToCell(source[sourceIndex]);
    }
  }
  *region = ToSmallRect(written);
  return true;
}

bool ScreenBuffer::Scroll(const SMALL_RECT& scroll, const SMALL_RECT* clip, COORD destination,
                          const CHAR_INFO& fill) {
  const Rect whole{0, 0, columns_ - 1, rows_ - 1};
  const Rect requested = ToRect(scroll);
  const Rect moved = Intersect(requested, whole);
  if (moved.Empty()) return false;
  const Rect limit = clip != nullptr ? Intersect(ToRect(*clip), whole) : whole;
  if (limit.Empty()) return false;

  // Cutting the source at the buffer's edge cuts the destination by the same amount.
  const int targetLeft = destination.X + (moved.left - requested.left);
  const int targetTop = destination.Y + (moved.top - requested.top);
  const int shiftX = targetLeft - moved.left;
  const int shiftY = targetTop - moved.top;
  const Rect target{targetLeft, targetTop, targetLeft + (moved.right - moved.left),
                    targetTop + (moved.bottom - moved.top)};

  // Source and target may overlap: read from a copy taken before anything changes.
  const std::vector<Cell> before = cells_;
  const auto old = [&](int column, int row) {
    return before[static_cast<std::size_t>(row * columns_ + column)];
  };

  const Cell fillCell = ToCell(fill);
  for (int row = moved.top; row <= moved.bottom; ++row) {
    for (int column = moved.left; column <= moved.right; ++column) {
      if (limit.Contains(column, row) && !target.Contains(column, row)) {
        CellAt(column, row) = fillCell;
      }
    }
  }
  const Rect landing = Intersect(Intersect(target, whole), limit);
  for (int row = landing.top; row <= landing.bottom; ++row) {
    for (int column = landing.left; column <= landing.right; ++column) {
      CellAt(column, row) = old(column - shiftX, row - shiftY);
    }
  }
  return true;
}

DWORD ScreenBuffer::FillCharacter(std::uint8_t character, DWORD length, COORD start) {
  if (start.X < 0 || start.X >= columns_ || start.Y < 0 || start.Y >= rows_) return 0;
  const std::size_t first = static_cast<std::size_t>(start.Y * columns_ + start.X);
  const std::size_t count = std::min<std::size_t>(length, cells_.size() - first);
  for (std::size_t i = first; i < first + count; ++i) cells_[i].character = character;
  return static_cast<DWORD>(count);
}

DWORD ScreenBuffer::FillAttribute(WORD attribute, DWORD length, COORD start) {
  if (start.X < 0 || start.X >= columns_ || start.Y < 0 || start.Y >= rows_) return 0;
  const std::size_t first = static_cast<std::size_t>(start.Y * columns_ + start.X);
  const std::size_t count = std::min<std::size_t>(length, cells_.size() - first);
  for (std::size_t i = first; i < first + count; ++i) cells_[i].attribute = attribute;
  return static_cast<DWORD>(count);
}

void ScreenBuffer::Resize(int columns, int rows) {
  assert(columns > 0 && rows > 0 && columns <= 0x7FFF && rows <= 0x7FFF);
  std::vector<Cell> resized(static_cast<std::size_t>(columns * rows),
                            Cell{' ', defaultAttribute_});
  for (int row = 0; row < std::min(rows, rows_); ++row) {
    for (int column = 0; column < std::min(columns, columns_); ++column) {
      resized[static_cast<std::size_t>(row * columns + column)] = CellAt(column, row);
    }
  }
  cells_ = std::move(resized);
  columns_ = columns;
  rows_ = rows;
  cursor_.X = static_cast<SHORT>(std::min<int>(cursor_.X, columns - 1));
  cursor_.Y = static_cast<SHORT>(std::min<int>(cursor_.Y, rows - 1));
}

DWORD InputQueue::Peek(INPUT_RECORD* buffer, DWORD length) const {
  const auto count = static_cast<DWORD>(std::min<std::size_t>(length, records_.size()));
  std::copy_n(records_.begin(), count, buffer);
  return count;
}

DWORD InputQueue::Read(INPUT_RECORD* buffer, DWORD length) {
  const DWORD count = Peek(buffer, length);
  records_.erase(records_.begin(), records_.begin() + count);
  return count;
}

}  // namespace mirvane::platform
