#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/floating_point.h"
#include "platform/memory_host.h"
#include "runtime/runtime.h"
#include "tests/app/program_run.h"

namespace mirvane::app {
namespace {

using namespace mirvane::app::testing;
using platform::MemoryHost;

const std::array<std::string, 8> kAnswers = {"3", "3", "", "2", "", "", "", ""};

bool IsDressingCall(const std::string& call) {
  static const char* const kNames[] = {
      "InitConsoleTools(", "ConsoleToolBar(", "ConsoleTitle(",  "ConsoleIcon(",
      "DeleteWindowMenuItem(", "Console80x(", "ConsoleMove(", "ConsoleMessageBox(",
      "SysAllocStringByteLen(", "SysFreeString(", "FillConsoleOutputCharacterA(",
  };
  for (const char* name : kNames) {
    if (call.rfind(name, 0) == 0) return true;
  }
  return false;
}

TEST(WindowDressing, CallsTheLibraryInOrderAroundTheFirstClear) {
  MemoryHost host{80, 25};
  platform::ScopedHost installed{host};
  host.Type("feet\r" + RunKeys("M", kAnswers));
  ASSERT_EQ(RunProgram(), 0u);

  std::vector<std::string> calls;
  for (const auto& call : host.Calls()) {
    if (IsDressingCall(call)) calls.push_back(call);
  }
  const std::vector<std::string> expected = {
      "InitConsoleTools(instance,0,0,0,*0,0)",
      "ConsoleToolBar(0,5)",
      "SysAllocStringByteLen(\"Mirvane\")",
      "ConsoleTitle(\"Mirvane\")",
      "SysFreeString(\"C:\\mirvane.exe\")",  // the title handed back, released unread
      "SysFreeString(\"Mirvane\")",
      "ConsoleIcon(32512)",
      "DeleteWindowMenuItem(61728)",
      "DeleteWindowMenuItem(0)",
      "DeleteWindowMenuItem(61440)",
      "DeleteWindowMenuItem(-2)",
      "DeleteWindowMenuItem(-1)",
      "DeleteWindowMenuItem(61488)",
      "FillConsoleOutputCharacterA(stdout,0x20,2000,0,0)",  // the white clear, still 80 x 25
      "Console80x(32)",
      "ConsoleMove(32767,32767)",
      "FillConsoleOutputCharacterA(stdout,0x20,2560,0,0)",  // the start screen
      "SysAllocStringByteLen(\"You must respond either F or M  \")",
      "SysAllocStringByteLen(\"  ERROR\")",
      "ConsoleMessageBox(\"You must respond either F or M  \",0,\"  ERROR\",0,0)",
      "SysFreeString(\"  ERROR\")",
      "SysFreeString(\"You must respond either F or M  \")",
      "FillConsoleOutputCharacterA(stdout,0x20,2560,0,0)",  // the start screen again
  };
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(host.LiveOleStrings(), 0);
  EXPECT_EQ(host.BadFrees(), 0);
  EXPECT_EQ(host.Title(), "Mirvane");
}

TEST(WindowDressing, TheFirstClearIsWhite) {
  MemoryHost host{80, 25};
  platform::ScopedHost installed{host};
  host.Type(RunKeys("M", kAnswers));
  ASSERT_EQ(RunProgram(), 0u);
  const auto& calls = host.Calls();
  const auto firstClear = std::find(calls.begin(), calls.end(),
                                    "FillConsoleOutputCharacterA(stdout,0x20,2000,0,0)");
  ASSERT_NE(firstClear, calls.end());
  EXPECT_EQ(*(firstClear + 1), "FillConsoleOutputAttribute(stdout,0xF0,2000,0,0)");
}

// A host that hands everything to the in-memory host, but whose window library leaves the
// floating-point unit in double precision, as a foreign library may. It notes every later host
// call made before the control word is loaded again.
class ControlWordSpoilingHost final : public platform::ConsoleHost {
 public:
  explicit ControlWordSpoilingHost(MemoryHost& inner) : inner_(inner) {}

  std::vector<std::string> callsUnderSpoiledWord;
  int libraryCalls = 0;

  // Screen and input.
  platform::BOOL GetConsoleScreenBufferInfo(platform::HANDLE s,
                                            platform::CONSOLE_SCREEN_BUFFER_INFO* i) override {
    Check("GetConsoleScreenBufferInfo");
    return inner_.GetConsoleScreenBufferInfo(s, i);
  }
  platform::BOOL SetConsoleCursorPosition(platform::HANDLE s, platform::COORD p) override {
    Check("SetConsoleCursorPosition");
    return inner_.SetConsoleCursorPosition(s, p);
  }
  platform::BOOL WriteConsoleOutputA(platform::HANDLE s, const platform::CHAR_INFO* b,
                                     platform::COORD size, platform::COORD from,
                                     platform::SMALL_RECT* r) override {
    Check("WriteConsoleOutputA");
    return inner_.WriteConsoleOutputA(s, b, size, from, r);
  }
  platform::BOOL ScrollConsoleScreenBufferA(platform::HANDLE s, const platform::SMALL_RECT* r,
                                            const platform::SMALL_RECT* c, platform::COORD d,
                                            const platform::CHAR_INFO* f) override {
    Check("ScrollConsoleScreenBufferA");
    return inner_.ScrollConsoleScreenBufferA(s, r, c, d, f);
  }
  platform::BOOL FillConsoleOutputCharacterA(platform::HANDLE s, platform::CHAR c,
                                             platform::DWORD n, platform::COORD at,
                                             platform::DWORD* w) override {
    Check("FillConsoleOutputCharacterA");
    return inner_.FillConsoleOutputCharacterA(s, c, n, at, w);
  }
  platform::BOOL FillConsoleOutputAttribute(platform::HANDLE s, platform::WORD a,
                                            platform::DWORD n, platform::COORD at,
                                            platform::DWORD* w) override {
    Check("FillConsoleOutputAttribute");
    return inner_.FillConsoleOutputAttribute(s, a, n, at, w);
  }
  platform::BOOL SetConsoleTextAttribute(platform::HANDLE s, platform::WORD a) override {
    Check("SetConsoleTextAttribute");
    return inner_.SetConsoleTextAttribute(s, a);
  }
  platform::BOOL GetConsoleCursorInfo(platform::HANDLE s,
                                      platform::CONSOLE_CURSOR_INFO* i) override {
    Check("GetConsoleCursorInfo");
    return inner_.GetConsoleCursorInfo(s, i);
  }
  platform::BOOL SetConsoleCursorInfo(platform::HANDLE s,
                                      const platform::CONSOLE_CURSOR_INFO* i) override {
    Check("SetConsoleCursorInfo");
    return inner_.SetConsoleCursorInfo(s, i);
  }
  platform::BOOL PeekConsoleInputA(platform::HANDLE h, platform::INPUT_RECORD* b,
                                   platform::DWORD n, platform::DWORD* r) override {
    Check("PeekConsoleInputA");
    return inner_.PeekConsoleInputA(h, b, n, r);
  }
  platform::BOOL ReadConsoleInputA(platform::HANDLE h, platform::INPUT_RECORD* b,
                                   platform::DWORD n, platform::DWORD* r) override {
    Check("ReadConsoleInputA");
    return inner_.ReadConsoleInputA(h, b, n, r);
  }
  void Sleep(platform::DWORD ms) override {
    Check("Sleep");
    inner_.Sleep(ms);
  }
  platform::BOOL MessageBeep(platform::UINT t) override {
    Check("MessageBeep");
    return inner_.MessageBeep(t);
  }

  // Process services.
  platform::HRESULT CoInitialize(void* r) override { return inner_.CoInitialize(r); }
  void CoUninitialize() override { inner_.CoUninitialize(); }
  platform::HANDLE GetStdHandle(platform::DWORD w) override { return inner_.GetStdHandle(w); }
  platform::HANDLE CreateFileA(const char* n, platform::DWORD a, platform::DWORD s, void* sec,
                               platform::DWORD d, platform::DWORD f,
                               platform::HANDLE t) override {
    return inner_.CreateFileA(n, a, s, sec, d, f, t);
  }
  platform::BOOL GetConsoleMode(platform::HANDLE h, platform::DWORD* m) override {
    return inner_.GetConsoleMode(h, m);
  }
  platform::BOOL SetConsoleMode(platform::HANDLE h, platform::DWORD m) override {
    return inner_.SetConsoleMode(h, m);
  }
  void GetStartupInfoA(platform::STARTUPINFOA* i) override { inner_.GetStartupInfoA(i); }
  const char* GetCommandLineA() override { return inner_.GetCommandLineA(); }
  char* GetEnvironmentStringsA() override { return inner_.GetEnvironmentStringsA(); }
  platform::BOOL FreeEnvironmentStringsA(char* b) override {
    return inner_.FreeEnvironmentStringsA(b);
  }
  platform::HMODULE GetModuleHandleA(const char* n) override { return inner_.GetModuleHandleA(n); }
  platform::DWORD TlsAlloc() override { return inner_.TlsAlloc(); }
  platform::BOOL TlsSetValue(platform::DWORD i, void* v) override {
    return inner_.TlsSetValue(i, v);
  }
  void* TlsGetValue(platform::DWORD i) override { return inner_.TlsGetValue(i); }
  platform::BOOL TlsFree(platform::DWORD i) override { return inner_.TlsFree(i); }
  void* GlobalAlloc(platform::UINT f, std::size_t n) override { return inner_.GlobalAlloc(f, n); }
  void* GlobalFree(void* m) override { return inner_.GlobalFree(m); }
  [[noreturn]] void ExitProcess(platform::UINT code) override { inner_.ExitProcess(code); }

  // OLE strings.
  platform::BSTR SysAllocStringByteLen(const char* b, platform::UINT n) override {
    Check("SysAllocStringByteLen");
    return inner_.SysAllocStringByteLen(b, n);
  }
  void SysFreeString(platform::BSTR t) override {
    Check("SysFreeString");
    inner_.SysFreeString(t);
  }

  // The window library: each entry leaves the control word spoiled.
  std::int32_t InitConsoleTools(platform::HINSTANCE i, std::int32_t a, std::int32_t b,
                                std::int32_t c, std::int32_t* d, std::int32_t e) override {
    return Spoil(inner_.InitConsoleTools(i, a, b, c, d, e));
  }
  std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) override {
    return Spoil(inner_.ConsoleToolBar(a, b));
  }
  platform::BSTR ConsoleTitle(platform::BSTR t) override {
    platform::BSTR previous = inner_.ConsoleTitle(t);
    Spoil(0);
    return previous;
  }
  std::int32_t ConsoleIcon(std::int32_t i) override { return Spoil(inner_.ConsoleIcon(i)); }
  std::int32_t DeleteWindowMenuItem(std::int32_t i) override {
    return Spoil(inner_.DeleteWindowMenuItem(i));
  }
  std::int32_t Console80x(std::int32_t r) override { return Spoil(inner_.Console80x(r)); }
  std::int32_t ConsoleMove(std::int32_t x, std::int32_t y) override {
    return Spoil(inner_.ConsoleMove(x, y));
  }
  std::int32_t ConsoleMessageBox(platform::BSTR t, std::int32_t a, platform::BSTR c,
                                 std::int32_t b, std::int32_t d) override {
    return Spoil(inner_.ConsoleMessageBox(t, a, c, b, d));
  }

 private:
  static constexpr std::uint16_t kDoublePrecision = 0x027F;
  static constexpr std::uint16_t kReservedBit = 0x0040;  // reads back as set

  std::int32_t Spoil(std::int32_t result) {
    ++libraryCalls;
    platform::LoadFloatingPointControlWord(kDoublePrecision);
    spoiled_ = true;
    return result;
  }
  void Check(const char* call) {
    if (!spoiled_) return;
    const auto word = static_cast<std::uint16_t>(platform::FloatingPointControlWord() & ~kReservedBit);
    if (word != runtime::kFloatingPointControlWord) callsUnderSpoiledWord.push_back(call);
  }

  MemoryHost& inner_;
  bool spoiled_ = false;
};

TEST(WindowDressing, LoadsTheControlWordAgainAfterEveryLibraryCall) {
  const std::uint16_t saved = platform::FloatingPointControlWord();
  MemoryHost memory{80, 25};
  ControlWordSpoilingHost host{memory};
  platform::ScopedHost installed{host};
  memory.Type("x\r" + RunKeys("M", kAnswers));
  ASSERT_EQ(RunProgram(), 0u);
  platform::LoadFloatingPointControlWord(saved);

  EXPECT_EQ(host.libraryCalls, 13);  // the dressing's twelve and one box
  EXPECT_TRUE(host.callsUnderSpoiledWord.empty())
      << "first call made under the spoiled control word: " << host.callsUnderSpoiledWord[0];
  // The results are computed at full precision all the same.
  EXPECT_EQ(PrintedValues(memory), (std::array<std::string, 5>{"0.00", "0.00", "2.91", "8.72",
                                                               "8.72"}));
}

}  // namespace
}  // namespace mirvane::app
