// The in-memory console host the tests run the program on: a screen buffer and an input queue in
// memory, scripted keys, configurable process services, and a log of every call made, in order.
//
// Set up per test:
//   MemoryHost host{80, 32};
//   ScopedHost installed{host};            // InstallHost now, uninstall at scope end
//   host.Type("M\r");                      // keys as a US keyboard types them
//   ... run the code ...
//   EXPECT_EQ(host.RowTrimmed(1), "...");  // rows and columns 1-based, as the program counts
//
// The call log holds one entry per host call, "Name(arguments)", with handles by name (stdin,
// stdout, stderr, conin), coordinates and counts in decimal, attributes, characters, modes and
// flags in hex, texts in double quotes. Examples:
//   GetConsoleScreenBufferInfo(stdout)
//   SetConsoleCursorPosition(stdout,4,0)                       column, row; 0-based
//   WriteConsoleOutputA(stdout,5x1,0,0,4,0,8,0)                source size, source origin,
//                                                             region left, top, right, bottom
//   ScrollConsoleScreenBufferA(stdout,0,1,79,31,-,0,0,0x20,0x07)  rectangle, clip ("-" none),
//                                                             destination, fill character, attribute
//   FillConsoleOutputCharacterA(stdout,0x20,2560,0,0)          character, length, column, row
//   FillConsoleOutputAttribute(stdout,0x0F,2560,0,0)
//   SetConsoleTextAttribute(stdout,0x07)
//   GetConsoleCursorInfo(stdout)    SetConsoleCursorInfo(stdout,25,1)   size, visible
//   PeekConsoleInputA(conin,1)      ReadConsoleInputA(conin,1)          length asked for
//   Sleep(1)   MessageBeep(0)
//   CoInitialize()   CoUninitialize()   GetStdHandle(STD_OUTPUT_HANDLE)
//   CreateFileA("CONIN$",0x80000000,0x1,3,0x0)                 access, share, disposition, flags
//   GetConsoleMode(stdout)   SetConsoleMode(stdin,0x0)
//   GetStartupInfoA()   GetCommandLineA()   GetEnvironmentStringsA()   FreeEnvironmentStringsA()
//   GetModuleHandleA(null)   TlsAlloc()   TlsSetValue(1)   TlsGetValue(1)   TlsFree(1)
//   GlobalAlloc(0x40,64)   GlobalFree()   ExitProcess(0)
//   SysAllocStringByteLen("Mirvane")   SysFreeString("old title")
//   InitConsoleTools(instance,0,0,0,*0,0)   ConsoleToolBar(0,5)   ConsoleTitle("Mirvane")
//   ConsoleIcon(32512)   DeleteWindowMenuItem(61728)   Console80x(32)   ConsoleMove(32767,32767)
//   ConsoleMessageBox("text",0,"caption",0,0)
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_buffer.h"
#include "platform/console_host.h"

namespace mirvane::platform {

class MemoryHost final : public ConsoleHost {
 public:
  // Fake handles, distinct and never dereferenced.
  static inline const HANDLE kStandardInput = reinterpret_cast<HANDLE>(std::uintptr_t{0x11});
  static inline const HANDLE kStandardOutput = reinterpret_cast<HANDLE>(std::uintptr_t{0x22});
  static inline const HANDLE kStandardError = reinterpret_cast<HANDLE>(std::uintptr_t{0x33});
  static inline const HANDLE kConsoleInput = reinterpret_cast<HANDLE>(std::uintptr_t{0x44});
  static inline const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

  // The exit code of a run that waited for input that could never come.
  static constexpr UINT kStarvedExitCode = 0xDEAD;
  // Empty peeks in a row, with no sleep between, after which a waiting loop counts as starved.
  static constexpr int kMaxEmptyPeeks = 64;

  MemoryHost(int columns, int rows);
  ~MemoryHost() override;
  MemoryHost(const MemoryHost&) = delete;
  MemoryHost& operator=(const MemoryHost&) = delete;

  // ---- Screen, for assertions (rows and columns 1-based) ---------------------------------------
  ScreenBuffer& Screen() { return screen_; }
  const ScreenBuffer& Screen() const { return screen_; }
  std::string Row(int row) const;  // every cell's byte, the full width
  std::string RowTrimmed(int row) const;  // without trailing blanks
  std::vector<WORD> RowAttributes(int row) const;
  std::vector<std::string> Rows() const;  // every row, full width, top first
  int CursorRow() const { return screen_.CursorPosition().Y + 1; }
  int CursorColumn() const { return screen_.CursorPosition().X + 1; }

  // ---- Keyboard --------------------------------------------------------------------------------
  InputQueue& Input() { return input_; }
  void Queue(const INPUT_RECORD& record) { input_.Push(record); }
  // A press and a release of one key.
  void PressKey(std::uint8_t character, WORD scanCode, DWORD state = 0);
  // Each byte as a US keyboard types it: press and release, with Shift or Ctrl where the layout
  // needs them ("\r" is Enter, "\b" Backspace; "\n" is Ctrl+J, which the line editor ignores). Bytes no US key types (0, 128 to 255) arrive as a
  // press and release with that character and scan code 0, as Alt+keypad entry delivers them.
  void Type(std::string_view text);

  // ---- Waiting ---------------------------------------------------------------------------------
  // A wait that would starve (Sleep with the queue empty, or kMaxEmptyPeeks empty peeks in a row)
  // runs the next registered action instead; with none left the run ends: Starved() becomes true
  // and ExitProcess(kStarvedExitCode) is called. Each action runs once.
  void OnStarve(std::function<void(MemoryHost&)> action) {
    starveActions_.push_back(std::move(action));
  }
  bool Starved() const { return starved_; }
  int SleepCount() const { return sleepCount_; }

  // ---- Call log --------------------------------------------------------------------------------
  const std::vector<std::string>& Calls() const { return calls_; }
  std::vector<std::string> CallsNamed(std::string_view name) const;
  int Count(std::string_view name) const;
  void ClearCalls() { calls_.clear(); }

  // ---- Handles and process services ------------------------------------------------------------
  // Whether GetConsoleMode succeeds on the handle, and so whether screen or input calls on it work.
  // All four handles start as consoles.
  void SetConsole(HANDLE handle, bool isConsole);
  // What GetStdHandle returns for STD_INPUT_HANDLE, STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
  void SetStandardHandle(DWORD which, HANDLE handle);
  // The console modes, shared by the handles on the same console object (stdin and conin; stdout
  // and stderr). They start as 0x1F7 and 0x3, a fresh console's.
  DWORD InputMode() const { return inputMode_; }
  DWORD OutputMode() const { return outputMode_; }
  void SetInputMode(DWORD mode) { inputMode_ = mode; }
  void SetOutputMode(DWORD mode) { outputMode_ = mode; }
  // GetConsoleCursorInfo on the handle fails, or reports the given shape instead of the screen's.
  void FailGetCursorInfo(HANDLE handle) { cursorInfoReports_[handle] = std::nullopt; }
  void ReportCursorInfo(HANDLE handle, CONSOLE_CURSOR_INFO info) {
    cursorInfoReports_[handle] = info;
  }

  STARTUPINFOA& StartupInfo() { return startupInfo_; }
  void SetCommandLine(std::string line) { commandLine_ = std::move(line); }
  // The environment as NUL-separated "name=value" strings; the block handed out adds the final NUL.
  void SetEnvironment(std::string strings) { environment_ = std::move(strings); }
  void FailTlsAlloc(bool fail) { failTlsAlloc_ = fail; }
  void FailGlobalAlloc(bool fail) { failGlobalAlloc_ = fail; }
  std::optional<UINT> ExitCode() const { return exitCode_; }

  // What is still held: blocks handed out and not given back.
  int LiveEnvironmentBlocks() const { return static_cast<int>(environmentBlocks_.size()); }
  int LiveTlsSlots() const { return static_cast<int>(tlsSlots_.size()); }
  int LiveGlobalBlocks() const { return static_cast<int>(globalBlocks_.size()); }
  int LiveOleStrings() const { return static_cast<int>(oleStrings_.size()); }
  // Frees of pointers this host never handed out (or handed out and took back already).
  int BadFrees() const { return badFrees_; }
  int ComInitializations() const { return comDepth_; }  // CoInitialize minus CoUninitialize

  // ---- Beep and the window library -------------------------------------------------------------
  int BeepCount() const { return beepCount_; }
  std::string Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }
  struct MessageBoxShown {
    std::string text;
    std::string caption;
  };
  const std::vector<MessageBoxShown>& MessageBoxes() const { return messageBoxes_; }
  // Runs while each box is up, before it is dismissed.
  void OnMessageBox(std::function<void(MemoryHost&, const MessageBoxShown&)> action) {
    onMessageBox_ = std::move(action);
  }

  // The text of an OLE string: its length-prefixed bytes.
  static std::string OleText(BSTR text);

  // ---- ConsoleHost -----------------------------------------------------------------------------
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

  HRESULT CoInitialize(void* reserved) override;
  void CoUninitialize() override;
  HANDLE GetStdHandle(DWORD which) override;
  HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override;
  BOOL GetConsoleMode(HANDLE handle, DWORD* mode) override;
  BOOL SetConsoleMode(HANDLE handle, DWORD mode) override;
  void GetStartupInfoA(STARTUPINFOA* info) override;
  const char* GetCommandLineA() override;
  char* GetEnvironmentStringsA() override;
  BOOL FreeEnvironmentStringsA(char* block) override;
  HMODULE GetModuleHandleA(const char* name) override;
  DWORD TlsAlloc() override;
  BOOL TlsSetValue(DWORD index, void* value) override;
  void* TlsGetValue(DWORD index) override;
  BOOL TlsFree(DWORD index) override;
  void* GlobalAlloc(UINT flags, std::size_t bytes) override;
  void* GlobalFree(void* memory) override;
  [[noreturn]] void ExitProcess(UINT code) override;

  BSTR SysAllocStringByteLen(const char* bytes, UINT length) override;
  void SysFreeString(BSTR text) override;

  std::int32_t InitConsoleTools(HINSTANCE instance, std::int32_t a, std::int32_t b,
                                std::int32_t c, std::int32_t* d, std::int32_t e) override;
  std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) override;
  BSTR ConsoleTitle(BSTR title) override;
  std::int32_t ConsoleIcon(std::int32_t icon) override;
  std::int32_t DeleteWindowMenuItem(std::int32_t item) override;
  std::int32_t Console80x(std::int32_t rows) override;
  std::int32_t ConsoleMove(std::int32_t x, std::int32_t y) override;
  std::int32_t ConsoleMessageBox(BSTR text, std::int32_t a, BSTR caption, std::int32_t b,
                                 std::int32_t c) override;

 private:
  void Record(std::string call) { calls_.push_back(std::move(call)); }
  std::string HandleName(HANDLE handle) const;
  bool IsConsole(HANDLE handle) const;
  bool IsScreen(HANDLE handle) const;
  bool IsInput(HANDLE handle) const;
  // A wait found nothing to read: run the next action or end the run.
  void Starve();
  BSTR AllocateOleString(std::string_view text);

  ScreenBuffer screen_;
  InputQueue input_;
  std::vector<std::string> calls_;

  std::map<HANDLE, bool> isConsole_;
  std::map<DWORD, HANDLE> standardHandles_;
  DWORD inputMode_ = 0x1F7;
  DWORD outputMode_ = 0x3;
  std::map<HANDLE, std::optional<CONSOLE_CURSOR_INFO>> cursorInfoReports_;

  std::deque<std::function<void(MemoryHost&)>> starveActions_;
  bool starved_ = false;
  int sleepCount_ = 0;
  int emptyPeeks_ = 0;
  bool lastPeekFoundNothing_ = false;

  STARTUPINFOA startupInfo_;
  std::string commandLine_ = "mirvane.exe";
  std::string environment_;
  bool failTlsAlloc_ = false;
  bool failGlobalAlloc_ = false;
  std::optional<UINT> exitCode_;
  int badFrees_ = 0;
  int comDepth_ = 0;

  std::map<char*, std::unique_ptr<char[]>> environmentBlocks_;
  std::map<DWORD, void*> tlsSlots_;
  DWORD nextTlsIndex_ = 1;
  std::map<void*, std::unique_ptr<std::byte[]>> globalBlocks_;
  std::map<char*, std::unique_ptr<char[]>> oleStrings_;

  int beepCount_ = 0;
  std::string title_ = "C:\\mirvane.exe";
  std::vector<MessageBoxShown> messageBoxes_;
  std::function<void(MemoryHost&, const MessageBoxShown&)> onMessageBox_;
};

// Installs a host for the life of a scope, then uninstalls it.
class ScopedHost {
 public:
  explicit ScopedHost(ConsoleHost& host) { InstallHost(&host); }
  ~ScopedHost() { InstallHost(nullptr); }
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;
};

}  // namespace mirvane::platform
