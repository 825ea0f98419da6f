#include "platform/windows/window_dressing.h"

#include <algorithm>
#include <vector>

namespace mirvane::platform::win32 {
namespace {

// Consoles keep titles shorter than this.
constexpr ::DWORD kTitleCapacity = 64 * 1024;

// A console window that belongs to another process may be slow or hung; never wait on it for long.
constexpr ::UINT kWindowMessageTimeoutMs = 1000;

constexpr std::int32_t kFirstSystemCommand = 0xF000;
constexpr std::int32_t kLastSystemCommand = 0xFFFF;

void SendToWindow(HWND window, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
  ::DWORD_PTR result = 0;
  ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kWindowMessageTimeoutMs,
                        &result);
}

// The active screen buffer of the process's console, whatever the standard handles are.
HANDLE OpenConsoleScreen() {
  return ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

::SMALL_RECT WindowAtOrigin(SHORT columns, SHORT rows) {
  ::SMALL_RECT window{};
  window.Left = 0;
  window.Top = 0;
  window.Right = static_cast<SHORT>(columns - 1);
  window.Bottom = static_cast<SHORT>(rows - 1);
  return window;
}

SHORT FitWithin(SHORT wanted, SHORT limit) { return limit > 0 ? std::min(wanted, limit) : wanted; }

bool ResizeScreen(HANDLE screen, SHORT columns, SHORT rows) {
  ::CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(screen, &info) == 0) return false;
  const SHORT windowColumns = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
  const SHORT windowRows = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);

  // The window has to lie inside the buffer at every step: shrink it first where the buffer
  // shrinks, then size the buffer, then grow the window to the buffer.
  const ::SMALL_RECT interim = WindowAtOrigin(std::min(windowColumns, columns), std::min(windowRows, rows));
  ::SetConsoleWindowInfo(screen, 1, &interim);
  ::COORD size{};
  size.X = columns;
  size.Y = rows;
  const bool sized = ::SetConsoleScreenBufferSize(screen, size) != 0;

  const ::COORD largest = ::GetLargestConsoleWindowSize(screen);
  const ::SMALL_RECT window = WindowAtOrigin(FitWithin(columns, largest.X), FitWithin(rows, largest.Y));
  ::SetConsoleWindowInfo(screen, 1, &window);
  return sized;
}

std::int32_t CentredEdge(std::int32_t wanted, LONG areaStart, LONG areaEnd, LONG extent) {
  if (wanted != kCentreWindow) return wanted;
  // A window larger than the area keeps its top-left corner (and title bar) inside the area.
  return std::max(areaStart, areaStart + (areaEnd - areaStart - extent) / 2);
}

}  // namespace

std::string OleText(BSTR text) {
  if (text == nullptr) return {};
  return std::string(text, ::SysStringByteLen(reinterpret_cast<::BSTR>(text)));
}

BSTR ReplaceConsoleTitle(BSTR title) {
  std::vector<char> old(kTitleCapacity, '\0');
  const ::DWORD oldLength = std::min(::GetConsoleTitleA(old.data(), kTitleCapacity), kTitleCapacity - 1);
  ::SetConsoleTitleA(OleText(title).c_str());
  return reinterpret_cast<BSTR>(::SysAllocStringByteLen(old.data(), oldLength));
}

bool SetConsoleWindowIcon(std::int32_t icon) {
  if (icon < 0 || icon > 0xFFFF) return false;
  HICON handle = ::LoadIconA(nullptr, MAKEINTRESOURCEA(icon));
  HWND window = ::GetConsoleWindow();
  if (handle == nullptr || window == nullptr) return false;
  const auto iconParameter = reinterpret_cast<::LPARAM>(handle);
  SendToWindow(window, WM_SETICON, ICON_BIG, iconParameter);
  SendToWindow(window, WM_SETICON, ICON_SMALL, iconParameter);
  return true;
}

bool RemoveSystemMenuCommand(std::int32_t item) {
  if (item < kFirstSystemCommand || item > kLastSystemCommand) return false;
  HMENU menu = ::GetSystemMenu(::GetConsoleWindow(), 0);
  if (menu == nullptr) return false;
  return ::DeleteMenu(menu, static_cast<::UINT>(item), MF_BYCOMMAND) != 0;
}

bool ResizeConsole(std::int32_t columns, std::int32_t rows) {
  if (columns < 1 || columns > 0x7FFF || rows < 1 || rows > 0x7FFF) return false;
  HANDLE screen = OpenConsoleScreen();
  if (screen == INVALID_HANDLE_VALUE) return false;
  const bool resized = ResizeScreen(screen, static_cast<SHORT>(columns), static_cast<SHORT>(rows));
  ::CloseHandle(screen);
  return resized;
}

bool PlaceConsoleWindow(std::int32_t x, std::int32_t y) {
  HWND window = ::GetConsoleWindow();
  ::RECT frame{};
  if (window == nullptr || ::GetWindowRect(window, &frame) == 0) return false;
  ::MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) == 0) {
    return false;
  }
  const ::RECT& area = monitor.rcWork;
  const int left = CentredEdge(x, area.left, area.right, frame.right - frame.left);
  const int top = CentredEdge(y, area.top, area.bottom, frame.bottom - frame.top);
  return ::SetWindowPos(window, nullptr, left, top, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

std::int32_t ShowMessageBox(BSTR text, BSTR caption) {
  return ::MessageBoxA(::GetConsoleWindow(), OleText(text).c_str(), OleText(caption).c_str(), MB_OK);
}

}  // namespace mirvane::platform::win32
