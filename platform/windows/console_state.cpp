#include "platform/windows/console_state.h"

namespace mirvane::platform::win32 {
namespace {

// Only an input buffer answers how many events it holds; a screen buffer has a mode too.
bool IsConsoleInput(HANDLE handle) {
  ::DWORD events = 0;
  return ::GetNumberOfConsoleInputEvents(handle, &events) != 0;
}

}  // namespace

void ConsoleStateKeeper::BeforeSetMode(HANDLE handle) {
  if (inputModeKept_.load() || !IsConsoleInput(handle)) return;
  ::DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode) == 0) return;
  inputHandle_ = handle;
  inputMode_ = mode;
  inputModeKept_.store(true);
}

void ConsoleStateKeeper::BeforeSetCursorInfo(HANDLE screen) {
  if (cursorKept_.load()) return;
  ::CONSOLE_CURSOR_INFO cursor{};
  if (::GetConsoleCursorInfo(screen, &cursor) == 0) return;
  screenHandle_ = screen;
  cursor_ = cursor;
  cursorKept_.store(true);
}

void ConsoleStateKeeper::GiveBack() {
  if (inputModeKept_.load()) ::SetConsoleMode(inputHandle_, inputMode_);
  if (cursorKept_.load()) ::SetConsoleCursorInfo(screenHandle_, &cursor_);
}

}  // namespace mirvane::platform::win32
