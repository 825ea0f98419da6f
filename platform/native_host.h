// The host of the system being built for: the terminal host on POSIX systems, the Windows console
// host on Windows. Built by the folder of that system (posix/ or windows/) as mirvane::native_host.
#pragma once

#include "platform/console_host.h"

namespace mirvane::platform {

ConsoleHost& NativeHost();

}  // namespace mirvane::platform
