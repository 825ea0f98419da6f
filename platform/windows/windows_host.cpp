// The Windows console host. The console, process and OLE operations are the kernel32, user32, ole32
// and oleaut32 calls of the same name, with the records copied between the interface's and
// <windows.h>'s; the console-window library's entries are done with the window calls of
// window_dressing.h. Two things are added: when the process ends, by ExitProcess or by a console
// control event, the console gets back the input mode and cursor shape the program found; and a
// console input that has gone for good ends the process instead of being polled for ever.
#include "platform/windows/windows_api.h"

#include <algorithm>
#include <vector>

#include "platform/native_host.h"
#include "platform/windows/console_state.h"
#include "platform/windows/records.h"
#include "platform/windows/window_dressing.h"

namespace mirvane::platform {
namespace {

// The exit code when the console input can never be read again (console closed or never there).
constexpr UINT kConsoleLostExitCode = 1;

// The failures of a console read that no retry can mend: the handle is not (or no longer) a console
// input, or the console behind it has closed.
bool ConsoleInputLost(::DWORD error) {
  return error == ERROR_INVALID_HANDLE || error == ERROR_BROKEN_PIPE ||
         error == ERROR_PIPE_NOT_CONNECTED;
}

win32::ConsoleStateKeeper consoleState;

// Ctrl+Break and closing the console end the process without passing through the program's exit;
// the console gets its state back on that path too, and the default handling then ends the process.
::BOOL WINAPI GiveBackOnConsoleControl(::DWORD /*event*/) {
  consoleState.GiveBack();
  return 0;
}

class WindowsConsoleHost final : public ConsoleHost {
 public:
  WindowsConsoleHost() { ::SetConsoleCtrlHandler(GiveBackOnConsoleControl, 1); }

  BOOL GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) override {
    ::CONSOLE_SCREEN_BUFFER_INFO windowsInfo{};
    const BOOL ok = ::GetConsoleScreenBufferInfo(screen, &windowsInfo);
    if (ok != 0 && info != nullptr) *info = win32::FromWindows(windowsInfo);
    return ok;
  }

  BOOL SetConsoleCursorPosition(HANDLE screen, COORD position) override {
    return ::SetConsoleCursorPosition(screen, win32::ToWindows(position));
  }

  BOOL WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                           COORD bufferCoord, SMALL_RECT* writeRegion) override {
    std::vector<::CHAR_INFO> cells;
    if (buffer != nullptr && bufferSize.X > 0 && bufferSize.Y > 0) {
      const auto count = static_cast<std::size_t>(bufferSize.X) * static_cast<std::size_t>(bufferSize.Y);
      cells.reserve(count);
      for (std::size_t i = 0; i < count; ++i) cells.push_back(win32::ToWindows(buffer[i]));
    }
    ::SMALL_RECT region{};
    if (writeRegion != nullptr) region = win32::ToWindows(*writeRegion);
    const BOOL ok = ::WriteConsoleOutputA(screen, buffer != nullptr ? cells.data() : nullptr,
                                          win32::ToWindows(bufferSize), win32::ToWindows(bufferCoord),
                                          writeRegion != nullptr ? &region : nullptr);
    if (writeRegion != nullptr) *writeRegion = win32::FromWindows(region);
    return ok;
  }

  BOOL ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override {
    ::SMALL_RECT windowsScroll{};
    ::SMALL_RECT windowsClip{};
    ::CHAR_INFO windowsFill{};
    if (scroll != nullptr) windowsScroll = win32::ToWindows(*scroll);
    if (clip != nullptr) windowsClip = win32::ToWindows(*clip);
    if (fill != nullptr) windowsFill = win32::ToWindows(*fill);
    return ::ScrollConsoleScreenBufferA(screen, scroll != nullptr ? &windowsScroll : nullptr,
                                        clip != nullptr ? &windowsClip : nullptr,
                                        win32::ToWindows(destination),
                                        fill != nullptr ? &windowsFill : nullptr);
  }

  BOOL FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length, COORD start,
                                   DWORD* written) override {
    ::DWORD count = 0;
    const BOOL ok = ::FillConsoleOutputCharacterA(screen, character, length, win32::ToWindows(start), &count);
    if (written != nullptr) *written = static_cast<DWORD>(count);
    return ok;
  }

  BOOL FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length, COORD start,
                                  DWORD* written) override {
    ::DWORD count = 0;
    const BOOL ok = ::FillConsoleOutputAttribute(screen, attribute, length, win32::ToWindows(start), &count);
    if (written != nullptr) *written = static_cast<DWORD>(count);
    return ok;
  }

  BOOL SetConsoleTextAttribute(HANDLE screen, WORD attribute) override {
    return ::SetConsoleTextAttribute(screen, attribute);
  }

  BOOL GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) override {
    ::CONSOLE_CURSOR_INFO windowsInfo{};
    const BOOL ok = ::GetConsoleCursorInfo(screen, &windowsInfo);
    if (ok != 0 && info != nullptr) *info = win32::FromWindows(windowsInfo);
    return ok;
  }

  BOOL SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) override {
    consoleState.BeforeSetCursorInfo(screen);
    if (info == nullptr) return ::SetConsoleCursorInfo(screen, nullptr);
    const ::CONSOLE_CURSOR_INFO windowsInfo = win32::ToWindows(*info);
    return ::SetConsoleCursorInfo(screen, &windowsInfo);
  }

  BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override {
    std::vector<::INPUT_RECORD> records(length);
    ::DWORD count = 0;
    const BOOL ok = ::PeekConsoleInputA(input, records.data(), length, &count);
    if (ok == 0 && ConsoleInputLost(::GetLastError())) ExitProcess(kConsoleLostExitCode);
    CopyRecords(records, count, buffer, read);
    return ok;
  }

  BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override {
    std::vector<::INPUT_RECORD> records(length);
    ::DWORD count = 0;
    const BOOL ok = ::ReadConsoleInputA(input, records.data(), length, &count);
    CopyRecords(records, count, buffer, read);
    return ok;
  }

  void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }

  BOOL MessageBeep(UINT type) override { return ::MessageBeep(type); }

  HRESULT CoInitialize(void* reserved) override { return ::CoInitialize(reserved); }
  void CoUninitialize() override { ::CoUninitialize(); }

  HANDLE GetStdHandle(DWORD which) override { return ::GetStdHandle(which); }

  HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security, DWORD disposition,
                     DWORD flags, HANDLE templateFile) override {
    return ::CreateFileA(name, access, share, static_cast<::SECURITY_ATTRIBUTES*>(security),
                         disposition, flags, templateFile);
  }

  BOOL GetConsoleMode(HANDLE handle, DWORD* mode) override {
    ::DWORD windowsMode = 0;
    const BOOL ok = ::GetConsoleMode(handle, &windowsMode);
    if (mode != nullptr) *mode = static_cast<DWORD>(windowsMode);
    return ok;
  }

  BOOL SetConsoleMode(HANDLE handle, DWORD mode) override {
    consoleState.BeforeSetMode(handle);
    return ::SetConsoleMode(handle, mode);
  }

  void GetStartupInfoA(STARTUPINFOA* info) override {
    ::STARTUPINFOA windowsInfo{};
    windowsInfo.cb = sizeof windowsInfo;
    ::GetStartupInfoA(&windowsInfo);
    if (info != nullptr) *info = win32::FromWindows(windowsInfo);
  }

  const char* GetCommandLineA() override { return ::GetCommandLineA(); }
  char* GetEnvironmentStringsA() override { return ::GetEnvironmentStrings(); }
  BOOL FreeEnvironmentStringsA(char* block) override { return ::FreeEnvironmentStringsA(block); }
  HMODULE GetModuleHandleA(const char* name) override { return ::GetModuleHandleA(name); }

  DWORD TlsAlloc() override { return static_cast<DWORD>(::TlsAlloc()); }
  BOOL TlsSetValue(DWORD index, void* value) override { return ::TlsSetValue(index, value); }
  void* TlsGetValue(DWORD index) override { return ::TlsGetValue(index); }
  BOOL TlsFree(DWORD index) override { return ::TlsFree(index); }
  void* GlobalAlloc(UINT flags, std::size_t bytes) override { return ::GlobalAlloc(flags, bytes); }
  void* GlobalFree(void* memory) override { return ::GlobalFree(memory); }

  [[noreturn]] void ExitProcess(UINT code) override {
    consoleState.GiveBack();
    ::ExitProcess(code);
  }

  BSTR SysAllocStringByteLen(const char* bytes, UINT length) override {
    return reinterpret_cast<BSTR>(::SysAllocStringByteLen(bytes, length));
  }
  void SysFreeString(BSTR text) override { ::SysFreeString(reinterpret_cast<::BSTR>(text)); }

  // The library's own set-up and its toolbar have nothing to do here: the console window is looked
  // up by each entry, and a console window has no toolbar.
  std::int32_t InitConsoleTools(HINSTANCE, std::int32_t, std::int32_t, std::int32_t, std::int32_t*,
                                std::int32_t) override {
    return 0;
  }
  std::int32_t ConsoleToolBar(std::int32_t, std::int32_t) override { return 0; }

  BSTR ConsoleTitle(BSTR title) override { return win32::ReplaceConsoleTitle(title); }
  std::int32_t ConsoleIcon(std::int32_t icon) override { return win32::SetConsoleWindowIcon(icon); }
  std::int32_t DeleteWindowMenuItem(std::int32_t item) override {
    return win32::RemoveSystemMenuCommand(item);
  }
  std::int32_t Console80x(std::int32_t rows) override { return win32::ResizeConsole(80, rows); }
  std::int32_t ConsoleMove(std::int32_t x, std::int32_t y) override {
    return win32::PlaceConsoleWindow(x, y);
  }
  std::int32_t ConsoleMessageBox(BSTR text, std::int32_t, BSTR caption, std::int32_t,
                                 std::int32_t) override {
    return win32::ShowMessageBox(text, caption);
  }

 private:
  static void CopyRecords(const std::vector<::INPUT_RECORD>& records, ::DWORD count,
                          INPUT_RECORD* buffer, DWORD* read) {
    const ::DWORD copied = buffer != nullptr ? std::min(count, static_cast<::DWORD>(records.size())) : 0;
    for (::DWORD i = 0; i < copied; ++i) buffer[i] = win32::FromWindows(records[i]);
    if (read != nullptr) *read = static_cast<DWORD>(copied);
  }
};

}  // namespace

ConsoleHost& NativeHost() {
  static WindowsConsoleHost host;
  return host;
}

}  // namespace mirvane::platform
