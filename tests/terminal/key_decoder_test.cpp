#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/key_records.h"
#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

constexpr DWORD kShift = SHIFT_PRESSED;
constexpr DWORD kCtrl = LEFT_CTRL_PRESSED;
constexpr DWORD kAlt = LEFT_ALT_PRESSED;
constexpr DWORD kEnhanced = ENHANCED_KEY;

std::string Describe(const std::vector<Key>& keys) {
  std::ostringstream text;
  for (const Key& key : keys) {
    text << "{" << int{key.character} << std::hex << ",0x" << key.scanCode << ",0x" << key.state
         << std::dec << "} ";
  }
  return text.str();
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Feeds the bytes as the host does: chunks arrive, keys are decoded while more may follow, and
// once the input pauses the rest is decided as it stands.
std::vector<Key> DecodeStream(const std::string& bytes, bool utf8, std::size_t chunkSize) {
  std::vector<Key> keys;
  std::string pending;
  auto drain = [&](bool final) {
    while (!pending.empty()) {
      const Decoded decoded = DecodeKey(Bytes(pending), utf8, final);
      if (decoded.status == DecodeStatus::NeedMore) {
        EXPECT_FALSE(final) << "NeedMore after the input has paused";
        return;
      }
      EXPECT_GT(decoded.consumed, 0u);
      EXPECT_LE(decoded.consumed, pending.size());
      if (decoded.status == DecodeStatus::Key) keys.push_back(decoded.key);
      pending.erase(0, decoded.consumed);
    }
  };
  for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
    pending += bytes.substr(at, chunkSize);
    drain(false);
  }
  drain(true);
  return keys;
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::vector<Key> keys;
};

const std::vector<DecodeCase>& TerminalCases() {
  static const std::vector<DecodeCase> cases = {
      {"letter", "a", {{'a', 0x1E, 0}}},
      {"capital", "A", {{'A', 0x1E, kShift}}},
      {"digit and punctuation", "1!", {{'1', 0x02, 0}, {'!', 0x02, kShift}}},
      {"space", " ", {{' ', 0x39, 0}}},
      {"enter", "\r", {{13, 0x1C, 0}}},
      {"line feed is Ctrl+J", "\n", {{10, 0x24, kCtrl}}},
      {"backspace as DEL", "\x7f", {{8, 0x0E, 0}}},
      {"backspace as Ctrl+H", "\x08", {{8, 0x0E, 0}}},
      {"tab", "\t", {{9, 0x0F, 0}}},
      {"Ctrl+C is a key", "\x03", {{3, 0x2E, kCtrl}}},
      {"Ctrl+Z is a key", "\x1a", {{26, 0x2C, kCtrl}}},
      {"Ctrl+S and Ctrl+Q are keys", "\x13\x11", {{19, 0x1F, kCtrl}, {17, 0x10, kCtrl}}},
      {"Ctrl+@", std::string(1, '\0'), {{0, 0x03, kShift | kCtrl}}},
      {"lone Esc", "\x1b", {{27, 0x01, 0}}},
      {"Esc Esc with nothing after", "\x1b\x1b", {{27, 0x01, kAlt}}},
      {"Alt+letter", "\x1bx", {{'x', 0x2D, kAlt}}},
      {"Alt+capital", "\x1bX", {{'X', 0x2D, kAlt | kShift}}},
      {"Alt+[ when nothing follows", "\x1b[", {{'[', 0x1A, kAlt}}},
      {"Alt+O when nothing follows", "\x1bO", {{'O', 0x18, kAlt | kShift}}},
      {"arrows CSI", "\x1b[A\x1b[B\x1b[C\x1b[D",
       {{0, 0x48, kEnhanced}, {0, 0x50, kEnhanced}, {0, 0x4D, kEnhanced}, {0, 0x4B, kEnhanced}}},
      {"arrows SS3", "\x1bOA\x1bOD", {{0, 0x48, kEnhanced}, {0, 0x4B, kEnhanced}}},
      {"Ctrl+Right", "\x1b[1;5C", {{0, 0x4D, kCtrl | kEnhanced}}},
      {"Shift+Left", "\x1b[1;2D", {{0, 0x4B, kShift | kEnhanced}}},
      {"Ctrl+Alt+Shift+Up", "\x1b[1;8A", {{0, 0x48, kShift | kAlt | kCtrl | kEnhanced}}},
      {"Alt+Up as ESC prefix", "\x1b\x1b[A", {{0, 0x48, kAlt | kEnhanced}}},
      {"Home and End", "\x1b[H\x1b[F\x1bOH\x1bOF",
       {{0, 0x47, kEnhanced}, {0, 0x4F, kEnhanced}, {0, 0x47, kEnhanced}, {0, 0x4F, kEnhanced}}},
      {"Home and End with tilde", "\x1b[1~\x1b[4~\x1b[7~\x1b[8~",
       {{0, 0x47, kEnhanced}, {0, 0x4F, kEnhanced}, {0, 0x47, kEnhanced}, {0, 0x4F, kEnhanced}}},
      {"Insert Delete PageUp PageDown", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
       {{0, 0x52, kEnhanced}, {0, 0x53, kEnhanced}, {0, 0x49, kEnhanced}, {0, 0x51, kEnhanced}}},
      {"Alt+PageDown", "\x1b[6;3~", {{0, 0x51, kAlt | kEnhanced}}},
      {"F1 to F4 SS3", "\x1bOP\x1bOQ\x1bOR\x1bOS",
       {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}}},
      {"Shift+F1 CSI", "\x1b[1;2P", {{0, 0x3B, kShift}}},
      {"Ctrl+F1 old SS3", "\x1bO5P", {{0, 0x3B, kCtrl}}},
      {"F1 to F5 with tilde", "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
       {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}, {0, 0x3F, 0}}},
      {"F6 to F12", "\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~",
       {{0, 0x40, 0}, {0, 0x41, 0}, {0, 0x42, 0}, {0, 0x43, 0}, {0, 0x44, 0}, {0, 0x57, 0},
        {0, 0x58, 0}}},
      {"Ctrl+F12", "\x1b[24;5~", {{0, 0x58, kCtrl}}},
      {"Linux console F1 to F5", "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E",
       {{0, 0x3B, 0}, {0, 0x3C, 0}, {0, 0x3D, 0}, {0, 0x3E, 0}, {0, 0x3F, 0}}},
      {"Shift+Tab", "\x1b[Z", {{9, 0x0F, kShift}}},
      {"keypad Enter in application mode", "\x1bOM", {{13, 0x1C, kEnhanced}}},
      {"unknown tilde key consumed whole", "\x1b[99~a", {{'a', 0x1E, 0}}},
      {"paste brackets consumed whole", "\x1b[200~x\x1b[201~", {{'x', 0x2D, 0}}},
      {"private reply consumed whole", "\x1b[?1;2cz", {{'z', 0x2C, 0}}},
      {"focus report consumed whole", "\x1b[I\x1b[Ob", {{'b', 0x30, 0}}},
      {"intermediate byte consumed whole", "\x1b[2 qc", {{'c', 0x2E, 0}}},
      {"long unknown sequence consumed whole",
       "\x1b[" + std::string(200, '1') + "xq", {{'q', 0x10, 0}}},
      {"unknown SS3 consumed", "\x1bOxk", {{'k', 0x25, 0}}},
      {"broken-off sequence keeps what follows", "\x1b[1\rv", {{13, 0x1C, 0}, {'v', 0x2F, 0}}},
      {"incomplete sequence at the end dropped", "w\x1b[1;5", {{'w', 0x11, 0}}},
      {"UTF-8 letters of the code page", "\xc3\xa9\xc3\xb1\xc3\x87",
       {{0x82, 0, 0}, {0xA4, 0, 0}, {0x80, 0, 0}}},
      {"UTF-8 box and Greek", "\xe2\x96\x91\xce\xb1\xe2\x88\x9e",
       {{0xB0, 0, 0}, {0xE0, 0, 0}, {0xEC, 0, 0}}},
      {"UTF-8 no-break space", "\xc2\xa0", {{0xFF, 0, 0}}},
      {"character outside the code page dropped", "\xe2\x82\xac" "d", {{'d', 0x20, 0}}},
      {"four-byte character dropped", "\xf0\x9f\x98\x80" "e", {{'e', 0x12, 0}}},
      {"control glyph is not typed", "\xe2\x98\xba" "f", {{'f', 0x21, 0}}},
      {"stray continuation dropped", "\x80\xbfg", {{'g', 0x22, 0}}},
      {"invalid lead bytes dropped", "\xff\xfe\xc0\xc1h", {{'h', 0x23, 0}}},
      {"overlong form dropped", "\xc0\xafi", {{'i', 0x17, 0}}},
      {"overlong three-byte form dropped", "\xe0\x80\xafj", {{'j', 0x24, 0}}},
      {"surrogate dropped", "\xed\xa0\x80k", {{'k', 0x25, 0}}},
      {"above U+10FFFF dropped", "\xf4\x90\x80\x80l", {{'l', 0x26, 0}}},
      {"truncated character keeps the next byte", "\xc3m", {{'m', 0x32, 0}}},
      {"truncated character at the end dropped", "n\xe2\x96", {{'n', 0x31, 0}}},
      {"Alt with a UTF-8 character", "\x1b\xc3\xa9", {{0x82, 0, kAlt}}},
  };
  return cases;
}

TEST(KeyDecoder, DecodesWholeAndByteByByte) {
  for (const DecodeCase& test : TerminalCases()) {
    for (const std::size_t chunk : {test.bytes.size(), std::size_t{1}, std::size_t{2}}) {
      const std::vector<Key> keys = DecodeStream(test.bytes, true, chunk);
      EXPECT_EQ(keys, test.keys) << test.name << " in chunks of " << chunk << ": got "
                                 << Describe(keys) << "expected " << Describe(test.keys);
    }
  }
}

TEST(KeyDecoder, IncompleteStartsWaitForMoreUnlessFinal) {
  const char* starts[] = {"\x1b", "\x1b[", "\x1b[1;5", "\x1bO", "\x1b[[", "\xc3", "\xe2\x96",
                          "\xf0\x9f\x98", "\x1b\x1b", "\x1b\xc3"};
  for (const char* start : starts) {
    const std::string bytes = start;
    const Decoded waiting = DecodeKey(Bytes(bytes), true, false);
    EXPECT_EQ(waiting.status, DecodeStatus::NeedMore) << "start " << bytes.size() << " bytes";
    EXPECT_EQ(waiting.consumed, 0u);
    const Decoded decided = DecodeKey(Bytes(bytes), true, true);
    EXPECT_NE(decided.status, DecodeStatus::NeedMore) << "start " << bytes.size() << " bytes";
    EXPECT_GT(decided.consumed, 0u);
  }
}

TEST(KeyDecoder, WithoutUtf8HighBytesAreCodePageBytes) {
  const std::vector<Key> keys = DecodeStream("\x82\xb0\xff", false, 1);
  const std::vector<Key> expected = {{0x82, 0, 0}, {0xB0, 0, 0}, {0xFF, 0, 0}};
  EXPECT_EQ(keys, expected) << Describe(keys);
}

TEST(KeyDecoder, RecordsArePressThenRelease) {
  const auto records = RecordsOf({'A', 0x1E, SHIFT_PRESSED});
  ASSERT_EQ(records[0].EventType, KEY_EVENT);
  ASSERT_EQ(records[1].EventType, KEY_EVENT);
  EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
  EXPECT_FALSE(records[1].Event.KeyEvent.bKeyDown);
  for (const INPUT_RECORD& record : records) {
    EXPECT_EQ(record.Event.KeyEvent.uChar.AsciiChar, 'A');
    EXPECT_EQ(record.Event.KeyEvent.wVirtualScanCode, 0x1E);
    EXPECT_EQ(record.Event.KeyEvent.dwControlKeyState, DWORD{SHIFT_PRESSED});
    EXPECT_EQ(record.Event.KeyEvent.wRepeatCount, 1);
  }
}

// A big paste arrives complete and in order, however the reads cut it.
TEST(KeyDecoder, BigPasteArrivesCompleteAndInOrder) {
  std::mt19937 random(7);
  std::string pasted;
  std::vector<std::uint8_t> expected;
  const std::string pieces[] = {"é", "\r", "░", "x", "7", " ", "M", "."};
  const std::uint8_t bytes[] = {0x82, 13, 0xB0, 'x', '7', ' ', 'M', '.'};
  while (pasted.size() < 100 * 1024) {
    const std::size_t pick = random() % std::size(pieces);
    pasted += pieces[pick];
    expected.push_back(bytes[pick]);
  }
  std::vector<Key> keys;
  std::string pending;
  std::size_t at = 0;
  while (at < pasted.size()) {
    const std::size_t chunk = 1 + random() % 4096;
    pending += pasted.substr(at, chunk);
    at += chunk;
    for (;;) {
      const Decoded decoded = DecodeKey(Bytes(pending), true, at >= pasted.size());
      if (decoded.status == DecodeStatus::NeedMore || pending.empty()) break;
      if (decoded.status == DecodeStatus::Key) keys.push_back(decoded.key);
      pending.erase(0, decoded.consumed);
    }
  }
  ASSERT_EQ(keys.size(), expected.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(keys[i].character, expected[i]) << "key " << i;
  }
}

struct FoldCase {
  std::vector<std::string> chunks;
  std::string folded;
};

TEST(LineEndFolder, EveryLineEndBecomesOneCarriageReturn) {
  const FoldCase cases[] = {
      {{"a\nb"}, "a\rb"},
      {{"a\r\nb"}, "a\rb"},
      {{"a\rb"}, "a\rb"},
      {{"\r\n\n\r\r"}, "\r\r\r\r"},
      {{"a\r", "\nb"}, "a\rb"},
      {{"a\r", "", "\nb"}, "a\rb"},
      {{"\n", "\n"}, "\r\r"},
  };
  for (const FoldCase& test : cases) {
    LineEndFolder folder;
    std::string all;
    std::string input;
    for (std::string chunk : test.chunks) {
      input += chunk + "|";
      folder.Fold(chunk);
      all += chunk;
    }
    EXPECT_EQ(all, test.folded) << "chunks " << input;
  }
}

}  // namespace
}  // namespace mirvane::platform::terminal
