// The console host of a POSIX terminal. The console lives in a ScreenBuffer and an InputQueue; the
// terminal is brought up to date with the buffer in one write before each wait for input, and the
// terminal's bytes become key records as the queue is read. Without a usable terminal the same host
// runs in plain-stream mode: keys from standard input, the final screen printed as text.
//
// terminal_host.cpp: start-up, the screen side and the process services; terminal_input.cpp: the
// input side and its waits; window_dressing.cpp: the title, the console size, the bell and the
// message box; plain_stream.cpp: the output of plain-stream mode; terminal_session.cpp: raw mode
// and the signals.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/console_buffer.h"
#include "platform/console_host.h"
#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {

using Clock = std::chrono::steady_clock;

// How long a lone ESC waits for the rest of a sequence: instant to a person, enough for SSH.
inline constexpr auto kEscapeWait = std::chrono::milliseconds(75);
// The longest a wait with nothing to do blocks before it returns to its caller's loop.
inline constexpr int kIdleWaitMs = 250;

// Milliseconds from now until when, 0 once it has passed, at most kIdleWaitMs.
int MillisecondsUntil(Clock::time_point when);

class TerminalHost final : public ConsoleHost {
 public:
  TerminalHost();

  BOOL GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) override;
  BOOL SetConsoleCursorPosition(HANDLE screen, COORD position) override;
  BOOL WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                           COORD bufferCoord, SMALL_RECT* writeRegion) override;
  BOOL ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override;
  BOOL FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length, COORD start,
                                   DWORD* written) override;
  BOOL FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length, COORD start,
                                  DWORD* written) override;
  BOOL SetConsoleTextAttribute(HANDLE screen, WORD attribute) override;
  BOOL GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) override;
  BOOL SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) override;

  BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override;
  BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override;
  void Sleep(DWORD milliseconds) override;
  BOOL MessageBeep(UINT type) override;

  HRESULT CoInitialize(void*) override { return 0; }
  void CoUninitialize() override {}
  HANDLE GetStdHandle(DWORD which) override;
  HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override;
  BOOL GetConsoleMode(HANDLE handle, DWORD* mode) override;
  BOOL SetConsoleMode(HANDLE handle, DWORD mode) override;
  void GetStartupInfoA(STARTUPINFOA* info) override { *info = STARTUPINFOA{}; }
  const char* GetCommandLineA() override { return commandLine_.c_str(); }
  char* GetEnvironmentStringsA() override;
  BOOL FreeEnvironmentStringsA(char* block) override;
  HMODULE GetModuleHandleA(const char*) override { return &commandLine_; }
  DWORD TlsAlloc() override;
  BOOL TlsSetValue(DWORD index, void* value) override;
  void* TlsGetValue(DWORD index) override;
  BOOL TlsFree(DWORD index) override;
  void* GlobalAlloc(UINT flags, std::size_t bytes) override;
  void* GlobalFree(void* memory) override;
  [[noreturn]] void ExitProcess(UINT code) override;

  BSTR SysAllocStringByteLen(const char* bytes, UINT length) override;
  void SysFreeString(BSTR text) override;

  std::int32_t InitConsoleTools(HINSTANCE, std::int32_t, std::int32_t, std::int32_t,
                                std::int32_t*, std::int32_t) override {
    return 0;
  }
  std::int32_t ConsoleToolBar(std::int32_t, std::int32_t) override { return 0; }
  BSTR ConsoleTitle(BSTR title) override;
  std::int32_t ConsoleIcon(std::int32_t) override { return 0; }
  std::int32_t DeleteWindowMenuItem(std::int32_t) override { return 0; }
  std::int32_t Console80x(std::int32_t rows) override;
  std::int32_t ConsoleMove(std::int32_t, std::int32_t) override { return 0; }
  std::int32_t ConsoleMessageBox(BSTR text, std::int32_t, BSTR caption, std::int32_t,
                                 std::int32_t) override;

 private:
  // Fake handles, distinct and never dereferenced.
  static inline const HANDLE kStandardInput = reinterpret_cast<HANDLE>(std::uintptr_t{0x10});
  static inline const HANDLE kStandardOutput = reinterpret_cast<HANDLE>(std::uintptr_t{0x14});
  static inline const HANDLE kStandardError = reinterpret_cast<HANDLE>(std::uintptr_t{0x18});
  static inline const HANDLE kConsoleInput = reinterpret_cast<HANDLE>(std::uintptr_t{0x20});

  static constexpr DWORD kFreshInputMode = 0x1F7;
  static constexpr DWORD kFreshOutputMode = 0x3;
  static constexpr int kPlainColumns = 80;
  static constexpr int kPlainRows = 32;

  bool IsScreen(HANDLE handle) const {
    return handle == kStandardOutput || handle == kStandardError;
  }
  bool IsInput(HANDLE handle) const {
    return handle == kConsoleInput || (handle == kStandardInput && stdinIsConsole_);
  }
  void Changed() { dirty_ = true; }

  // Screen.
  void UpdateTerminalSize();
  void Flush();
  void Draw();

  // Input.
  bool FillQueue();
  bool DecodePending();
  void QueueKey(const Key& key);
  void TakeEndOfInput();
  bool HasPending() const { return pendingStart_ < pending_.size(); }
  bool ReadInput(std::string& bytes, int timeoutMs);
  bool ReadAvailable(int timeoutMs);
  void WaitForInput(int timeoutMs);
  [[noreturn]] void InputEnded();
  std::span<const std::uint8_t> Pending() const;
  void ConsumePending(std::size_t count);

  // Window dressing.
  void ShowMessageBox(BSTR text, BSTR caption);
  void WaitForBoxDismissal();

  // Plain-stream mode.
  void PrintPlainScreen() const;
  void PrintMessageLine(BSTR text, BSTR caption) const;

  bool plain_ = false;
  bool utf8_ = false;
  int inputFd_ = -1;
  bool stdinIsConsole_ = false;
  DWORD inputMode_ = kFreshInputMode;
  DWORD outputMode_ = kFreshOutputMode;

  ScreenBuffer buffer_{kPlainColumns, kPlainRows};
  InputQueue queue_;
  std::unique_ptr<Renderer> renderer_;
  int terminalColumns_ = kPlainColumns;
  int terminalRows_ = kPlainRows;
  int originColumn_ = 0;
  int originRow_ = 0;
  bool dirty_ = true;
  std::string out_;
  std::string title_;
  struct BoxShown {
    std::string text;
    std::string caption;
  };
  std::optional<BoxShown> box_;

  std::string pending_;
  std::size_t pendingStart_ = 0;
  Clock::time_point lastByteTime_{};
  bool inputEnded_ = false;
  bool endKeyQueued_ = false;
  LineEndFolder lineEnds_;

  std::string commandLine_;
  std::map<DWORD, void*> tlsSlots_;
  DWORD nextTlsIndex_ = 1;
};

}  // namespace mirvane::platform::terminal
