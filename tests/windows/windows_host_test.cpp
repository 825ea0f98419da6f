// The Windows host against a real console: each call goes through the host and its effect is read
// back with the platform's own calls. Run on Windows or under Wine; the console window checks need
// a console with a window (under Wine: a display), and are skipped without one.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/native_host.h"
#include "platform/windows/window_dressing.h"
#include "platform/windows/windows_api.h"

namespace mp = mirvane::platform;

namespace {

HANDLE OpenConsole(const char* name) {
  return ::CreateFileA(name, mp::GENERIC_READ | mp::GENERIC_WRITE,
                       mp::FILE_SHARE_READ | mp::FILE_SHARE_WRITE, nullptr, mp::OPEN_EXISTING, 0,
                       nullptr);
}

// A console of the test's own when it was started without one (under Wine with no terminal).
void EnsureConsole() {
  HANDLE input = OpenConsole("CONIN$");
  if (input != mp::INVALID_HANDLE_VALUE) {
    ::CloseHandle(input);
    return;
  }
  ::FreeConsole();
  ::AllocConsole();
}

::CONSOLE_SCREEN_BUFFER_INFO BufferInfo(HANDLE screen) {
  ::CONSOLE_SCREEN_BUFFER_INFO info{};
  ::GetConsoleScreenBufferInfo(screen, &info);
  return info;
}

::CHAR_INFO ReadCell(HANDLE screen, SHORT column, SHORT row) {
  ::CHAR_INFO cell{};
  ::SMALL_RECT region{column, row, column, row};
  ::ReadConsoleOutputA(screen, &cell, ::COORD{1, 1}, ::COORD{0, 0}, &region);
  return cell;
}

mp::CHAR_INFO Cell(char character, mp::WORD attribute) {
  mp::CHAR_INFO cell;
  cell.Char.AsciiChar = character;
  cell.Attributes = attribute;
  return cell;
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(screen, mp::INVALID_HANDLE_VALUE);
    ASSERT_NE(input, mp::INVALID_HANDLE_VALUE);
    ::FlushConsoleInputBuffer(input);
    size = BufferInfo(screen).dwSize;
  }
  void TearDown() override {
    ::FlushConsoleInputBuffer(input);
    ::CloseHandle(screen);
    ::CloseHandle(input);
  }

  mp::ConsoleHost& host = mp::NativeHost();
  HANDLE screen = OpenConsole("CONOUT$");
  HANDLE input = OpenConsole("CONIN$");
  ::COORD size{};
};

// ---- Screen ------------------------------------------------------------------------------------

TEST_F(ConsoleTest, CellsArriveWithTheirBytesAndAttributes) {
  const std::vector<mp::CHAR_INFO> cells = {
      Cell('A', 0x07), Cell(' ', 0xF0), Cell('\x80', 0x8F), Cell('\xE9', 0xF0), Cell('\xFF', 0x1E),
      Cell('\x01', 0x70), Cell('z', 0x00),
  };
  const auto count = static_cast<SHORT>(cells.size());
  mp::SMALL_RECT region{3, 2, static_cast<SHORT>(3 + count - 1), 2};
  ASSERT_NE(host.WriteConsoleOutputA(screen, cells.data(), mp::COORD{count, 1}, mp::COORD{0, 0}, &region), 0);
  EXPECT_EQ(region.Left, 3);
  EXPECT_EQ(region.Right, 3 + count - 1);
  for (SHORT i = 0; i < count; ++i) {
    const ::CHAR_INFO stored = ReadCell(screen, static_cast<SHORT>(3 + i), 2);
    EXPECT_EQ(stored.Char.AsciiChar, cells[static_cast<std::size_t>(i)].Char.AsciiChar) << "cell " << i;
    EXPECT_EQ(stored.Attributes, cells[static_cast<std::size_t>(i)].Attributes) << "cell " << i;
  }
}

TEST_F(ConsoleTest, AWritePastTheRightEdgeIsClippedAndTheRegionSaysSo) {
  const std::vector<mp::CHAR_INFO> cells(10, Cell('#', 0x2E));
  const auto left = static_cast<SHORT>(size.X - 4);
  mp::SMALL_RECT region{left, 1, static_cast<SHORT>(left + 9), 1};
  ASSERT_NE(host.WriteConsoleOutputA(screen, cells.data(), mp::COORD{10, 1}, mp::COORD{0, 0}, &region), 0);
  EXPECT_EQ(region.Left, left);
  EXPECT_EQ(region.Right, size.X - 1);
  EXPECT_EQ(ReadCell(screen, static_cast<SHORT>(size.X - 1), 1).Char.AsciiChar, '#');
}

TEST_F(ConsoleTest, FillsRunOnAlongTheRowsAndStopAtTheBuffersEnd) {
  mp::DWORD written = 0;
  const auto start = mp::COORD{static_cast<SHORT>(size.X - 2), 0};
  ASSERT_NE(host.FillConsoleOutputCharacterA(screen, 'f', 5, start, &written), 0);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(ReadCell(screen, static_cast<SHORT>(size.X - 1), 0).Char.AsciiChar, 'f');
  EXPECT_EQ(ReadCell(screen, 2, 1).Char.AsciiChar, 'f');

  ASSERT_NE(host.FillConsoleOutputAttribute(screen, 0x5A, 5, start, &written), 0);
  EXPECT_EQ(written, 5u);
  const ::CHAR_INFO recoloured = ReadCell(screen, 0, 1);
  EXPECT_EQ(recoloured.Attributes, 0x5A);
  EXPECT_EQ(recoloured.Char.AsciiChar, 'f') << "an attribute fill keeps the characters";

  const auto nearEnd = mp::COORD{static_cast<SHORT>(size.X - 3), static_cast<SHORT>(size.Y - 1)};
  host.FillConsoleOutputCharacterA(screen, 'e', 10, nearEnd, &written);
  EXPECT_EQ(written, 3u);
}

TEST_F(ConsoleTest, AScrollMovesTheRowsUpAndFillsWhatItLeaves) {
  for (SHORT r = 0; r < 3; ++r) {
    const std::vector<mp::CHAR_INFO> row(4, Cell(static_cast<char>('a' + r), static_cast<mp::WORD>(0x10 + r)));
    mp::SMALL_RECT region{0, r, 3, r};
    host.WriteConsoleOutputA(screen, row.data(), mp::COORD{4, 1}, mp::COORD{0, 0}, &region);
  }
  const mp::SMALL_RECT moved{0, 1, 3, 2};
  const mp::CHAR_INFO fill = Cell('.', 0x2F);
  ASSERT_NE(host.ScrollConsoleScreenBufferA(screen, &moved, nullptr, mp::COORD{0, 0}, &fill), 0);
  const struct {
    SHORT row;
    char character;
    WORD attribute;
  } expected[] = {{0, 'b', 0x11}, {1, 'c', 0x12}, {2, '.', 0x2F}};
  for (const auto& want : expected) {
    const ::CHAR_INFO cell = ReadCell(screen, 3, want.row);
    EXPECT_EQ(cell.Char.AsciiChar, want.character) << "row " << want.row;
    EXPECT_EQ(cell.Attributes, want.attribute) << "row " << want.row;
  }
}

TEST_F(ConsoleTest, CursorPositionAndBufferInfoMatchTheConsoles) {
  ASSERT_NE(host.SetConsoleCursorPosition(screen, mp::COORD{5, 3}), 0);
  mp::CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_NE(host.GetConsoleScreenBufferInfo(screen, &info), 0);
  const ::CONSOLE_SCREEN_BUFFER_INFO real = BufferInfo(screen);
  EXPECT_EQ(info.dwCursorPosition.X, 5);
  EXPECT_EQ(info.dwCursorPosition.Y, 3);
  EXPECT_EQ(info.dwSize.X, real.dwSize.X);
  EXPECT_EQ(info.dwSize.Y, real.dwSize.Y);
  EXPECT_EQ(info.wAttributes, real.wAttributes);
  EXPECT_EQ(info.srWindow.Left, real.srWindow.Left);
  EXPECT_EQ(info.srWindow.Top, real.srWindow.Top);
  EXPECT_EQ(info.srWindow.Right, real.srWindow.Right);
  EXPECT_EQ(info.srWindow.Bottom, real.srWindow.Bottom);
  EXPECT_EQ(info.dwMaximumWindowSize.X, real.dwMaximumWindowSize.X);
  EXPECT_EQ(info.dwMaximumWindowSize.Y, real.dwMaximumWindowSize.Y);

  EXPECT_EQ(host.SetConsoleCursorPosition(screen, mp::COORD{size.X, 0}), 0) << "outside the buffer";
  EXPECT_EQ(BufferInfo(screen).dwCursorPosition.X, 5);
}

TEST_F(ConsoleTest, CursorShapeGoesBothWays) {
  const mp::CONSOLE_CURSOR_INFO shapes[] = {{37, mp::FALSE}, {100, mp::TRUE}, {10, mp::TRUE}};
  for (const auto& shape : shapes) {
    ASSERT_NE(host.SetConsoleCursorInfo(screen, &shape), 0) << "size " << shape.dwSize;
    ::CONSOLE_CURSOR_INFO real{};
    ::GetConsoleCursorInfo(screen, &real);
    EXPECT_EQ(real.dwSize, shape.dwSize);
    EXPECT_EQ(real.bVisible, shape.bVisible) << "size " << shape.dwSize;
    mp::CONSOLE_CURSOR_INFO read;
    ASSERT_NE(host.GetConsoleCursorInfo(screen, &read), 0);
    EXPECT_EQ(read.dwSize, shape.dwSize);
    EXPECT_EQ(read.bVisible, shape.bVisible);
  }
}

// ---- Input -------------------------------------------------------------------------------------

::INPUT_RECORD KeyRecord(bool down, char character, WORD scanCode, ::DWORD controlKeys) {
  ::INPUT_RECORD record{};
  record.EventType = mp::KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? 1 : 0;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = 0x41;
  record.Event.KeyEvent.wVirtualScanCode = scanCode;
  record.Event.KeyEvent.uChar.AsciiChar = character;
  record.Event.KeyEvent.dwControlKeyState = controlKeys;
  return record;
}

::INPUT_RECORD FocusRecord() {
  ::INPUT_RECORD record{};
  record.EventType = mp::FOCUS_EVENT;
  record.Event.FocusEvent.bSetFocus = 1;
  return record;
}

TEST_F(ConsoleTest, KeyRecordsArriveFieldByFieldAndPeekingLeavesThemQueued) {
  const ::INPUT_RECORD queued[] = {
      KeyRecord(true, 'a', 0x1E, 0),
      KeyRecord(true, '!', 0x02, mp::SHIFT_PRESSED | mp::CAPSLOCK_ON),
      KeyRecord(false, 'a', 0x1E, mp::LEFT_ALT_PRESSED),
      KeyRecord(true, '\xE9', 0x1A, mp::RIGHT_ALT_PRESSED | mp::ENHANCED_KEY),
      KeyRecord(true, 0, 0x48, mp::ENHANCED_KEY),
      FocusRecord(),
  };
  ::DWORD written = 0;
  ASSERT_NE(::WriteConsoleInputA(input, queued, static_cast<::DWORD>(std::size(queued)), &written), 0);
  ASSERT_EQ(written, std::size(queued));

  int index = 0;
  for (const auto& want : queued) {
    mp::INPUT_RECORD peeked;
    mp::INPUT_RECORD again;
    mp::INPUT_RECORD taken;
    mp::DWORD count = 0;
    ASSERT_NE(host.PeekConsoleInputA(input, &peeked, 1, &count), 0);
    ASSERT_EQ(count, 1u) << "record " << index;
    host.PeekConsoleInputA(input, &again, 1, &count);
    ASSERT_NE(host.ReadConsoleInputA(input, &taken, 1, &count), 0);
    ASSERT_EQ(count, 1u) << "record " << index;
    for (const mp::INPUT_RECORD* seen : {&peeked, &again, &taken}) {
      EXPECT_EQ(seen->EventType, want.EventType) << "record " << index;
      if (want.EventType == mp::FOCUS_EVENT) {
        EXPECT_EQ(seen->Event.FocusEvent.bSetFocus, want.Event.FocusEvent.bSetFocus);
        continue;
      }
      const mp::KEY_EVENT_RECORD& key = seen->Event.KeyEvent;
      const ::KEY_EVENT_RECORD& real = want.Event.KeyEvent;
      EXPECT_EQ(key.bKeyDown, real.bKeyDown) << "record " << index;
      EXPECT_EQ(key.wRepeatCount, real.wRepeatCount) << "record " << index;
      EXPECT_EQ(key.wVirtualKeyCode, real.wVirtualKeyCode) << "record " << index;
      EXPECT_EQ(key.wVirtualScanCode, real.wVirtualScanCode) << "record " << index;
      EXPECT_EQ(key.uChar.AsciiChar, real.uChar.AsciiChar) << "record " << index;
      EXPECT_EQ(key.dwControlKeyState, real.dwControlKeyState) << "record " << index;
    }
    ++index;
  }
  mp::INPUT_RECORD none;
  mp::DWORD count = 7;
  EXPECT_NE(host.PeekConsoleInputA(input, &none, 1, &count), 0);
  EXPECT_EQ(count, 0u) << "an empty queue answers at once";
}

// ---- Leaving -----------------------------------------------------------------------------------

TEST_F(ConsoleTest, ExitGivesBackTheInputModeAndCursorShapeFoundButKeepsTheOutputMode) {
  constexpr ::DWORD kInputModeBefore = 0x7;  // processed, line input, echo
  const ::CONSOLE_CURSOR_INFO cursorBefore{25, 1};
  ::SetConsoleMode(input, kInputModeBefore);
  ::SetConsoleCursorInfo(screen, &cursorBefore);
  ::SetConsoleMode(screen, 0x3);

  const mp::CONSOLE_CURSOR_INFO hidden{50, mp::FALSE};
  EXPECT_EXIT(
      {
        host.SetConsoleMode(input, 0);
        host.SetConsoleMode(input, 0x10);
        host.SetConsoleCursorInfo(screen, &hidden);
        host.SetConsoleMode(screen, 0x1);
        host.ExitProcess(5);
      },
      ::testing::ExitedWithCode(5), "");

  ::DWORD inputMode = 0;
  ::DWORD outputMode = 0;
  ::CONSOLE_CURSOR_INFO cursor{};
  ::GetConsoleMode(input, &inputMode);
  ::GetConsoleMode(screen, &outputMode);
  ::GetConsoleCursorInfo(screen, &cursor);
  EXPECT_EQ(inputMode, kInputModeBefore);
  EXPECT_EQ(cursor.dwSize, cursorBefore.dwSize);
  EXPECT_EQ(cursor.bVisible, cursorBefore.bVisible);
  EXPECT_EQ(outputMode, 0x1u) << "the output mode is the program's and stays";
  ::SetConsoleMode(screen, 0x3);
}

TEST_F(ConsoleTest, AnInputThatCanNeverBeReadEndsTheProcess) {
  const HANDLE gone[] = {mp::INVALID_HANDLE_VALUE, nullptr};
  for (HANDLE handle : gone) {
    EXPECT_EXIT(
        {
          mp::INPUT_RECORD record;
          mp::DWORD count = 0;
          for (int attempt = 0; attempt < 1000; ++attempt) {
            host.PeekConsoleInputA(handle, &record, 1, &count);
            host.Sleep(1);
          }
          ::ExitProcess(0);  // still polling: the fault this guards against
        },
        ::testing::ExitedWithCode(1), "")
        << "handle " << handle;
  }
}

// ---- The console window ------------------------------------------------------------------------

class ConsoleWindowTest : public ConsoleTest {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    window = ::GetConsoleWindow();
    if (window == nullptr || ::IsWindowVisible(window) == 0) {
      GTEST_SKIP() << "this console has no window of its own";
    }
  }

  // The window's frame once it has stopped changing: a console window living in another process
  // may still be catching up with a buffer resized just before.
  ::RECT SettledFrame() {
    ::RECT frame{};
    ::GetWindowRect(window, &frame);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int unchanged = 0;
    while (unchanged < 10 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ::RECT now{};
      ::GetWindowRect(window, &now);
      unchanged = ::EqualRect(&now, &frame) ? unchanged + 1 : 0;
      frame = now;
    }
    return frame;
  }

  mp::BSTR Ole(const std::string& text) {
    return host.SysAllocStringByteLen(text.data(), static_cast<mp::UINT>(text.size()));
  }

  HWND window = nullptr;
};

TEST_F(ConsoleWindowTest, TitleIsSetAndTheOldOneComesBackAsAnOleString) {
  ::SetConsoleTitleA("before the program");
  mp::BSTR title = Ole("Mirvane");
  mp::BSTR old = host.ConsoleTitle(title);
  char now[64] = {};
  ::GetConsoleTitleA(now, sizeof now);
  EXPECT_STREQ(now, "Mirvane");
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(::SysStringByteLen(reinterpret_cast<::BSTR>(old)), 18u);
  EXPECT_EQ(mp::win32::OleText(old), "before the program");
  host.SysFreeString(old);
  host.SysFreeString(title);
}

TEST_F(ConsoleWindowTest, TheApplicationIconIsSetOnTheWindow) {
  // Wine's console window, which lives in another process, keeps no icon given to it.
  const auto probe = reinterpret_cast<::LPARAM>(::LoadIconA(nullptr, MAKEINTRESOURCEA(32516)));
  ::SendMessageA(window, WM_SETICON, ICON_BIG, probe);
  if (::SendMessageA(window, WM_GETICON, ICON_BIG, 0) != probe) {
    GTEST_SKIP() << "this console's window keeps no icon";
  }
  ASSERT_NE(host.ConsoleIcon(32512), 0);
  const auto expected = reinterpret_cast<::LRESULT>(::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)));
  EXPECT_EQ(::SendMessageA(window, WM_GETICON, ICON_BIG, 0), expected);
  EXPECT_EQ(::SendMessageA(window, WM_GETICON, ICON_SMALL, 0), expected);
  EXPECT_EQ(host.ConsoleIcon(-1), 0) << "no such icon";
}

TEST_F(ConsoleWindowTest, TheSystemMenuLosesRestoreSizeAndMaximizeAndNothingElse) {
  HMENU menu = ::GetSystemMenu(window, 0);
  // Wine does not hand out the menu of a window of another process, as the console's is.
  if (menu == nullptr) GTEST_SKIP() << "this console's system menu cannot be reached";
  const ::UINT kept[] = {SC_MOVE, SC_MINIMIZE, SC_CLOSE};
  const ::UINT removed[] = {SC_RESTORE, SC_SIZE, SC_MAXIMIZE};
  for (::UINT command : removed) {
    ASSERT_NE(::GetMenuState(menu, command, MF_BYCOMMAND), static_cast<::UINT>(-1)) << command;
  }
  const int itemsBefore = ::GetMenuItemCount(menu);

  for (std::int32_t item : {0xF120, 0, 0xF000, -2, -1, 0xF030}) host.DeleteWindowMenuItem(item);

  EXPECT_EQ(::GetMenuItemCount(menu), itemsBefore - 3);
  for (::UINT command : removed) {
    EXPECT_EQ(::GetMenuState(menu, command, MF_BYCOMMAND), static_cast<::UINT>(-1)) << command;
  }
  for (::UINT command : kept) {
    EXPECT_NE(::GetMenuState(menu, command, MF_BYCOMMAND), static_cast<::UINT>(-1)) << command;
  }
  ::GetSystemMenu(window, 1);  // the window's own menu back for the other tests
}

TEST_F(ConsoleWindowTest, Console80xMakesBufferAndWindowEightyColumnsWide) {
  for (std::int32_t rows : {32, 40, 32}) {
    host.Console80x(rows);
    const ::CONSOLE_SCREEN_BUFFER_INFO info = BufferInfo(screen);
    EXPECT_EQ(info.dwSize.X, 80) << rows << " rows";
    EXPECT_EQ(info.dwSize.Y, rows);
    EXPECT_EQ(info.srWindow.Left, 0) << rows << " rows";
    EXPECT_EQ(info.srWindow.Top, 0) << rows << " rows";
    EXPECT_EQ(info.srWindow.Right, 79) << rows << " rows";
    EXPECT_EQ(info.srWindow.Bottom, rows - 1) << rows << " rows";
  }
  for (std::int32_t rows : {0, -3, 40000}) {
    EXPECT_EQ(host.Console80x(rows), 0) << rows << " rows";
    EXPECT_EQ(BufferInfo(screen).dwSize.Y, 32) << "unchanged after " << rows << " rows";
  }
}

TEST_F(ConsoleWindowTest, ConsoleMoveCentresTheWindowOnItsWorkArea) {
  SettledFrame();
  ASSERT_NE(host.ConsoleMove(32767, 32767), 0);
  ::RECT frame = SettledFrame();
  ::MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const ::RECT& area = monitor.rcWork;
  EXPECT_NEAR(frame.left - area.left, area.right - frame.right, 1);
  EXPECT_NEAR(frame.top - area.top, area.bottom - frame.bottom, 1);

  ASSERT_NE(host.ConsoleMove(10, 20), 0);
  frame = SettledFrame();
  EXPECT_EQ(frame.left, 10);
  EXPECT_EQ(frame.top, 20);
}

// What a user sees of the box: found by its caption, read, then dismissed with its OK button.
struct SeenBox {
  bool found = false;
  HWND owner = nullptr;
  std::vector<std::string> texts;
  int buttons = 0;
};

BOOL CALLBACK ReadBoxChild(HWND child, ::LPARAM parameter) {
  auto* seen = reinterpret_cast<SeenBox*>(parameter);
  char className[32] = {};
  char text[128] = {};
  ::GetClassNameA(child, className, sizeof className);
  ::GetWindowTextA(child, text, sizeof text);
  if (std::string(className) == "Button") ++seen->buttons;
  seen->texts.emplace_back(text);
  return 1;
}

TEST_F(ConsoleWindowTest, TheMessageBoxIsOwnedByTheConsoleShowsTheTextAndWaitsForOk) {
  SeenBox seen;
  std::thread user([&seen] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      box = ::FindWindowA("#32770", "  ERROR");
    }
    if (box == nullptr) return;
    seen.found = true;
    seen.owner = ::GetWindow(box, GW_OWNER);
    ::EnumChildWindows(box, ReadBoxChild, reinterpret_cast<::LPARAM>(&seen));
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  mp::BSTR text = Ole("You must respond either F or M  ");
  mp::BSTR caption = Ole("  ERROR");
  const std::int32_t answer = host.ConsoleMessageBox(text, 0, caption, 0, 0);
  user.join();
  host.SysFreeString(text);
  host.SysFreeString(caption);

  ASSERT_TRUE(seen.found);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(seen.owner, window);
  EXPECT_EQ(seen.buttons, 1) << "OK alone";
  EXPECT_NE(std::find(seen.texts.begin(), seen.texts.end(), "You must respond either F or M  "),
            seen.texts.end());
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  EnsureConsole();
  return RUN_ALL_TESTS();
}
