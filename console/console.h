// The console text screen: cells, colours and cursor of the screen buffer, the key reader, the line
// editor, the key wait and the beep. Coordinates are 1-based at this interface.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/console_host.h"

namespace mirvane::console {

// ---- Screen -----------------------------------------------------------------------------------
struct ScreenState {
  std::int32_t foreground = 7;
  std::int32_t background = 0;
  std::uint8_t scrollPending = 0;  // 0 or 0xFF
  std::int32_t cursorSize = 10;
  std::int32_t cursorVisible = 1;
  std::int32_t cursorRestorePending = 0;
  platform::HANDLE screenHandle = nullptr;
};

// The process-wide screen state.
ScreenState& Screen();

// Start-up: reads the console's cursor shape (falling back to the standard output handle, then to
// size 10 visible) into the state.
void ReadStartupCursorShape(platform::HANDLE screenHandle, platform::HANDLE standardOutput);
// Start-up: colours 7 on 0, flags clear, screenHandle set; the cursor shape read before is kept.
void ResetScreenState(platform::HANDLE screenHandle);

// Every cell of the buffer blank in the current colours; cursor to row 1, column 1.
void ClearScreen();
// Colours outside 0 to 15 keep the current one; recolours fillCount cells from the cursor on (none
// for a count of 0 or less).
void SetColor(std::int32_t foreground, std::int32_t background, std::int32_t fillCount);
// A coordinate outside the screen keeps the current one. Cancels a pending scroll.
void Locate(std::int32_t row, std::int32_t column);
std::int32_t CursorRow();
// Writes the bytes as cells, none interpreted, wrapping at the right edge. Filling the last row
// leaves its scroll pending until the next output; screens of any width are served.
void PrintText(std::string_view text);
void PrintChar(std::uint8_t character);
// Column 1 of the next row, scrolling at the bottom.
void PrintNewLine();
// 0 hides the cursor, a negative mode shows it, a positive one shows it with that size (10 to 99).
void SetCursorVisible(std::int32_t mode);
// Temporary changes of what the console shows, undone by RestoreCursor.
void ShowCursorTemporarily();
void HideCursorTemporarily();
void RestoreCursor();

// ---- Keyboard ---------------------------------------------------------------------------------
struct KeyPress {
  int length = 0;  // 0 nothing pending, 1 a character key, 2 an extended key
  std::uint8_t character = 0;
};

struct KeyboardState {
  platform::HANDLE consoleInputHandle = nullptr;
};

// The process-wide keyboard state.
KeyboardState& Keyboard();
void ResetKeyboardState(platform::HANDLE consoleInputHandle);

// Drops what is no key press from the head of the queue and describes the key press there,
// leaving it queued.
KeyPress PeekKey();
void DiscardInputRecord();
// The next character key press, removed from the queue; 1 to 255.
std::uint8_t ReadKeyChar();
// One line typed and echoed at the cursor, at most 10,000 bytes, without its Enter; ends with a
// PrintNewLine. Backspace erases the last character, also across row starts.
std::string ReadLine();
// Returns -1 once a key press is pending, leaving it queued.
std::int32_t WaitKey();
void Beep();

}  // namespace mirvane::console
