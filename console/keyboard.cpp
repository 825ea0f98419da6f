#include <algorithm>
#include <array>

#include "console/console.h"

namespace mirvane::console {
namespace {

using platform::Host;

constexpr std::uint8_t kEscapeScanCode = 0x01;
constexpr std::uint8_t kEscape = 27;

// Keys whose press without a character is no key press at all.
constexpr std::array<std::uint8_t, 7> kModifierScanCodes{
    0x1D,  // Ctrl
    0x2A,  // left Shift
    0x36,  // right Shift
    0x38,  // Alt, AltGr
    0x3A,  // Caps Lock
    0x45,  // Num Lock
    0x46,  // Scroll Lock
};

struct ScanRange {
  std::uint8_t first;
  std::uint8_t last;
};

// The 26 letter keys by position on the US layout: Q to P, A to L, Z to M.
constexpr std::array<ScanRange, 3> kAltLetterScanRanges{{{0x10, 0x19}, {0x1E, 0x26}, {0x2C, 0x32}}};

struct CapsLockKey {
  std::uint8_t scanCode;
  std::uint8_t withoutShift;
  std::uint8_t withShift;
};

// The digit and punctuation keys of the US layout, which Caps Lock must not shift.
constexpr std::array<CapsLockKey, 21> kCapsLockKeys{{
    {0x02, '1', '!'}, {0x03, '2', '@'},  {0x04, '3', '#'},  {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'}, {0x08, '7', '&'},  {0x09, '8', '*'},  {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'}, {0x0D, '=', '+'},  {0x1A, '[', '{'},  {0x1B, ']', '}'}, {0x27, ';', ':'},
    {0x28, '\'', '"'}, {0x29, '`', '~'}, {0x2B, '\\', '|'}, {0x33, ',', '<'}, {0x34, '.', '>'},
    {0x35, '/', '?'},
}};

bool IsModifier(std::uint8_t scanCode) {
  return std::find(kModifierScanCodes.begin(), kModifierScanCodes.end(), scanCode) !=
         kModifierScanCodes.end();
}

bool IsAltLetter(std::uint8_t scanCode) {
  return std::any_of(kAltLetterScanRanges.begin(), kAltLetterScanRanges.end(),
                     [&](const ScanRange& range) {
                       return scanCode >= range.first && scanCode <= range.last;
                     });
}

// With Caps Lock on, the table's keys give what Shift alone selects, however the console reports
// them.
std::uint8_t ApplyCapsLock(std::uint8_t character, std::uint8_t scanCode, platform::DWORD state) {
  if ((state & platform::CAPSLOCK_ON) == 0) return character;
  if (scanCode == kEscapeScanCode) return kEscape;
  for (const CapsLockKey& key : kCapsLockKeys) {
    if (key.scanCode != scanCode) continue;
    const bool shift = (state & platform::SHIFT_PRESSED) != 0;
    if (shift && character == key.withoutShift) return key.withShift;
    if (!shift && character == key.withShift) return key.withoutShift;
    return character;
  }
  return character;
}

}  // namespace

KeyboardState& Keyboard() {
  static KeyboardState state;
  return state;
}

void ResetKeyboardState(platform::HANDLE consoleInputHandle) {
  // Mouse reporting stays off: nothing here turns it on.
  Keyboard().consoleInputHandle = consoleInputHandle;
}

KeyPress PeekKey() {
  for (;;) {
    platform::INPUT_RECORD record{};
    platform::DWORD count = 0;
    if (!Host().PeekConsoleInputA(Keyboard().consoleInputHandle, &record, 1, &count) ||
        count == 0) {
      return {};
    }
    if (record.EventType != platform::KEY_EVENT || !record.Event.KeyEvent.bKeyDown) {
      DiscardInputRecord();
      continue;
    }
    const platform::KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const auto character = static_cast<std::uint8_t>(key.uChar.AsciiChar);
    const auto scanCode = static_cast<std::uint8_t>(key.wVirtualScanCode & 0xFF);
    const platform::DWORD state = key.dwControlKeyState;

    if (character == 0) {
      if (scanCode == kEscapeScanCode) return {1, ApplyCapsLock(character, scanCode, state)};
      if (IsModifier(scanCode)) {
        DiscardInputRecord();
        continue;
      }
      return {2, 0};
    }
    const bool alt = (state & (platform::RIGHT_ALT_PRESSED | platform::LEFT_ALT_PRESSED)) != 0;
    if (alt && IsAltLetter(scanCode)) return {2, 0};
    return {1, ApplyCapsLock(character, scanCode, state)};
  }
}

void DiscardInputRecord() {
  platform::INPUT_RECORD record{};
  platform::DWORD count = 0;
  Host().ReadConsoleInputA(Keyboard().consoleInputHandle, &record, 1, &count);
}

std::uint8_t ReadKeyChar() {
  for (;;) {
    Host().Sleep(1);
    const KeyPress key = PeekKey();
    if (key.length == 0) continue;
    DiscardInputRecord();
    if (key.length == 2 || key.character == 0) continue;  // extended keys and a bare Esc
    return key.character;
  }
}

std::int32_t WaitKey() {
  for (;;) {
    if (PeekKey().length != 0) return -1;  // the key stays queued
    Host().Sleep(1);
  }
}

void Beep() { Host().MessageBeep(platform::MB_OK); }

}  // namespace mirvane::console
