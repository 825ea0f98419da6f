#include <string>
#include <vector>

#include "console_fixture.h"
#include "platform/key_records.h"

namespace mirvane::console {
namespace {

using namespace platform;  // the record factories and flags

struct PeekCase {
  const char* name;
  std::vector<INPUT_RECORD> records;
  KeyPress expected;
  std::size_t left;  // records still queued afterwards
};

TEST(PeekKey, DropsWhatIsNoKeyPressAndTranslatesTheHeadWithoutRemovingIt) {
  const std::vector<PeekCase> cases = {
      {"empty queue", {}, {0, 0}, 0},
      {"a character", {KeyDown('a', 0x1E)}, {1, 'a'}, 1},
      {"focus, menu, mouse and size records before it",
       {FocusRecord(true), MenuRecord(3), MouseRecord(1, 1, 1), BufferSizeRecord(80, 25),
        KeyDown('a', 0x1E)},
       {1, 'a'}, 1},
      {"a release, even with a character", {KeyUp('a', 0x1E)}, {0, 0}, 0},
      {"modifier presses without a character",
       {KeyDown(0, scan::kCtrl), KeyDown(0, scan::kLeftShift), KeyDown(0, scan::kRightShift),
        KeyDown(0, scan::kAlt), KeyDown(0, scan::kCapsLock), KeyDown(0, scan::kNumLock),
        KeyDown(0, scan::kScrollLock), KeyDown('b', 0x30)},
       {1, 'b'}, 1},
      {"a modifier's scan code with a character", {KeyDown('x', scan::kAlt)}, {1, 'x'}, 1},
      {"Esc without a character", {KeyDown(0, scan::kEscape)}, {1, 0}, 1},
      {"Esc without a character, Caps Lock on", {KeyDown(0, scan::kEscape, CAPSLOCK_ON)}, {1, 27}, 1},
      {"Esc with its character", {KeyDown(27, scan::kEscape)}, {1, 27}, 1},
      {"Esc carrying another character, Caps Lock on",
       {KeyDown('x', scan::kEscape, CAPSLOCK_ON)}, {1, 27}, 1},
      {"Esc carrying another character", {KeyDown('x', scan::kEscape)}, {1, 'x'}, 1},
      {"an arrow", {KeyDown(0, scan::kUp, ENHANCED_KEY)}, {2, 0}, 1},
      {"F12", {KeyDown(0, scan::kF12)}, {2, 0}, 1},
      {"Delete", {KeyDown(0, scan::kDelete, ENHANCED_KEY)}, {2, 0}, 1},
      {"an unknown key without a character", {KeyDown(0, 0)}, {2, 0}, 1},
      {"Ctrl+C", {KeyDown(3, 0x2E, LEFT_CTRL_PRESSED)}, {1, 3}, 1},
      {"a repeat count above 1", {KeyDown('r', 0x13, 0, 9)}, {1, 'r'}, 1},
      {"a byte above 127", {KeyDown(0xE9, 0)}, {1, 0xE9}, 1},
      {"a modifier with its scan code's high byte set", {KeyDown(0, 0x011D)}, {0, 0}, 0},
      {"Esc with its scan code's high byte set", {KeyDown(0, 0x0101)}, {1, 0}, 1},
  };
  for (const PeekCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    for (const INPUT_RECORD& record : c.records) console.host.Queue(record);
    const KeyPress key = PeekKey();
    EXPECT_EQ(key.length, c.expected.length);
    EXPECT_EQ(key.character, c.expected.character);
    EXPECT_EQ(console.host.Input().Size(), c.left);
    EXPECT_EQ(console.host.Count("Sleep"), 0);  // drops are drained without pausing
  }
}

TEST(PeekKey, AltWithALetterKeyIsAnExtendedKey) {
  const WORD letters[] = {0x10, 0x15, 0x19, 0x1E, 0x22, 0x26, 0x2C, 0x30, 0x32};
  const WORD others[] = {0x02, 0x0B, 0x0C, 0x0F, 0x1A, 0x1B, 0x1C, 0x1D, 0x27, 0x29, 0x2B, 0x33,
                         0x39};
  for (const DWORD alt : {LEFT_ALT_PRESSED, RIGHT_ALT_PRESSED}) {
    for (const WORD scanCode : letters) {
      SCOPED_TRACE("letter scan " + std::to_string(scanCode) + " alt " + std::to_string(alt));
      TestConsole console(8, 4);
      console.host.Queue(KeyDown('e', scanCode, alt));
      const KeyPress key = PeekKey();
      EXPECT_EQ(key.length, 2);
      EXPECT_EQ(key.character, 0);
    }
    for (const WORD scanCode : others) {
      SCOPED_TRACE("other scan " + std::to_string(scanCode) + " alt " + std::to_string(alt));
      TestConsole console(8, 4);
      console.host.Queue(KeyDown('#', scanCode, alt));
      const KeyPress key = PeekKey();
      EXPECT_EQ(key.length, 1);
      EXPECT_EQ(key.character, '#');
    }
  }
}

// Only the seven modifier keys are dropped when their press carries no character; every other
// key without one, the neighbours of the modifiers' scan codes included, is an extended key.
TEST(PeekKey, KeysWithoutACharacterAreExtendedUnlessTheyAreModifiers) {
  const WORD extended[] = {0x00, 0x02, 0x1C, 0x1E, 0x29, 0x2B, 0x35, 0x37,
                           0x39, 0x3B, 0x44, 0x47, 0x48, 0x7F, 0xFF};
  for (const WORD scanCode : extended) {
    SCOPED_TRACE("scan " + std::to_string(scanCode));
    TestConsole console(8, 4);
    console.host.Queue(KeyDown(0, scanCode));
    const KeyPress key = PeekKey();
    EXPECT_EQ(key.length, 2);
    EXPECT_EQ(key.character, 0);
    EXPECT_EQ(console.host.Input().Size(), 1u);
  }
}

KeyPress PeekOne(const INPUT_RECORD& record) {
  TestConsole console(8, 4);
  console.host.Queue(record);
  return PeekKey();
}

// The 21 digit and punctuation keys; their characters come from the US layout table.
constexpr WORD kCapsLockScanCodes[] = {0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                       0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x1A, 0x1B,
                                       0x27, 0x28, 0x29, 0x2B, 0x33, 0x34, 0x35};

TEST(PeekKey, CapsLockGivesWhatShiftAloneSelectsOnTheDigitAndPunctuationKeys) {
  for (const WORD scanCode : kCapsLockScanCodes) {
    const std::uint8_t plain = UsCharacterOf(scanCode, false);
    const std::uint8_t shifted = UsCharacterOf(scanCode, true);
    SCOPED_TRACE(std::string("key ") + static_cast<char>(plain));
    // Reported inverted: corrected.
    EXPECT_EQ(PeekOne(KeyDown(shifted, scanCode, CAPSLOCK_ON)).character, plain);
    EXPECT_EQ(PeekOne(KeyDown(plain, scanCode, CAPSLOCK_ON | SHIFT_PRESSED)).character, shifted);
    // Reported right: kept.
    EXPECT_EQ(PeekOne(KeyDown(plain, scanCode, CAPSLOCK_ON)).character, plain);
    EXPECT_EQ(PeekOne(KeyDown(shifted, scanCode, CAPSLOCK_ON | SHIFT_PRESSED)).character, shifted);
    // Another character on the key passes.
    EXPECT_EQ(PeekOne(KeyDown(0xA7, scanCode, CAPSLOCK_ON)).character, 0xA7);
    // Without Caps Lock nothing is corrected.
    EXPECT_EQ(PeekOne(KeyDown(shifted, scanCode, 0)).character, shifted);
    EXPECT_EQ(PeekOne(KeyDown(plain, scanCode, SHIFT_PRESSED)).character, plain);
  }
}

TEST(PeekKey, CapsLockLeavesLettersAndOtherKeysToTheConsole) {
  struct Case {
    std::uint8_t character;
    WORD scanCode;
    DWORD state;
  };
  const std::vector<Case> cases = {
      {'A', 0x1E, CAPSLOCK_ON},         {'a', 0x1E, CAPSLOCK_ON | SHIFT_PRESSED},
      {'a', 0x1E, CAPSLOCK_ON},         {' ', 0x39, CAPSLOCK_ON | SHIFT_PRESSED},
      {13, 0x1C, CAPSLOCK_ON},          {'7', 0x47, CAPSLOCK_ON | SHIFT_PRESSED},  // keypad 7
      {'!', 0x00, CAPSLOCK_ON},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("character " + std::to_string(c.character));
    EXPECT_EQ(PeekOne(KeyDown(c.character, c.scanCode, c.state)).character, c.character);
  }
}

TEST(ReadKeyChar, SleepsBeforeEveryLookAndSkipsExtendedKeysAndBareEsc) {
  TestConsole console(8, 4);
  console.host.Queue(KeyDown(0, scan::kLeft, ENHANCED_KEY));
  console.host.Queue(KeyDown(0, scan::kEscape));
  console.host.Queue(KeyDown('e', 0x12, LEFT_ALT_PRESSED));
  console.host.Queue(KeyDown('x', 0x2D));
  console.host.Queue(KeyDown('y', 0x15));
  EXPECT_EQ(ReadKeyChar(), 'x');
  EXPECT_EQ(console.host.Input().Size(), 1u);
  EXPECT_EQ(console.host.Calls(),
            (Calls{"Sleep(1)", "PeekConsoleInputA(conin,1)", "ReadConsoleInputA(conin,1)",
                   "Sleep(1)", "PeekConsoleInputA(conin,1)", "ReadConsoleInputA(conin,1)",
                   "Sleep(1)", "PeekConsoleInputA(conin,1)", "ReadConsoleInputA(conin,1)",
                   "Sleep(1)", "PeekConsoleInputA(conin,1)", "ReadConsoleInputA(conin,1)"}));
}

TEST(ReadKeyChar, TypedAheadKeysAreTakenOnePerSleep) {
  TestConsole console(8, 4);
  console.host.Type("abc");
  EXPECT_EQ(ReadKeyChar(), 'a');
  EXPECT_EQ(ReadKeyChar(), 'b');
  EXPECT_EQ(ReadKeyChar(), 'c');
  EXPECT_EQ(console.host.SleepCount(), 3);
}

TEST(ReadKeyChar, ReadsFromTheConsoleInputHandle) {
  TestConsole console(8, 4);
  console.host.SetConsole(MemoryHost::kStandardInput, false);  // standard input redirected
  console.host.Type("q");
  EXPECT_EQ(ReadKeyChar(), 'q');
}

TEST(WaitKey, ReturnsOnAKeyPressAndLeavesItQueued) {
  struct Case {
    const char* name;
    std::vector<INPUT_RECORD> records;
  };
  const std::vector<Case> cases = {
      {"a character", {KeyDown('z', 0x2C)}},
      {"Ctrl+C", {KeyDown(3, 0x2E, LEFT_CTRL_PRESSED)}},
      {"an arrow after drops",
       {KeyUp('a', 0x1E), KeyDown(0, scan::kLeftShift), FocusRecord(false), MenuRecord(1),
        KeyDown(0, scan::kDown, ENHANCED_KEY)}},
      {"F1", {KeyDown(0, scan::kF1)}},
      {"Esc without a character", {KeyDown(0, scan::kEscape)}},
      {"Alt with a letter", {KeyDown('f', 0x21, LEFT_ALT_PRESSED)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestConsole console(8, 4);
    for (const INPUT_RECORD& record : c.records) console.host.Queue(record);
    EXPECT_EQ(WaitKey(), -1);
    ASSERT_EQ(console.host.Input().Size(), 1u);
    INPUT_RECORD head;
    console.host.Input().Peek(&head, 1);
    EXPECT_EQ(head.Event.KeyEvent.wVirtualScanCode, c.records.back().Event.KeyEvent.wVirtualScanCode);
    EXPECT_EQ(console.host.Count("Sleep"), 0);  // looks before sleeping
  }
}

TEST(WaitKey, WaitsThroughModifiersReleasesAndFocusForALaterKey) {
  TestConsole console(8, 4);
  console.host.Queue(KeyDown(0, scan::kAlt, LEFT_ALT_PRESSED));
  console.host.Queue(KeyUp(0, scan::kAlt));
  console.host.Queue(KeyDown(0, scan::kCapsLock, CAPSLOCK_ON));
  console.host.Queue(FocusRecord(true));
  console.host.OnStarve([](MemoryHost& host) { host.Type("k"); });
  EXPECT_EQ(WaitKey(), -1);
  EXPECT_EQ(console.host.SleepCount(), 1);
  EXPECT_EQ(console.host.Input().Size(), 2u);  // the press of k and its release
}

TEST(WaitKey, NeverEndsOnModifiersAlone) {
  TestConsole console(8, 4);
  console.host.Queue(KeyDown(0, scan::kCtrl, LEFT_CTRL_PRESSED));
  console.host.Queue(KeyDown(0, scan::kRightShift, SHIFT_PRESSED));
  console.host.Queue(KeyDown(0, scan::kNumLock));
  EXPECT_THROW(WaitKey(), platform::ProcessExit);
  EXPECT_TRUE(console.host.Starved());
  EXPECT_TRUE(console.host.Input().Empty());
}

TEST(Beep, QueuesTheDefaultSound) {
  TestConsole console(8, 4);
  Beep();
  EXPECT_EQ(console.host.Calls(), (Calls{"MessageBeep(0)"}));
}

}  // namespace
}  // namespace mirvane::console
