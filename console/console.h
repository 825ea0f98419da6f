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

void ClearScreen();
void SetColor(std::int32_t foreground, std::int32_t background, std::int32_t fillCount);
void Locate(std::int32_t row, std::int32_t column);
std::int32_t CursorRow();
void PrintText(std::string_view text);
void PrintChar(std::uint8_t character);
void PrintNewLine();
void SetCursorVisible(std::int32_t mode);
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

KeyPress PeekKey();
void DiscardInputRecord();
std::uint8_t ReadKeyChar();
std::string ReadLine();
std::int32_t WaitKey();
void Beep();

}  // namespace mirvane::console
