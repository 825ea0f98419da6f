// The Windows headers for the Windows host, made to live beside the host interface.
//
// <windows.h> spells as macros many names the host interface declares as its own constants (TRUE,
// STD_INPUT_HANDLE, KEY_EVENT, ...), and renames GetEnvironmentStringsA. Those macros are dropped
// here, so that after this header the bare names are the interface's (mirvane::platform) and the
// Windows records and calls are reached through the global namespace (::COORD, ::SetConsoleMode).
// The values are the same on both sides. A name added to the interface that <windows.h> also
// defines as a macro shows up as a compile error in this folder, and belongs in the list below.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After <windows.h>: these need its types.
#include <objbase.h>
#include <oleauto.h>

#undef TRUE
#undef FALSE
#undef INVALID_HANDLE_VALUE
#undef STD_INPUT_HANDLE
#undef STD_OUTPUT_HANDLE
#undef STD_ERROR_HANDLE
#undef GENERIC_READ
#undef GENERIC_WRITE
#undef FILE_SHARE_READ
#undef FILE_SHARE_WRITE
#undef OPEN_EXISTING
#undef ENABLE_PROCESSED_OUTPUT
#undef ENABLE_WRAP_AT_EOL_OUTPUT
#undef STARTF_USESHOWWINDOW
#undef STARTF_USESTDHANDLES
#undef SW_SHOWDEFAULT
#undef TLS_OUT_OF_INDEXES
#undef GPTR
#undef MB_OK
#undef KEY_EVENT
#undef MOUSE_EVENT
#undef WINDOW_BUFFER_SIZE_EVENT
#undef MENU_EVENT
#undef FOCUS_EVENT
#undef RIGHT_ALT_PRESSED
#undef LEFT_ALT_PRESSED
#undef RIGHT_CTRL_PRESSED
#undef LEFT_CTRL_PRESSED
#undef SHIFT_PRESSED
#undef NUMLOCK_ON
#undef SCROLLLOCK_ON
#undef CAPSLOCK_ON
#undef ENHANCED_KEY
// The ANSI call is ::GetEnvironmentStrings; the macro would rename the host's own member.
#undef GetEnvironmentStringsA

#include "platform/console_host.h"
