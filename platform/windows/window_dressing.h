// The console window's dressing, done with the platform's own calls on the console window: what
// the program asks of its console-window library.
#pragma once

#include <cstdint>
#include <string>

#include "platform/windows/windows_api.h"

namespace mirvane::platform::win32 {

// The bytes of an OLE byte string, up to its stored length; a null string is empty.
std::string OleText(BSTR text);

// Sets the console's title; returns the title it had, as an OLE string for SysFreeString.
BSTR ReplaceConsoleTitle(BSTR title);

// Gives the console window one of the system's own icons (32512 is the application icon).
bool SetConsoleWindowIcon(std::int32_t icon);

// Removes a command from the console window's system menu. Only values in the system commands'
// range (0xF000 and up: Restore 0xF120, Size 0xF000, Maximize 0xF030, ...) name a command; other
// values, 0, -1 and -2 among them, remove nothing, since looked up by command 0 would take out a
// separator.
bool RemoveSystemMenuCommand(std::int32_t item);

// Makes the console's screen buffer columns × rows cells and its window as large, or as large as
// the display allows.
bool ResizeConsole(std::int32_t columns, std::int32_t rows);

// Places the console window: 32767 on an axis centres the window on its monitor's work area along
// that axis; any other value is the window's left or top edge in screen pixels.
inline constexpr std::int32_t kCentreWindow = 32767;
bool PlaceConsoleWindow(std::int32_t x, std::int32_t y);

// A modal box owned by the console window, with an OK button; returns once it is dismissed.
std::int32_t ShowMessageBox(BSTR text, BSTR caption);

}  // namespace mirvane::platform::win32
