// The dressing of the dialogue's console window: title, icon, trimmed system menu, size and
// position. It is split around the first clear of the screen.
#pragma once

#include "platform/console_host.h"

namespace mirvane::app {

// Initialises the window library, then toolbar, title, icon and system menu.
void DressWindow(platform::HINSTANCE instance);
// Size and position, once the screen has been cleared white.
void FinishWindowDressing();

// The dialogue's one error box, for a units answer other than F or M.
void ShowUnitsError();

}  // namespace mirvane::app
