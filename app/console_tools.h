// The console-window library's entries, as the dialogue calls them. Each hands over to the host's
// entry of the same name; texts go over as OLE strings made for the call and freed after it, and
// the floating-point control word is loaded again after every call, since the library may change
// it.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console_host.h"

namespace mirvane::app {

std::int32_t InitConsoleTools(platform::HINSTANCE instance, std::int32_t a, std::int32_t b,
                              std::int32_t c, std::int32_t* d, std::int32_t e);
std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b);
// The library hands back a text of its own; it is released unread.
void ConsoleTitle(std::string_view title);
std::int32_t ConsoleIcon(std::int32_t icon);
std::int32_t DeleteWindowMenuItem(std::int32_t item);
std::int32_t Console80x(std::int32_t rows);
std::int32_t ConsoleMove(std::int32_t x, std::int32_t y);
// Returns once the user has dismissed the box.
std::int32_t ConsoleMessageBox(std::string_view text, std::int32_t a, std::string_view caption,
                               std::int32_t b, std::int32_t c);

}  // namespace mirvane::app
