#include "platform/key_records.h"

#include <array>

namespace mirvane::platform {
namespace {

struct KeyCharacters {
  WORD scanCode;
  char normal;
  char shifted;
};

// The character keys of the US layout, by set-1 scan code.
constexpr std::array<KeyCharacters, 48> kUsKeys{{
    {0x02, '1', '!'},  {0x03, '2', '@'},  {0x04, '3', '#'},   {0x05, '4', '$'},
    {0x06, '5', '%'},  {0x07, '6', '^'},  {0x08, '7', '&'},   {0x09, '8', '*'},
    {0x0A, '9', '('},  {0x0B, '0', ')'},  {0x0C, '-', '_'},   {0x0D, '=', '+'},
    {0x10, 'q', 'Q'},  {0x11, 'w', 'W'},  {0x12, 'e', 'E'},   {0x13, 'r', 'R'},
    {0x14, 't', 'T'},  {0x15, 'y', 'Y'},  {0x16, 'u', 'U'},   {0x17, 'i', 'I'},
    {0x18, 'o', 'O'},  {0x19, 'p', 'P'},  {0x1A, '[', '{'},   {0x1B, ']', '}'},
    {0x1E, 'a', 'A'},  {0x1F, 's', 'S'},  {0x20, 'd', 'D'},   {0x21, 'f', 'F'},
    {0x22, 'g', 'G'},  {0x23, 'h', 'H'},  {0x24, 'j', 'J'},   {0x25, 'k', 'K'},
    {0x26, 'l', 'L'},  {0x27, ';', ':'},  {0x28, '\'', '"'},  {0x29, '`', '~'},
    {0x2B, '\\', '|'}, {0x2C, 'z', 'Z'},  {0x2D, 'x', 'X'},   {0x2E, 'c', 'C'},
    {0x2F, 'v', 'V'},  {0x30, 'b', 'B'},  {0x31, 'n', 'N'},   {0x32, 'm', 'M'},
    {0x33, ',', '<'},  {0x34, '.', '>'},  {0x35, '/', '?'},   {0x39, ' ', ' '},
}};

std::optional<UsKey> PrintableKey(char character) {
  for (const KeyCharacters& key : kUsKeys) {
    if (key.normal == character) return UsKey{key.scanCode, false, false};
    if (key.shifted == character) return UsKey{key.scanCode, true, false};
  }
  return std::nullopt;
}

std::optional<UsKey> ControlKey(std::uint8_t character) {
  switch (character) {
    case 8: return UsKey{scan::kBackspace, false, false};
    case 9: return UsKey{scan::kTab, false, false};
    case 13: return UsKey{scan::kEnter, false, false};
    case 27: return UsKey{scan::kEscape, false, false};
    case 28: return UsKey{0x2B, false, true};  // Ctrl+backslash
    case 29: return UsKey{0x1B, false, true};  // Ctrl+]
    case 30: return UsKey{0x07, true, true};   // Ctrl+Shift+6
    case 31: return UsKey{0x0C, true, true};   // Ctrl+Shift+-
    case 127: return UsKey{scan::kBackspace, false, true};
    default: break;
  }
  if (character >= 1 && character <= 26) {  // Ctrl with the letter
    auto letter = PrintableKey(static_cast<char>('a' + character - 1));
    return UsKey{letter->scanCode, false, true};
  }
  return std::nullopt;
}

}  // namespace

std::optional<UsKey> UsKeyFor(std::uint8_t character) {
  if (character == 0 || character > 127) return std::nullopt;
  if (character < 32 || character == 127) return ControlKey(character);
  return PrintableKey(static_cast<char>(character));
}

std::uint8_t UsCharacterOf(WORD scanCode, bool shift) {
  for (const KeyCharacters& key : kUsKeys) {
    if (key.scanCode == scanCode) {
      return static_cast<std::uint8_t>(shift ? key.shifted : key.normal);
    }
  }
  switch (scanCode) {
    case scan::kBackspace: return 8;
    case scan::kTab: return 9;
    case scan::kEnter: return 13;
    case scan::kEscape: return 27;
    default: return 0;
  }
}

}  // namespace mirvane::platform
