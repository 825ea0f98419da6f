// Conversions between the host interface's records and <windows.h>'s, field by field: the two
// families hold the same fields but nothing promises the same layout.
#pragma once

#include "platform/windows/windows_api.h"

namespace mirvane::platform::win32 {

::COORD ToWindows(COORD coord);
COORD FromWindows(const ::COORD& coord);

::SMALL_RECT ToWindows(const SMALL_RECT& rect);
SMALL_RECT FromWindows(const ::SMALL_RECT& rect);

// The console's A calls read and write the character as a byte of its code page.
::CHAR_INFO ToWindows(const CHAR_INFO& cell);

::CONSOLE_CURSOR_INFO ToWindows(const CONSOLE_CURSOR_INFO& info);
CONSOLE_CURSOR_INFO FromWindows(const ::CONSOLE_CURSOR_INFO& info);

CONSOLE_SCREEN_BUFFER_INFO FromWindows(const ::CONSOLE_SCREEN_BUFFER_INFO& info);

INPUT_RECORD FromWindows(const ::INPUT_RECORD& record);

STARTUPINFOA FromWindows(const ::STARTUPINFOA& info);

}  // namespace mirvane::platform::win32
