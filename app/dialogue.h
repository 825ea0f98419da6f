// The program's dialogue, from the window dressing to the final key wait.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console_host.h"

namespace mirvane::app {

std::int32_t WINMAIN(platform::HINSTANCE instance, platform::HINSTANCE previousInstance,
                     std::string_view commandLine, std::int32_t showCommand);

}  // namespace mirvane::app
