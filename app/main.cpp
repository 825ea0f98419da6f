#include "app/dialogue.h"
#include "platform/console_host.h"
#include "platform/native_host.h"
#include "runtime/runtime.h"

int main() {
  mirvane::platform::InstallHost(&mirvane::platform::NativeHost());
  mirvane::runtime::RunProcess(mirvane::app::WINMAIN);
}
