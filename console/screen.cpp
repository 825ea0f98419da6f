#include <algorithm>
#include <array>

#include "console/console.h"
#include "console/screen_internal.h"

namespace mirvane::console {
namespace {

using platform::Host;

constexpr std::uint8_t kBlank = 0x20;
constexpr std::int32_t kSmallestCursor = 10;
constexpr std::int32_t kLargestCursor = 99;

platform::WORD CurrentAttribute() {
  const ScreenState& state = Screen();
  return static_cast<platform::WORD>(state.foreground | state.background << 4);
}

platform::COORD Coord(int x, int y) {
  return {static_cast<platform::SHORT>(x), static_cast<platform::SHORT>(y)};
}

void HandCursorToConsole(platform::HANDLE screen, std::int32_t size, bool visible) {
  const platform::CONSOLE_CURSOR_INFO info{static_cast<platform::DWORD>(size),
                                           visible ? platform::TRUE : platform::FALSE};
  Host().SetConsoleCursorInfo(screen, &info);
}

}  // namespace

ScreenState& Screen() {
  static ScreenState state;
  return state;
}

ScreenGeometry QueryScreen() {
  platform::CONSOLE_SCREEN_BUFFER_INFO info{};
  Host().GetConsoleScreenBufferInfo(Screen().screenHandle, &info);
  return {info.dwSize.X, info.dwSize.Y, info.dwCursorPosition.X, info.dwCursorPosition.Y};
}

// ---- Start-up ---------------------------------------------------------------------------------

void ReadStartupCursorShape(platform::HANDLE screenHandle, platform::HANDLE standardOutput) {
  ScreenState& state = Screen();
  for (platform::HANDLE handle : {screenHandle, standardOutput}) {
    platform::CONSOLE_CURSOR_INFO info{};
    if (Host().GetConsoleCursorInfo(handle, &info) && info.dwSize != 0) {
      state.cursorSize = static_cast<std::int32_t>(info.dwSize);
      state.cursorVisible = info.bVisible;
      return;
    }
  }
  state.cursorSize = kSmallestCursor;
  state.cursorVisible = 1;
  HandCursorToConsole(screenHandle, state.cursorSize, true);
}

void ResetScreenState(platform::HANDLE screenHandle) {
  ScreenState& state = Screen();
  state.foreground = 7;
  state.background = 0;
  state.scrollPending = 0;
  state.cursorRestorePending = 0;
  state.screenHandle = screenHandle;
}

// ---- Output -------------------------------------------------------------------------------------

void ScrollScreenUp() {
  const ScreenGeometry screen = QueryScreen();
  const platform::SMALL_RECT everythingButTheTopRow{
      0, 1, static_cast<platform::SHORT>(screen.width - 1),
      static_cast<platform::SHORT>(screen.height - 1)};
  platform::CHAR_INFO fill;
  fill.Char.AsciiChar = static_cast<char>(kBlank);
  fill.Attributes = CurrentAttribute();
  Host().ScrollConsoleScreenBufferA(Screen().screenHandle, &everythingButTheTopRow, nullptr,
                                    Coord(0, 0), &fill);
}

void WriteCells(const std::uint8_t* bytes, std::size_t count) {
  ScreenState& state = Screen();
  const ScreenGeometry screen = QueryScreen();
  const platform::WORD attribute = CurrentAttribute();
  int x = screen.x;
  int y = screen.y;
  std::array<platform::CHAR_INFO, kStagingCells> staging;

  while (count > 0) {
    if (state.scrollPending) {
      state.scrollPending = 0;
      ScrollScreenUp();
    }
    // Also cut at the staging area, so that rows wider than it are written in several runs.
    const int run = static_cast<int>(
        std::min<std::size_t>({count, static_cast<std::size_t>(std::max(screen.width - x, 0)),
                               staging.size()}));
    if (run == 0) break;  // no screen to write on: the size query failed
    for (int i = 0; i < run; ++i) {
      staging[static_cast<std::size_t>(i)].Char.AsciiChar = static_cast<char>(bytes[i]);
      staging[static_cast<std::size_t>(i)].Attributes = attribute;
    }
    platform::SMALL_RECT region{static_cast<platform::SHORT>(x), static_cast<platform::SHORT>(y),
                                static_cast<platform::SHORT>(x + run - 1),
                                static_cast<platform::SHORT>(y)};
    Host().WriteConsoleOutputA(state.screenHandle, staging.data(), Coord(run, 1), Coord(0, 0),
                               &region);
    bytes += run;
    count -= static_cast<std::size_t>(run);
    x += run;
    if (x >= screen.width) {
      x = 0;
      if (y + 1 >= screen.height) {
        state.scrollPending = 0xFF;  // the last row's wrap scrolls only when more output comes
      } else {
        ++y;
      }
    }
  }
  Host().SetConsoleCursorPosition(state.screenHandle, Coord(x, y));
}

void PrintText(std::string_view text) {
  if (text.empty()) return;
  WriteCells(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void PrintChar(std::uint8_t character) { WriteCells(&character, 1); }

void PrintNewLine() {
  const ScreenGeometry screen = QueryScreen();
  if (screen.y + 1 < screen.height) {
    Locate(screen.y + 2, 1);
    return;
  }
  ScreenState& state = Screen();
  if (state.scrollPending) {
    state.scrollPending = 0;
    ScrollScreenUp();
  }
  ScrollScreenUp();
  Locate(screen.height, 1);
}

// ---- Cursor position and colours ----------------------------------------------------------------

void Locate(std::int32_t row, std::int32_t column) {
  const ScreenGeometry screen = QueryScreen();
  const int x = column >= 1 && column <= screen.width ? column - 1 : screen.x;
  const int y = row >= 1 && row <= screen.height ? row - 1 : screen.y;
  Host().SetConsoleCursorPosition(Screen().screenHandle, Coord(x, y));
  Screen().scrollPending = 0;
}

std::int32_t CursorRow() { return QueryScreen().y + 1; }

void SetColor(std::int32_t foreground, std::int32_t background, std::int32_t fillCount) {
  ScreenState& state = Screen();
  // Unsigned tests, so that a negative colour keeps the current one too.
  if (static_cast<std::uint32_t>(foreground) >= 16) foreground = state.foreground;
  if (static_cast<std::uint32_t>(background) >= 16) background = state.background;
  state.foreground = foreground;
  state.background = background;
  const platform::WORD attribute = CurrentAttribute();
  Host().SetConsoleTextAttribute(state.screenHandle, attribute);
  const ScreenGeometry screen = QueryScreen();
  // A negative count recolours nothing, rather than the rest of the buffer.
  const auto cells = static_cast<platform::DWORD>(std::max(fillCount, 0));
  platform::DWORD written = 0;
  Host().FillConsoleOutputAttribute(state.screenHandle, attribute, cells, Coord(screen.x, screen.y),
                                    &written);
}

void ClearScreen() {
  HideCursorTemporarily();
  ScreenState& state = Screen();
  const ScreenGeometry screen = QueryScreen();
  const auto cells = static_cast<platform::DWORD>(std::max(screen.width, 0) *
                                                  std::max(screen.height, 0));
  platform::DWORD written = 0;
  Host().FillConsoleOutputCharacterA(state.screenHandle, static_cast<char>(kBlank), cells,
                                     Coord(0, 0), &written);
  Host().FillConsoleOutputAttribute(state.screenHandle, CurrentAttribute(), cells, Coord(0, 0),
                                    &written);
  Locate(1, 1);
  constexpr std::uint8_t kFourBlanks[] = {kBlank, kBlank, kBlank, kBlank};
  for (int i = 0; i < 16; ++i) WriteCells(kFourBlanks, sizeof kFourBlanks);
  Locate(1, 1);
  RestoreCursor();
}

// ---- Cursor shape -------------------------------------------------------------------------------

void ApplyCursorShape() {
  const ScreenState& state = Screen();
  HandCursorToConsole(state.screenHandle, state.cursorSize, state.cursorVisible != 0);
}

void SetCursorVisible(std::int32_t mode) {
  ScreenState& state = Screen();
  if (mode > 0) state.cursorSize = std::clamp(mode, kSmallestCursor, kLargestCursor);
  state.cursorVisible = mode != 0 ? 1 : 0;
  ApplyCursorShape();
}

void HideCursorTemporarily() {
  ScreenState& state = Screen();
  if (!state.cursorVisible) return;
  HandCursorToConsole(state.screenHandle, state.cursorSize, false);
  state.cursorRestorePending = 1;
}

void ShowCursorTemporarily() {
  ScreenState& state = Screen();
  if (state.cursorVisible) return;
  HandCursorToConsole(state.screenHandle, state.cursorSize, true);
  state.cursorRestorePending = 1;
}

void RestoreCursor() {
  ScreenState& state = Screen();
  if (!state.cursorRestorePending) return;
  ApplyCursorShape();
  state.cursorRestorePending = 0;
}

}  // namespace mirvane::console
