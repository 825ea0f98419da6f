#include "platform/windows/records.h"

namespace mirvane::platform::win32 {

::COORD ToWindows(COORD coord) {
  ::COORD result{};
  result.X = coord.X;
  result.Y = coord.Y;
  return result;
}

COORD FromWindows(const ::COORD& coord) {
  COORD result;
  result.X = coord.X;
  result.Y = coord.Y;
  return result;
}

::SMALL_RECT ToWindows(const SMALL_RECT& rect) {
  ::SMALL_RECT result{};
  result.Left = rect.Left;
  result.Top = rect.Top;
  result.Right = rect.Right;
  result.Bottom = rect.Bottom;
  return result;
}

SMALL_RECT FromWindows(const ::SMALL_RECT& rect) {
  SMALL_RECT result;
  result.Left = rect.Left;
  result.Top = rect.Top;
  result.Right = rect.Right;
  result.Bottom = rect.Bottom;
  return result;
}

::CHAR_INFO ToWindows(const CHAR_INFO& cell) {
  ::CHAR_INFO result{};
  result.Char.UnicodeChar = 0;  // no stray high byte beside the code-page byte
  result.Char.AsciiChar = cell.Char.AsciiChar;
  result.Attributes = cell.Attributes;
  return result;
}

::CONSOLE_CURSOR_INFO ToWindows(const CONSOLE_CURSOR_INFO& info) {
  ::CONSOLE_CURSOR_INFO result{};
  result.dwSize = info.dwSize;
  result.bVisible = info.bVisible;
  return result;
}

CONSOLE_CURSOR_INFO FromWindows(const ::CONSOLE_CURSOR_INFO& info) {
  CONSOLE_CURSOR_INFO result;
  result.dwSize = static_cast<DWORD>(info.dwSize);
  result.bVisible = info.bVisible;
  return result;
}

CONSOLE_SCREEN_BUFFER_INFO FromWindows(const ::CONSOLE_SCREEN_BUFFER_INFO& info) {
  CONSOLE_SCREEN_BUFFER_INFO result;
  result.dwSize = FromWindows(info.dwSize);
  result.dwCursorPosition = FromWindows(info.dwCursorPosition);
  result.wAttributes = info.wAttributes;
  result.srWindow = FromWindows(info.srWindow);
  result.dwMaximumWindowSize = FromWindows(info.dwMaximumWindowSize);
  return result;
}

// Only the input record's own conversion reads these.
static KEY_EVENT_RECORD FromWindows(const ::KEY_EVENT_RECORD& key) {
  KEY_EVENT_RECORD result;
  result.bKeyDown = key.bKeyDown;
  result.wRepeatCount = key.wRepeatCount;
  result.wVirtualKeyCode = key.wVirtualKeyCode;
  result.wVirtualScanCode = key.wVirtualScanCode;
  result.uChar.AsciiChar = key.uChar.AsciiChar;
  result.dwControlKeyState = static_cast<DWORD>(key.dwControlKeyState);
  return result;
}

static MOUSE_EVENT_RECORD FromWindows(const ::MOUSE_EVENT_RECORD& mouse) {
  MOUSE_EVENT_RECORD result;
  result.dwMousePosition = FromWindows(mouse.dwMousePosition);
  result.dwButtonState = static_cast<DWORD>(mouse.dwButtonState);
  result.dwControlKeyState = static_cast<DWORD>(mouse.dwControlKeyState);
  result.dwEventFlags = static_cast<DWORD>(mouse.dwEventFlags);
  return result;
}

INPUT_RECORD FromWindows(const ::INPUT_RECORD& record) {
  INPUT_RECORD result;
  result.EventType = record.EventType;
  switch (record.EventType) {
    case KEY_EVENT:
      result.Event.KeyEvent = FromWindows(record.Event.KeyEvent);
      break;
    case MOUSE_EVENT:
      result.Event.MouseEvent = FromWindows(record.Event.MouseEvent);
      break;
    case WINDOW_BUFFER_SIZE_EVENT:
      result.Event.WindowBufferSizeEvent.dwSize = FromWindows(record.Event.WindowBufferSizeEvent.dwSize);
      break;
    case MENU_EVENT:
      result.Event.MenuEvent.dwCommandId = record.Event.MenuEvent.dwCommandId;
      break;
    case FOCUS_EVENT:
      result.Event.FocusEvent.bSetFocus = record.Event.FocusEvent.bSetFocus;
      break;
    default:  // a kind the program does not know: it drops the record by its type alone
      break;
  }
  return result;
}

STARTUPINFOA FromWindows(const ::STARTUPINFOA& info) {
  STARTUPINFOA result;
  result.dwFlags = static_cast<DWORD>(info.dwFlags);
  result.wShowWindow = info.wShowWindow;
  result.hStdInput = info.hStdInput;
  result.hStdOutput = info.hStdOutput;
  result.hStdError = info.hStdError;
  return result;
}

}  // namespace mirvane::platform::win32
