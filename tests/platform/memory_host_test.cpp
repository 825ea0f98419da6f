#include "platform/memory_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/key_records.h"

namespace mirvane::platform {
namespace {

using Calls = std::vector<std::string>;

TEST(MemoryHost, ScreenCallsLandInTheBufferAndAreLogged) {
  MemoryHost host{6, 2};
  CHAR_INFO cells[2];
  cells[0].Char.AsciiChar = 'h';
  cells[0].Attributes = 0x70;
  cells[1].Char.AsciiChar = 'i';
  cells[1].Attributes = 0x70;
  SMALL_RECT region{2, 1, 3, 1};
  EXPECT_TRUE(host.WriteConsoleOutputA(MemoryHost::kStandardOutput, cells, {2, 1}, {0, 0}, &region));
  EXPECT_TRUE(host.SetConsoleCursorPosition(MemoryHost::kStandardOutput, {4, 1}));
  DWORD written = 0;
  EXPECT_TRUE(host.FillConsoleOutputAttribute(MemoryHost::kStandardError, 0x1F, 3, {0, 0}, &written));
  EXPECT_EQ(written, 3u);

  EXPECT_EQ(host.Row(2), "  hi  ");
  EXPECT_EQ(host.RowTrimmed(2), "  hi");
  EXPECT_EQ(host.RowAttributes(2)[2], 0x70);
  EXPECT_EQ(host.RowAttributes(1), (std::vector<WORD>{0x1F, 0x1F, 0x1F, 0x07, 0x07, 0x07}));
  EXPECT_EQ(host.CursorRow(), 2);
  EXPECT_EQ(host.CursorColumn(), 5);
  EXPECT_EQ(host.Calls(), (Calls{"WriteConsoleOutputA(stdout,2x1,0,0,2,1,3,1)",
                                 "SetConsoleCursorPosition(stdout,4,1)",
                                 "FillConsoleOutputAttribute(stderr,0x1F,3,0,0)"}));
  EXPECT_EQ(host.Count("SetConsoleCursorPosition"), 1);
  EXPECT_EQ(host.Count("SetConsole"), 0);  // names match whole
}

TEST(MemoryHost, ScreenCallsFailOnHandlesThatAreNoScreen) {
  MemoryHost host{4, 2};
  host.SetConsole(MemoryHost::kStandardOutput, false);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  EXPECT_FALSE(host.GetConsoleScreenBufferInfo(MemoryHost::kStandardOutput, &info));
  EXPECT_FALSE(host.SetConsoleTextAttribute(MemoryHost::kStandardOutput, 0x70));
  EXPECT_FALSE(host.GetConsoleScreenBufferInfo(MemoryHost::kConsoleInput, &info));
  EXPECT_TRUE(host.GetConsoleScreenBufferInfo(MemoryHost::kStandardError, &info));
  EXPECT_EQ(info.dwSize.X, 4);
  EXPECT_EQ(host.Screen().DefaultAttribute(), 0x07);

  DWORD mode = 99;
  EXPECT_FALSE(host.GetConsoleMode(MemoryHost::kStandardOutput, &mode));
  EXPECT_EQ(mode, 99u);
  EXPECT_TRUE(host.GetConsoleMode(MemoryHost::kStandardError, &mode));
  EXPECT_EQ(mode, 0x3u);
}

TEST(MemoryHost, ModesAreSharedByTheHandlesOfOneConsoleObject) {
  MemoryHost host{4, 2};
  EXPECT_TRUE(host.SetConsoleMode(MemoryHost::kStandardInput, 0));
  EXPECT_TRUE(host.SetConsoleMode(MemoryHost::kStandardError, 0x3));
  DWORD mode = 1;
  EXPECT_TRUE(host.GetConsoleMode(MemoryHost::kConsoleInput, &mode));
  EXPECT_EQ(mode, 0u);
  host.SetConsole(MemoryHost::kStandardInput, false);
  EXPECT_FALSE(host.SetConsoleMode(MemoryHost::kStandardInput, 0x1F7));
  EXPECT_EQ(host.InputMode(), 0u);
  EXPECT_EQ(host.CallsNamed("SetConsoleMode"),
            (Calls{"SetConsoleMode(stdin,0x0)", "SetConsoleMode(stderr,0x3)",
                   "SetConsoleMode(stdin,0x1F7)"}));
}

TEST(MemoryHost, HandsOutTheStandardHandlesAndConinByName) {
  MemoryHost host{4, 2};
  EXPECT_EQ(host.GetStdHandle(STD_INPUT_HANDLE), MemoryHost::kStandardInput);
  EXPECT_EQ(host.GetStdHandle(STD_OUTPUT_HANDLE), MemoryHost::kStandardOutput);
  EXPECT_EQ(host.GetStdHandle(STD_ERROR_HANDLE), MemoryHost::kStandardError);
  EXPECT_EQ(host.CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr),
            MemoryHost::kConsoleInput);
  EXPECT_EQ(host.CreateFileA("C:\\x.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  host.SetStandardHandle(STD_OUTPUT_HANDLE, nullptr);
  EXPECT_EQ(host.GetStdHandle(STD_OUTPUT_HANDLE), nullptr);
  EXPECT_EQ(host.GetModuleHandleA(nullptr), MemoryHost::kInstance);
  EXPECT_EQ(host.Calls()[3], "CreateFileA(\"CONIN$\",0x80000000,0x1,3,0x0)");
}

TEST(MemoryHost, TypeQueuesAPressAndAReleasePerCharacter) {
  MemoryHost host{4, 2};
  host.Type("a!\r\x03\xE9");
  struct Expected {
    bool down;
    std::uint8_t character;
    WORD scanCode;
    DWORD state;
  };
  const std::vector<Expected> expected = {
      {true, 'a', 0x1E, 0},          {false, 'a', 0x1E, 0},
      {true, '!', 0x02, SHIFT_PRESSED}, {false, '!', 0x02, SHIFT_PRESSED},
      {true, 13, 0x1C, 0},           {false, 13, 0x1C, 0},
      {true, 3, 0x2E, LEFT_CTRL_PRESSED}, {false, 3, 0x2E, LEFT_CTRL_PRESSED},
      {true, 0xE9, 0, 0},            {false, 0xE9, 0, 0},
  };
  ASSERT_EQ(host.Input().Size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    INPUT_RECORD record;
    host.Input().Read(&record, 1);
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    EXPECT_EQ(record.EventType, KEY_EVENT) << "record " << i;
    EXPECT_EQ(key.bKeyDown != 0, expected[i].down) << "record " << i;
    EXPECT_EQ(static_cast<std::uint8_t>(key.uChar.AsciiChar), expected[i].character) << "record " << i;
    EXPECT_EQ(key.wVirtualScanCode, expected[i].scanCode) << "record " << i;
    EXPECT_EQ(key.dwControlKeyState, expected[i].state) << "record " << i;
    EXPECT_EQ(key.wRepeatCount, 1) << "record " << i;
  }
}

TEST(MemoryHost, PeekAndReadWorkOnTheInputHandlesOnly) {
  MemoryHost host{4, 2};
  host.Type("x");
  INPUT_RECORD record;
  DWORD count = 7;
  EXPECT_FALSE(host.PeekConsoleInputA(MemoryHost::kStandardOutput, &record, 1, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(host.PeekConsoleInputA(MemoryHost::kConsoleInput, &record, 1, &count));
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(host.ReadConsoleInputA(MemoryHost::kStandardInput, &record, 1, &count));
  EXPECT_EQ(host.Input().Size(), 1u);  // the release is left
}

TEST(MemoryHost, SleepWithNothingQueuedEndsTheRun) {
  MemoryHost host{4, 2};
  try {
    host.Sleep(1);
    FAIL() << "the run went on";
  } catch (const ProcessExit& exit) {
    EXPECT_EQ(exit.code, MemoryHost::kStarvedExitCode);
  }
  EXPECT_TRUE(host.Starved());
  EXPECT_EQ(host.ExitCode(), MemoryHost::kStarvedExitCode);
  EXPECT_EQ(host.Calls(), (Calls{"Sleep(1)", "ExitProcess(57005)"}));
}

TEST(MemoryHost, SleepWithKeysQueuedOnlyCounts) {
  MemoryHost host{4, 2};
  host.Type("x");
  host.Sleep(1);
  host.Sleep(1);
  EXPECT_EQ(host.SleepCount(), 2);
  EXPECT_FALSE(host.Starved());
}

TEST(MemoryHost, PeeksThatFindNothingWithoutSleepingEndTheRun) {
  MemoryHost host{4, 2};
  INPUT_RECORD record;
  DWORD count = 0;
  int peeks = 0;
  EXPECT_THROW(
      for (;;) {
        ++peeks;
        host.PeekConsoleInputA(MemoryHost::kConsoleInput, &record, 1, &count);
      },
      ProcessExit);
  EXPECT_EQ(peeks, MemoryHost::kMaxEmptyPeeks);
  EXPECT_TRUE(host.Starved());
}

TEST(MemoryHost, ReadingAnInputHandleThatIsNoConsoleStarvesEvenWithKeysQueued) {
  MemoryHost host{4, 2};
  host.SetConsole(MemoryHost::kConsoleInput, false);
  host.Type("x");
  INPUT_RECORD record;
  DWORD count = 0;
  host.PeekConsoleInputA(MemoryHost::kConsoleInput, &record, 1, &count);
  EXPECT_THROW(host.Sleep(1), ProcessExit);
  EXPECT_TRUE(host.Starved());
}

TEST(MemoryHost, StarveActionsRunOnceEachInOrderBeforeTheRunEnds) {
  MemoryHost host{4, 2};
  std::vector<int> ran;
  host.OnStarve([&](MemoryHost& h) {
    ran.push_back(1);
    h.Type("k");
  });
  host.OnStarve([&](MemoryHost&) { ran.push_back(2); });
  host.Sleep(1);  // first action: a key arrives
  EXPECT_EQ(host.Input().Size(), 2u);
  EXPECT_FALSE(host.Starved());
  INPUT_RECORD records[2];
  host.Input().Read(records, 2);
  host.Sleep(1);  // second action: nothing arrives
  EXPECT_THROW(host.Sleep(1), ProcessExit);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(MemoryHost, ExitProcessThrowsAndRecordsTheCode) {
  MemoryHost host{4, 2};
  EXPECT_THROW(host.ExitProcess(255), ProcessExit);
  EXPECT_EQ(host.ExitCode(), 255u);
  EXPECT_FALSE(host.Starved());
}

TEST(MemoryHost, OleStringsAreLengthPrefixedNulTerminatedAndCounted) {
  MemoryHost host{4, 2};
  const char bytes[] = {'a', '\0', 'b'};
  BSTR text = host.SysAllocStringByteLen(bytes, 3);
  std::uint32_t length = 0;
  std::memcpy(&length, text - 4, 4);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(std::string(text, 3), std::string(bytes, 3));
  EXPECT_EQ(text[3], '\0');
  EXPECT_EQ(MemoryHost::OleText(text), std::string(bytes, 3));
  EXPECT_EQ(host.LiveOleStrings(), 1);
  host.SysFreeString(text);
  EXPECT_EQ(host.LiveOleStrings(), 0);
  host.SysFreeString(text);  // twice
  EXPECT_EQ(host.BadFrees(), 1);
  using namespace std::string_literals;
  EXPECT_EQ(host.Calls(), (Calls{"SysAllocStringByteLen(\"a\0b\")"s, "SysFreeString(\"a\0b\")"s,
                                 "SysFreeString(unknown)"}));
}

TEST(MemoryHost, ConsoleTitleHandsBackTheOldTitleAsAFreshString) {
  MemoryHost host{4, 2};
  host.SetTitle("cmd");
  BSTR title = host.SysAllocStringByteLen("Mirvane", 7);
  BSTR old = host.ConsoleTitle(title);
  EXPECT_EQ(MemoryHost::OleText(old), "cmd");
  EXPECT_EQ(host.Title(), "Mirvane");
  EXPECT_EQ(host.LiveOleStrings(), 2);
  host.SysFreeString(old);
  host.SysFreeString(title);
  EXPECT_EQ(host.LiveOleStrings(), 0);
  EXPECT_EQ(host.BadFrees(), 0);
  EXPECT_EQ(host.CallsNamed("ConsoleTitle"), (Calls{"ConsoleTitle(\"Mirvane\")"}));
}

TEST(MemoryHost, Console80xResizesKeepingContentAndCursor) {
  MemoryHost host{40, 10};
  DWORD written = 0;
  host.FillConsoleOutputCharacterA(MemoryHost::kStandardOutput, 'x', 3, {0, 0}, &written);
  host.SetConsoleCursorPosition(MemoryHost::kStandardOutput, {5, 2});
  host.Console80x(32);
  EXPECT_EQ(host.Screen().Columns(), 80);
  EXPECT_EQ(host.Screen().Rows(), 32);
  EXPECT_EQ(host.RowTrimmed(1), "xxx");
  EXPECT_EQ(host.CursorRow(), 3);
  EXPECT_EQ(host.CursorColumn(), 6);
}

TEST(MemoryHost, MessageBoxRecordsItsTextsAndRunsTheActionWhileUp) {
  MemoryHost host{4, 2};
  BSTR text = host.SysAllocStringByteLen("Bad", 3);
  BSTR caption = host.SysAllocStringByteLen("  ERROR", 7);
  int beepsWhileUp = -1;
  host.OnMessageBox([&](MemoryHost& h, const MemoryHost::MessageBoxShown& box) {
    EXPECT_EQ(box.text, "Bad");
    beepsWhileUp = h.BeepCount();
  });
  host.MessageBeep(MB_OK);
  host.ConsoleMessageBox(text, 0, caption, 0, 0);
  EXPECT_EQ(beepsWhileUp, 1);
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].caption, "  ERROR");
  const Calls calls = host.Calls();
  EXPECT_EQ(calls[2], "MessageBeep(0)");
  EXPECT_EQ(calls[3], "ConsoleMessageBox(\"Bad\",0,\"  ERROR\",0,0)");
  host.SysFreeString(text);
  host.SysFreeString(caption);
}

TEST(MemoryHost, WindowLibraryEntriesAreLoggedWithTheirArguments) {
  MemoryHost host{80, 25};
  std::int32_t zero = 0;
  host.InitConsoleTools(MemoryHost::kInstance, 0, 0, 0, &zero, 0);
  host.ConsoleToolBar(0, 5);
  host.ConsoleIcon(32512);
  host.DeleteWindowMenuItem(-2);
  host.ConsoleMove(32767, 32767);
  EXPECT_EQ(host.Calls(),
            (Calls{"InitConsoleTools(instance,0,0,0,*0,0)", "ConsoleToolBar(0,5)",
                   "ConsoleIcon(32512)", "DeleteWindowMenuItem(-2)", "ConsoleMove(32767,32767)"}));
}

TEST(MemoryHost, ProcessServicesAreConfigurableAndTracked) {
  MemoryHost host{4, 2};
  host.SetCommandLine("\"C:\\m.exe\"  x");
  EXPECT_STREQ(host.GetCommandLineA(), "\"C:\\m.exe\"  x");

  host.SetEnvironment(std::string("A=1\0B=2\0", 8));
  char* block = host.GetEnvironmentStringsA();
  EXPECT_EQ(std::string(block, 10), std::string("A=1\0B=2\0\0\0", 10));
  EXPECT_EQ(host.LiveEnvironmentBlocks(), 1);
  EXPECT_TRUE(host.FreeEnvironmentStringsA(block));
  EXPECT_EQ(host.LiveEnvironmentBlocks(), 0);

  const DWORD slot = host.TlsAlloc();
  ASSERT_NE(slot, TLS_OUT_OF_INDEXES);
  void* memory = host.GlobalAlloc(GPTR, 16);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(memory)[15], 0);
  EXPECT_TRUE(host.TlsSetValue(slot, memory));
  EXPECT_EQ(host.TlsGetValue(slot), memory);
  EXPECT_EQ(host.GlobalFree(memory), nullptr);
  EXPECT_TRUE(host.TlsFree(slot));
  EXPECT_EQ(host.LiveGlobalBlocks(), 0);
  EXPECT_EQ(host.LiveTlsSlots(), 0);

  void* unzeroed = host.GlobalAlloc(0, 4);
  EXPECT_NE(static_cast<unsigned char*>(unzeroed)[0], 0);
  host.GlobalFree(unzeroed);

  host.FailTlsAlloc(true);
  host.FailGlobalAlloc(true);
  EXPECT_EQ(host.TlsAlloc(), TLS_OUT_OF_INDEXES);
  EXPECT_EQ(host.GlobalAlloc(GPTR, 16), nullptr);
  EXPECT_EQ(host.BadFrees(), 0);
}

TEST(MemoryHost, CursorInfoReportsCanFailOrLie) {
  MemoryHost host{4, 2};
  host.FailGetCursorInfo(MemoryHost::kStandardOutput);
  host.ReportCursorInfo(MemoryHost::kStandardError, {0, TRUE});
  CONSOLE_CURSOR_INFO info{};
  EXPECT_FALSE(host.GetConsoleCursorInfo(MemoryHost::kStandardOutput, &info));
  EXPECT_TRUE(host.GetConsoleCursorInfo(MemoryHost::kStandardError, &info));
  EXPECT_EQ(info.dwSize, 0u);
}

TEST(ScopedHost, InstallsForItsScope) {
  MemoryHost host{4, 2};
  {
    ScopedHost installed{host};
    EXPECT_EQ(&Host(), &host);
  }
}

}  // namespace
}  // namespace mirvane::platform
