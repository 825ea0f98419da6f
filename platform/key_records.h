// Input records as a console queues them, and the US keyboard layout that turns a character into
// the key that types it. Tests queue these records; the terminal host's key decoder builds them.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/console_host.h"

namespace mirvane::platform {

// Set-1 scan codes of the keys that carry no character, or whose character is not the point.
namespace scan {
inline constexpr WORD kEscape = 0x01;
inline constexpr WORD kBackspace = 0x0E;
inline constexpr WORD kTab = 0x0F;
inline constexpr WORD kEnter = 0x1C;
inline constexpr WORD kSpace = 0x39;

inline constexpr WORD kCtrl = 0x1D;
inline constexpr WORD kLeftShift = 0x2A;
inline constexpr WORD kRightShift = 0x36;
inline constexpr WORD kAlt = 0x38;
inline constexpr WORD kCapsLock = 0x3A;
inline constexpr WORD kNumLock = 0x45;
inline constexpr WORD kScrollLock = 0x46;

inline constexpr WORD kUp = 0x48;
inline constexpr WORD kDown = 0x50;
inline constexpr WORD kLeft = 0x4B;
inline constexpr WORD kRight = 0x4D;
inline constexpr WORD kHome = 0x47;
inline constexpr WORD kEnd = 0x4F;
inline constexpr WORD kInsert = 0x52;
inline constexpr WORD kDelete = 0x53;
inline constexpr WORD kPageUp = 0x49;
inline constexpr WORD kPageDown = 0x51;
inline constexpr WORD kF1 = 0x3B;  // F1 to F10 are 0x3B to 0x44
inline constexpr WORD kF10 = 0x44;
inline constexpr WORD kF11 = 0x57;
inline constexpr WORD kF12 = 0x58;

constexpr WORD FunctionKey(int number) {  // 1 to 12
  return number <= 10 ? static_cast<WORD>(kF1 + number - 1) : number == 11 ? kF11 : kF12;
}
}  // namespace scan

// A key event. character is the byte the key gives (0 for none); state holds the
// dwControlKeyState flags (SHIFT_PRESSED, CAPSLOCK_ON, ...).
constexpr INPUT_RECORD KeyRecord(bool down, std::uint8_t character, WORD scanCode, DWORD state = 0,
                                 WORD repeatCount = 1) {
  INPUT_RECORD record;
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeatCount;
  record.Event.KeyEvent.wVirtualScanCode = scanCode;
  record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(character);
  record.Event.KeyEvent.dwControlKeyState = state;
  return record;
}

constexpr INPUT_RECORD KeyDown(std::uint8_t character, WORD scanCode, DWORD state = 0,
                               WORD repeatCount = 1) {
  return KeyRecord(true, character, scanCode, state, repeatCount);
}

constexpr INPUT_RECORD KeyUp(std::uint8_t character, WORD scanCode, DWORD state = 0) {
  return KeyRecord(false, character, scanCode, state);
}

constexpr INPUT_RECORD FocusRecord(bool gained) {
  INPUT_RECORD record;
  record.EventType = FOCUS_EVENT;
  record.Event.FocusEvent = {gained ? TRUE : FALSE};
  return record;
}

constexpr INPUT_RECORD MenuRecord(UINT commandId) {
  INPUT_RECORD record;
  record.EventType = MENU_EVENT;
  record.Event.MenuEvent = {commandId};
  return record;
}

constexpr INPUT_RECORD MouseRecord(SHORT column, SHORT row, DWORD buttons = 0, DWORD flags = 0) {
  INPUT_RECORD record;
  record.EventType = MOUSE_EVENT;
  record.Event.MouseEvent = {{column, row}, buttons, 0, flags};
  return record;
}

constexpr INPUT_RECORD BufferSizeRecord(SHORT columns, SHORT rows) {
  INPUT_RECORD record;
  record.EventType = WINDOW_BUFFER_SIZE_EVENT;
  record.Event.WindowBufferSizeEvent = {{columns, rows}};
  return record;
}

// The key of the US layout that types a character, with the modifier it needs.
struct UsKey {
  WORD scanCode = 0;
  bool shift = false;
  bool ctrl = false;

  // The dwControlKeyState of a press of this key (left Ctrl for control characters).
  DWORD ControlKeyState() const {
    return (shift ? SHIFT_PRESSED : 0u) | (ctrl ? LEFT_CTRL_PRESSED : 0u);
  }
};

// For a character byte 1 to 127; nothing for 0 and for bytes no US key types (128 to 255, and
// control characters without a Ctrl combination). Enter 13, Backspace 8, Tab 9 and Esc 27 are their
// own keys; other control characters are Ctrl with a letter (1 to 26) or with \ ] 6 - (28 to 31,
// the last two with Shift); 127 is Ctrl+Backspace.
std::optional<UsKey> UsKeyFor(std::uint8_t character);

// The character a US key gives: without Shift, or with it. 0 for keys that give none.
std::uint8_t UsCharacterOf(WORD scanCode, bool shift);

}  // namespace mirvane::platform
