#include "platform/console_host.h"

namespace mirvane::platform {
namespace {
ConsoleHost* installedHost = nullptr;
}

ConsoleHost& Host() { return *installedHost; }

void InstallHost(ConsoleHost* host) { installedHost = host; }

}  // namespace mirvane::platform
