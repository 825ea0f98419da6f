#include "platform/key_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace mirvane::platform {
namespace {

struct LayoutCase {
  std::uint8_t character;
  WORD scanCode;
  bool shift;
  bool ctrl;
};

TEST(UsLayout, NamedKeys) {
  const std::vector<LayoutCase> cases = {
      {'a', 0x1E, false, false}, {'A', 0x1E, true, false},  {'q', 0x10, false, false},
      {'p', 0x19, false, false}, {'z', 0x2C, false, false}, {'m', 0x32, false, false},
      {'1', 0x02, false, false}, {'!', 0x02, true, false},  {'0', 0x0B, false, false},
      {')', 0x0B, true, false},  {'@', 0x03, true, false},  {'-', 0x0C, false, false},
      {'_', 0x0C, true, false},  {'+', 0x0D, true, false},  {'{', 0x1A, true, false},
      {'"', 0x28, true, false},  {'`', 0x29, false, false}, {'~', 0x29, true, false},
      {'\\', 0x2B, false, false}, {'|', 0x2B, true, false}, {'<', 0x33, true, false},
      {'.', 0x34, false, false}, {'?', 0x35, true, false},  {' ', 0x39, false, false},
      {13, 0x1C, false, false},  {8, 0x0E, false, false},   {9, 0x0F, false, false},
      {27, 0x01, false, false},  {1, 0x1E, false, true},    {3, 0x2E, false, true},
      {10, 0x24, false, true},   {26, 0x2C, false, true},   {127, 0x0E, false, true},
  };
  for (const LayoutCase& c : cases) {
    const std::optional<UsKey> key = UsKeyFor(c.character);
    ASSERT_TRUE(key) << "character " << int{c.character};
    EXPECT_EQ(key->scanCode, c.scanCode) << "character " << int{c.character};
    EXPECT_EQ(key->shift, c.shift) << "character " << int{c.character};
    EXPECT_EQ(key->ctrl, c.ctrl) << "character " << int{c.character};
  }
}

TEST(UsLayout, NoKeyForZeroAndHighBytes) {
  for (int character : {0, 128, 200, 255}) {
    EXPECT_FALSE(UsKeyFor(static_cast<std::uint8_t>(character))) << "character " << character;
  }
}

// Every character a key types without Ctrl comes back from that key.
TEST(UsLayout, EveryPrintableCharacterRoundTrips) {
  for (int character = 32; character < 127; ++character) {
    const std::optional<UsKey> key = UsKeyFor(static_cast<std::uint8_t>(character));
    ASSERT_TRUE(key) << "character " << character;
    EXPECT_FALSE(key->ctrl) << "character " << character;
    EXPECT_EQ(UsCharacterOf(key->scanCode, key->shift), character) << "character " << character;
  }
}

TEST(KeyRecords, FactoriesFillTheirRecords) {
  constexpr INPUT_RECORD press = KeyDown('x', 0x2D, SHIFT_PRESSED | CAPSLOCK_ON, 3);
  static_assert(press.EventType == KEY_EVENT);
  EXPECT_EQ(press.Event.KeyEvent.bKeyDown, TRUE);
  EXPECT_EQ(press.Event.KeyEvent.wRepeatCount, 3);
  EXPECT_EQ(press.Event.KeyEvent.uChar.AsciiChar, 'x');
  EXPECT_EQ(press.Event.KeyEvent.dwControlKeyState, SHIFT_PRESSED | CAPSLOCK_ON);
  EXPECT_EQ(KeyUp(0, scan::kAlt).Event.KeyEvent.bKeyDown, FALSE);
  EXPECT_EQ(FocusRecord(true).EventType, FOCUS_EVENT);
  EXPECT_EQ(MenuRecord(7).Event.MenuEvent.dwCommandId, 7u);
  EXPECT_EQ(MouseRecord(3, 4, 1).Event.MouseEvent.dwMousePosition.Y, 4);
  EXPECT_EQ(BufferSizeRecord(80, 32).Event.WindowBufferSizeEvent.dwSize.X, 80);
  EXPECT_EQ(scan::FunctionKey(1), 0x3B);
  EXPECT_EQ(scan::FunctionKey(10), 0x44);
  EXPECT_EQ(scan::FunctionKey(11), 0x57);
  EXPECT_EQ(scan::FunctionKey(12), 0x58);
}

}  // namespace
}  // namespace mirvane::platform
