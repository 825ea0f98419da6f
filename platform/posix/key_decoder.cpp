#include <charconv>

#include "platform/key_records.h"
#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

constexpr std::uint8_t kEsc = 0x1B;

Decoded KeyOf(Key key, std::size_t consumed) { return {DecodeStatus::Key, consumed, key}; }
Decoded DropOf(std::size_t consumed) { return {DecodeStatus::Drop, consumed, {}}; }
Decoded NeedMore() { return {DecodeStatus::NeedMore, 0, {}}; }

Key CharacterKey(std::uint8_t character) {
  if (auto us = UsKeyFor(character)) return {character, us->scanCode, us->ControlKeyState()};
  return {character, 0, 0};
}

// A control byte, as the key that sends it.
Key ControlByteKey(std::uint8_t byte) {
  switch (byte) {
    case 0x7F: return {8, scan::kBackspace, 0};  // what the Backspace key sends
    case 0x00: return {0, 0x03, SHIFT_PRESSED | LEFT_CTRL_PRESSED};  // Ctrl+@
    default: return CharacterKey(byte);
  }
}

Key ExtendedKey(WORD scanCode, DWORD state, bool enhanced) {
  return {0, scanCode, state | (enhanced ? ENHANCED_KEY : 0u)};
}

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta).
DWORD ModifierState(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  DWORD state = 0;
  if (bits & 1) state |= SHIFT_PRESSED;
  if (bits & (2 | 8)) state |= LEFT_ALT_PRESSED;
  if (bits & 4) state |= LEFT_CTRL_PRESSED;
  return state;
}

// The key of a final letter common to CSI and SS3: arrows, Home, End, F1-F4, keypad Enter.
std::optional<Key> LetterKey(std::uint8_t letter, DWORD state) {
  switch (letter) {
    case 'A': return ExtendedKey(scan::kUp, state, true);
    case 'B': return ExtendedKey(scan::kDown, state, true);
    case 'C': return ExtendedKey(scan::kRight, state, true);
    case 'D': return ExtendedKey(scan::kLeft, state, true);
    case 'H': return ExtendedKey(scan::kHome, state, true);
    case 'F': return ExtendedKey(scan::kEnd, state, true);
    case 'P': return ExtendedKey(scan::FunctionKey(1), state, false);
    case 'Q': return ExtendedKey(scan::FunctionKey(2), state, false);
    case 'R': return ExtendedKey(scan::FunctionKey(3), state, false);
    case 'S': return ExtendedKey(scan::FunctionKey(4), state, false);
    default: return std::nullopt;
  }
}

// ESC [ n ~ keys (VT220 and xterm numbering, rxvt's 7 and 8 for Home and End).
std::optional<Key> TildeKey(int number, DWORD state) {
  switch (number) {
    case 1: case 7: return ExtendedKey(scan::kHome, state, true);
    case 2: return ExtendedKey(scan::kInsert, state, true);
    case 3: return ExtendedKey(scan::kDelete, state, true);
    case 4: case 8: return ExtendedKey(scan::kEnd, state, true);
    case 5: return ExtendedKey(scan::kPageUp, state, true);
    case 6: return ExtendedKey(scan::kPageDown, state, true);
    case 11: case 12: case 13: case 14: case 15:
      return ExtendedKey(scan::FunctionKey(number - 10), state, false);
    case 17: case 18: case 19: case 20: case 21:
      return ExtendedKey(scan::FunctionKey(number - 11), state, false);
    case 23: case 24: return ExtendedKey(scan::FunctionKey(number - 12), state, false);
    default: return std::nullopt;
  }
}

// The numbers of a parameter string "n;m": empty ones are absent (0).
std::array<int, 2> Parameters(std::span<const std::uint8_t> text) {
  std::array<int, 2> values{0, 0};
  std::size_t index = 0;
  const char* first = reinterpret_cast<const char*>(text.data());
  const char* last = first + text.size();
  while (first < last && index < values.size()) {
    const char* end = first;
    while (end < last && *end != ';') ++end;
    std::from_chars(first, end, values[index]);
    ++index;
    first = end < last ? end + 1 : end;
  }
  return values;
}

// After ESC [: parameter bytes, intermediate bytes, one final byte (ECMA-48 5.4).
Decoded DecodeCsi(std::span<const std::uint8_t> bytes, bool final) {
  constexpr std::size_t start = 2;
  if (bytes.size() > start && bytes[start] == '[') {  // the Linux console's ESC [ [ A to E
    if (bytes.size() == start + 1) return final ? DropOf(bytes.size()) : NeedMore();
    const std::uint8_t letter = bytes[start + 1];
    if (letter >= 'A' && letter <= 'E') {
      return KeyOf(ExtendedKey(scan::FunctionKey(letter - 'A' + 1), 0, false), start + 2);
    }
    return DropOf(start + 2);
  }
  std::size_t i = start;
  while (i < bytes.size() && bytes[i] >= 0x30 && bytes[i] <= 0x3F) ++i;
  const std::size_t parametersEnd = i;
  while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] <= 0x2F) ++i;
  const bool hasIntermediates = i != parametersEnd;
  if (i == bytes.size()) return final ? DropOf(i) : NeedMore();
  const std::uint8_t finalByte = bytes[i];
  if (finalByte < 0x40 || finalByte > 0x7E) return DropOf(i);  // broken off: keep what follows
  const std::size_t consumed = i + 1;

  const auto parameterText = bytes.subspan(start, parametersEnd - start);
  const bool privateParameters = !parameterText.empty() && parameterText[0] >= '<';
  if (hasIntermediates || privateParameters) return DropOf(consumed);
  const auto [first, second] = Parameters(parameterText);
  const DWORD state = ModifierState(second);
  if (finalByte == '~') {
    if (auto key = TildeKey(first, state)) return KeyOf(*key, consumed);
    return DropOf(consumed);
  }
  if (finalByte == 'Z') return KeyOf({9, scan::kTab, SHIFT_PRESSED}, consumed);  // Shift+Tab
  if (auto key = LetterKey(finalByte, state)) return KeyOf(*key, consumed);
  return DropOf(consumed);
}

// After ESC O: an optional modifier digit, then one letter.
Decoded DecodeSs3(std::span<const std::uint8_t> bytes) {
  std::size_t i = 2;
  int modifier = 0;
  while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && i < 4) {
    modifier = modifier * 10 + (bytes[i] - '0');
    ++i;
  }
  if (i == bytes.size()) return NeedMore();
  const std::uint8_t letter = bytes[i];
  const DWORD state = ModifierState(modifier);
  if (letter == 'M') return KeyOf({13, scan::kEnter, state | ENHANCED_KEY}, i + 1);
  if (auto key = LetterKey(letter, state)) return KeyOf(*key, i + 1);
  return DropOf(i + 1);
}

Decoded WithAlt(Decoded decoded) {
  if (decoded.status == DecodeStatus::NeedMore) return decoded;
  decoded.consumed += 1;
  decoded.key.state |= LEFT_ALT_PRESSED;
  return decoded;
}

Decoded DecodeEscape(std::span<const std::uint8_t> bytes, bool utf8, bool final) {
  if (bytes.size() == 1) return final ? KeyOf({27, scan::kEscape, 0}, 1) : NeedMore();
  const std::uint8_t next = bytes[1];
  if (next == '[' || next == 'O') {
    if (bytes.size() == 2) {
      // ESC [ or ESC O and nothing after it in time: Alt with that key.
      return final ? WithAlt(KeyOf(CharacterKey(next), 1)) : NeedMore();
    }
    Decoded decoded = next == '[' ? DecodeCsi(bytes, final) : DecodeSs3(bytes);
    if (decoded.status == DecodeStatus::NeedMore && final) return DropOf(bytes.size());
    return decoded;
  }
  // An ESC-prefixed key is that key with Alt.
  return WithAlt(DecodeKey(bytes.subspan(1), utf8, final));
}

// One UTF-8 character (RFC 3629): shortest forms only, no surrogates, nothing above U+10FFFF.
Decoded DecodeUtf8(std::span<const std::uint8_t> bytes, bool final) {
  const std::uint8_t lead = bytes[0];
  std::size_t length;
  char32_t character;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    character = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    character = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    character = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return DropOf(1);
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i == bytes.size()) return final ? DropOf(i) : NeedMore();
    const std::uint8_t byte = bytes[i];
    if (byte < low || byte > high) return DropOf(i);
    low = 0x80;
    high = 0xBF;
    character = (character << 6) | (byte & 0x3Fu);
  }
  if (auto byte = CodePageByteOf(character)) return KeyOf({*byte, 0, 0}, length);
  return DropOf(length);
}

}  // namespace

Decoded DecodeKey(std::span<const std::uint8_t> bytes, bool utf8, bool final) {
  if (bytes.empty()) return NeedMore();
  const std::uint8_t first = bytes[0];
  if (first == kEsc) return DecodeEscape(bytes, utf8, final);
  if (first < 0x20 || first == 0x7F) return KeyOf(ControlByteKey(first), 1);
  if (first < 0x80) return KeyOf(CharacterKey(first), 1);
  if (utf8) return DecodeUtf8(bytes, final);
  return KeyOf({first, 0, 0}, 1);
}

std::array<INPUT_RECORD, 2> RecordsOf(const Key& key) {
  return {KeyDown(key.character, key.scanCode, key.state),
          KeyUp(key.character, key.scanCode, key.state)};
}

void LineEndFolder::Fold(std::string& bytes) {
  std::string folded;
  folded.reserve(bytes.size());
  for (const char byte : bytes) {
    if (byte == '\n' && afterCarriageReturn_) {
      afterCarriageReturn_ = false;
      continue;
    }
    afterCarriageReturn_ = byte == '\r';
    folded.push_back(byte == '\n' ? '\r' : byte);
  }
  bytes.swap(folded);
}

}  // namespace mirvane::platform::terminal
