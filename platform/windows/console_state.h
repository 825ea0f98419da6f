// What the program changes in its console and gives back when it ends: the input mode and the
// cursor's size and visibility, each as it was before the program first changed it. The output
// mode, the screen's content, its colours and the default attribute are the program's result and
// stay as the program left them.
#pragma once

#include <atomic>

#include "platform/windows/windows_api.h"

namespace mirvane::platform::win32 {

class ConsoleStateKeeper {
 public:
  // Called before a mode is set on handle: keeps the mode of a console input handle, the first time.
  void BeforeSetMode(HANDLE handle);
  // Called before a cursor shape is set on screen: keeps its shape, the first time.
  void BeforeSetCursorInfo(HANDLE screen);
  // Sets what was kept again. Harmless to repeat, and safe from the console's control thread.
  void GiveBack();

 private:
  HANDLE inputHandle_ = nullptr;
  ::DWORD inputMode_ = 0;
  std::atomic<bool> inputModeKept_{false};

  HANDLE screenHandle_ = nullptr;
  ::CONSOLE_CURSOR_INFO cursor_{};
  std::atomic<bool> cursorKept_{false};
};

}  // namespace mirvane::platform::win32
