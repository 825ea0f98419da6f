#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/console.h"
#include "platform/floating_point.h"
#include "platform/memory_host.h"
#include "runtime/runtime.h"

namespace mirvane::runtime {
namespace {

using platform::HANDLE;
using platform::MemoryHost;

// What the entry procedure found when it was called.
struct EntryView {
  platform::HINSTANCE instance = nullptr;
  platform::HINSTANCE previousInstance = nullptr;
  std::string commandLine;
  std::int32_t showCommand = 0;
  std::uint16_t controlWord = 0;
  ProcessState process;
  console::ScreenState screen;
  HANDLE keyboardHandle = nullptr;
  std::size_t callsBefore = 0;
  bool threadBlockZeroed = false;
};

MemoryHost* currentHost = nullptr;
std::optional<EntryView> entryView;
std::int32_t entryResult = 0;
int entryCalls = 0;

std::int32_t RecordingEntry(platform::HINSTANCE instance, platform::HINSTANCE previousInstance,
                            std::string_view commandLine, std::int32_t showCommand) {
  ++entryCalls;
  EntryView view;
  view.instance = instance;
  view.previousInstance = previousInstance;
  view.commandLine = std::string(commandLine);
  view.showCommand = showCommand;
  view.controlWord = platform::FloatingPointControlWord();
  view.process = Process();
  view.screen = console::Screen();
  view.keyboardHandle = console::Keyboard().consoleInputHandle;
  view.callsBefore = currentHost->Calls().size();
  const auto* block = static_cast<const unsigned char*>(
      currentHost->TlsGetValue(Process().threadSlot));
  view.threadBlockZeroed =
      block != nullptr && std::all_of(block, block + 16, [](unsigned char b) { return b == 0; });
  entryView = view;
  return entryResult;
}

class ProcessFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    currentHost = &host;
    entryView.reset();
    entryResult = 0;
    entryCalls = 0;
    savedControlWord = platform::FloatingPointControlWord();
  }
  void TearDown() override {
    platform::LoadFloatingPointControlWord(savedControlWord);
    currentHost = nullptr;
  }

  // Runs the frame to its end; the exit code it gave.
  std::optional<platform::UINT> Run() {
    try {
      RunProcess(RecordingEntry);
    } catch (const platform::ProcessExit& exit) {
      return exit.code;
    }
    return std::nullopt;
  }

  // The calls made, without the cursor-shape reads of the screen layer.
  std::vector<std::string> FrameCalls() const {
    std::vector<std::string> calls;
    for (const auto& call : host.Calls()) {
      if (call.rfind("GetConsoleCursorInfo", 0) == 0 || call.rfind("SetConsoleCursorInfo", 0) == 0)
        continue;
      calls.push_back(call);
    }
    return calls;
  }

  MemoryHost host{80, 25};
  platform::ScopedHost installed{host};
  std::uint16_t savedControlWord = 0;
};

TEST_F(ProcessFrame, StartsUpCallsEntryOnceAndShutsDownInOrder) {
  entryResult = 0;
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  EXPECT_EQ(entryCalls, 1);

  const std::vector<std::string> startUp = {
      "CoInitialize()",
      "GetStdHandle(STD_ERROR_HANDLE)",
      "GetStdHandle(STD_INPUT_HANDLE)",
      "GetStdHandle(STD_OUTPUT_HANDLE)",
      "CreateFileA(\"CONIN$\",0x80000000,0x1,3,0x0)",
      "GetConsoleMode(stdout)",
      "SetConsoleMode(stdout,0x3)",
      "GetConsoleMode(stdin)",
      "SetConsoleMode(stdin,0x0)",
      "GetStartupInfoA()",
      "GetCommandLineA()",
      "GetEnvironmentStringsA()",
      "GetModuleHandleA(null)",
      "TlsAlloc()",
      "GlobalAlloc(0x40,64)",
      "TlsSetValue(1)",
  };
  const std::vector<std::string> shutDown = {
      "TlsGetValue(1)",       "GlobalFree()",      "TlsFree(1)",
      "FreeEnvironmentStringsA()", "CoUninitialize()", "ExitProcess(0)",
  };
  std::vector<std::string> expected = startUp;
  expected.push_back("TlsGetValue(1)");  // the entry's own look at its block
  expected.insert(expected.end(), shutDown.begin(), shutDown.end());
  EXPECT_EQ(FrameCalls(), expected);

  // The cursor shape is read after the modes are set and before the start-up information.
  const auto& calls = host.Calls();
  const auto cursorRead = std::find(calls.begin(), calls.end(), "GetConsoleCursorInfo(stdout)");
  const auto inputMode = std::find(calls.begin(), calls.end(), "SetConsoleMode(stdin,0x0)");
  const auto startupInfo = std::find(calls.begin(), calls.end(), "GetStartupInfoA()");
  ASSERT_NE(cursorRead, calls.end());
  EXPECT_LT(inputMode, cursorRead);
  EXPECT_LT(cursorRead, startupInfo);

  // Everything taken is given back, the screen untouched.
  EXPECT_EQ(host.LiveEnvironmentBlocks(), 0);
  EXPECT_EQ(host.LiveTlsSlots(), 0);
  EXPECT_EQ(host.LiveGlobalBlocks(), 0);
  EXPECT_EQ(host.BadFrees(), 0);
  EXPECT_EQ(host.ComInitializations(), 0);
  EXPECT_EQ(host.Count("WriteConsoleOutputA"), 0);
}

TEST_F(ProcessFrame, HandsEntryTheInstanceNoPreviousInstanceTheTailAndTheShowCommand) {
  host.SetCommandLine("\"C:\\Program Files\\mirvane.exe\"  /quiet now");
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  EXPECT_EQ(entryView->instance, MemoryHost::kInstance);
  EXPECT_EQ(entryView->previousInstance, nullptr);
  EXPECT_EQ(entryView->commandLine, "/quiet now");
  EXPECT_EQ(entryView->showCommand, 10);
  EXPECT_EQ(entryView->process.instanceHandle, MemoryHost::kInstance);
  EXPECT_EQ(entryView->process.commandTail, "/quiet now");
  EXPECT_EQ(entryView->process.consoleInputHandle, MemoryHost::kConsoleInput);
  EXPECT_TRUE(entryView->threadBlockZeroed);
}

TEST_F(ProcessFrame, ExitCodeIsTheEntrysResult) {
  for (const std::int32_t result : {0, 1, 7, 255, -1}) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    currentHost = &fresh;
    entryResult = result;
    try {
      RunProcess(RecordingEntry);
      ADD_FAILURE() << "the frame returned, result " << result;
    } catch (const platform::ProcessExit& exit) {
      EXPECT_EQ(exit.code, static_cast<platform::UINT>(result)) << "result " << result;
    }
  }
  currentHost = &host;
}

TEST_F(ProcessFrame, ChoosesTheScreenBetweenStandardOutputAndStandardError) {
  struct Case {
    const char* name;
    bool outputIsConsole;
    bool inputIsConsole;
    HANDLE expectedScreen;
    const char* outputModeCall;
    platform::DWORD inputModeAfter;
  };
  const Case cases[] = {
      {"both consoles", true, true, MemoryHost::kStandardOutput, "SetConsoleMode(stdout,0x3)", 0},
      {"output redirected", false, true, MemoryHost::kStandardError, "SetConsoleMode(stderr,0x3)",
       0},
      // SetConsoleMode on a redirected standard input fails: the console keeps its mode.
      {"input redirected", true, false, MemoryHost::kStandardOutput, "SetConsoleMode(stdout,0x3)",
       0x1F7},
  };
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    currentHost = &fresh;
    fresh.SetOutputMode(0x7);
    fresh.SetConsole(MemoryHost::kStandardOutput, c.outputIsConsole);
    fresh.SetConsole(MemoryHost::kStandardInput, c.inputIsConsole);
    entryView.reset();
    try {
      RunProcess(RecordingEntry);
    } catch (const platform::ProcessExit&) {
    }
    ASSERT_TRUE(entryView.has_value()) << c.name;
    EXPECT_EQ(entryView->screen.screenHandle, c.expectedScreen) << c.name;
    EXPECT_EQ(entryView->keyboardHandle, MemoryHost::kConsoleInput) << c.name;
    EXPECT_EQ(std::count(fresh.Calls().begin(), fresh.Calls().end(), c.outputModeCall), 1)
        << c.name;
    EXPECT_EQ(fresh.OutputMode(), 0x3u) << c.name;
    EXPECT_EQ(fresh.InputMode(), c.inputModeAfter) << c.name;
  }
  currentHost = &host;
}

TEST_F(ProcessFrame, ShowCommandComesFromTheStartupInformationOnlyWhenFlagged) {
  struct Case {
    platform::DWORD flags;
    platform::WORD showWindow;
    std::int32_t expected;
  };
  const Case cases[] = {
      {0, 3, 10},
      {platform::STARTF_USESHOWWINDOW, 3, 3},
      {platform::STARTF_USESHOWWINDOW, 0, 0},
      {platform::STARTF_USESHOWWINDOW | platform::STARTF_USESTDHANDLES, 7, 7},
      {platform::STARTF_USESTDHANDLES, 7, 10},
  };
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    currentHost = &fresh;
    fresh.StartupInfo().dwFlags = c.flags;
    fresh.StartupInfo().wShowWindow = c.showWindow;
    entryView.reset();
    try {
      RunProcess(RecordingEntry);
    } catch (const platform::ProcessExit&) {
    }
    ASSERT_TRUE(entryView.has_value());
    EXPECT_EQ(entryView->showCommand, c.expected)
        << "flags " << c.flags << ", wShowWindow " << c.showWindow;
  }
  currentHost = &host;
}

TEST_F(ProcessFrame, StartupStandardHandlesReplaceTheStandardHandlesButNotTheScreen) {
  const auto handle = [](std::uintptr_t value) { return reinterpret_cast<HANDLE>(value); };
  host.StartupInfo().dwFlags = platform::STARTF_USESTDHANDLES;
  host.StartupInfo().hStdInput = handle(0x501);
  host.StartupInfo().hStdOutput = handle(0x502);
  host.StartupInfo().hStdError = handle(0x503);
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  EXPECT_EQ(entryView->process.standardInput, handle(0x501));
  EXPECT_EQ(entryView->process.standardOutput, handle(0x502));
  EXPECT_EQ(entryView->process.standardError, handle(0x503));
  EXPECT_EQ(entryView->screen.screenHandle, MemoryHost::kStandardOutput);
  EXPECT_EQ(entryView->process.consoleInputHandle, MemoryHost::kConsoleInput);
}

TEST_F(ProcessFrame, WithoutStartupStandardHandlesKeepsTheProcessOwn) {
  host.StartupInfo().hStdInput = reinterpret_cast<HANDLE>(std::uintptr_t{0x501});
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  EXPECT_EQ(entryView->process.standardInput, MemoryHost::kStandardInput);
  EXPECT_EQ(entryView->process.standardOutput, MemoryHost::kStandardOutput);
  EXPECT_EQ(entryView->process.standardError, MemoryHost::kStandardError);
}

TEST_F(ProcessFrame, ThreadStorageThatCannotBeSetUpEndsWith255AndNothingElse) {
  struct Case {
    const char* name;
    bool failTlsAlloc;
    bool failGlobalAlloc;
    const char* lastStartUpCall;
  };
  const Case cases[] = {
      {"no thread slot", true, false, "TlsAlloc()"},
      {"no runtime block", false, true, "GlobalAlloc(0x40,64)"},
  };
  for (const auto& c : cases) {
    MemoryHost fresh{80, 25};
    platform::ScopedHost use{fresh};
    currentHost = &fresh;
    fresh.FailTlsAlloc(c.failTlsAlloc);
    fresh.FailGlobalAlloc(c.failGlobalAlloc);
    entryView.reset();
    std::optional<platform::UINT> code;
    try {
      RunProcess(RecordingEntry);
    } catch (const platform::ProcessExit& exit) {
      code = exit.code;
    }
    EXPECT_EQ(code, 255u) << c.name;
    EXPECT_FALSE(entryView.has_value()) << c.name << ": entry was called";
    const auto& calls = fresh.Calls();
    ASSERT_GE(calls.size(), 3u) << c.name;
    EXPECT_EQ(calls[calls.size() - 3], c.lastStartUpCall) << c.name;
    EXPECT_EQ(calls[calls.size() - 2], "CoUninitialize()") << c.name;
    EXPECT_EQ(calls[calls.size() - 1], "ExitProcess(255)") << c.name;
    EXPECT_EQ(fresh.Count("WriteConsoleOutputA"), 0) << c.name;
    EXPECT_EQ(fresh.Count("FillConsoleOutputCharacterA"), 0) << c.name;
    EXPECT_EQ(fresh.RowTrimmed(1), "") << c.name;
  }
  currentHost = &host;
}

TEST_F(ProcessFrame, EntryRunsUnderTheExtendedControlWord) {
  platform::LoadFloatingPointControlWord(0x027F);  // double precision, as another runtime might leave it
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  // Bit 6 of the x87 control word is reserved and always reads back as set.
  constexpr std::uint16_t kReservedBit = 0x0040;
  EXPECT_EQ(entryView->controlWord & ~kReservedBit, kFloatingPointControlWord);
}

TEST_F(ProcessFrame, EntryFindsTheScreenStateFreshAndTheStartupCursorShapeKept) {
  console::Screen().foreground = 3;
  console::Screen().background = 9;
  console::Screen().scrollPending = 0xFF;
  console::Screen().cursorRestorePending = 1;
  host.ReportCursorInfo(MemoryHost::kStandardOutput, {50, platform::FALSE});
  ASSERT_EQ(Run(), 0u);
  ASSERT_TRUE(entryView.has_value());
  const console::ScreenState& screen = entryView->screen;
  EXPECT_EQ(screen.foreground, 7);
  EXPECT_EQ(screen.background, 0);
  EXPECT_EQ(screen.scrollPending, 0);
  EXPECT_EQ(screen.cursorRestorePending, 0);
  EXPECT_EQ(screen.cursorSize, 50);
  EXPECT_EQ(screen.cursorVisible, 0);
}

}  // namespace
}  // namespace mirvane::runtime
