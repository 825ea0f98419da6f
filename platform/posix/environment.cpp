#include <cctype>

#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

bool ContainsUtf8(std::string_view text) {
  std::string lower;
  for (const char c : text) {
    if (c != '-') lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return lower.find("utf8") != std::string::npos;
}

int ReadShort(std::span<const std::uint8_t> bytes, std::size_t at) {
  const int value = bytes[at] | (bytes[at + 1] << 8);
  return value >= 0x8000 ? value - 0x10000 : value;
}

long ReadInt(std::span<const std::uint8_t> bytes, std::size_t at) {
  const unsigned long value = bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                              (static_cast<unsigned long>(bytes[at + 3]) << 24);
  return value >= 0x80000000ul ? static_cast<long>(value) - 0x100000000l
                               : static_cast<long>(value);
}

}  // namespace

bool LocaleIsUtf8(const char* lcAll, const char* lcCtype, const char* lang) {
  for (const char* value : {lcAll, lcCtype, lang}) {
    if (Set(value)) return ContainsUtf8(value);
  }
  return false;
}

bool TermIsPlain(const char* term) { return !Set(term) || std::string_view(term) == "dumb"; }

// term(5): a header of six 16-bit numbers (magic, then the sizes of the names, booleans, numbers,
// string offsets and string table), the names, the booleans, a pad byte to an even offset, then
// the numbers; `colors` is number 13. Magic 0432 has 16-bit numbers, 01036 32-bit ones.
std::optional<int> TerminfoColours(std::span<const std::uint8_t> entry) {
  constexpr int kLegacyMagic = 0432;
  constexpr int kWideMagic = 01036;
  constexpr std::size_t kColoursIndex = 13;
  constexpr std::size_t kHeaderSize = 12;
  if (entry.size() < kHeaderSize) return std::nullopt;
  const int magic = ReadShort(entry, 0);
  if (magic != kLegacyMagic && magic != kWideMagic) return std::nullopt;
  const std::size_t numberSize = magic == kWideMagic ? 4 : 2;
  const int namesSize = ReadShort(entry, 2);
  const int booleanCount = ReadShort(entry, 4);
  const int numberCount = ReadShort(entry, 6);
  if (namesSize < 0 || booleanCount < 0 || numberCount < 0) return std::nullopt;
  if (static_cast<std::size_t>(numberCount) <= kColoursIndex) return std::nullopt;
  std::size_t numbersStart = kHeaderSize + static_cast<std::size_t>(namesSize) +
                             static_cast<std::size_t>(booleanCount);
  if (numbersStart % 2 != 0) ++numbersStart;
  const std::size_t at = numbersStart + kColoursIndex * numberSize;
  if (at + numberSize > entry.size()) return std::nullopt;
  const long colours = numberSize == 4 ? ReadInt(entry, at) : ReadShort(entry, at);
  if (colours < 0) return std::nullopt;
  return static_cast<int>(colours);
}

ColourMode ColourModeFor(const char* noColor, const char* colorTerm,
                         std::optional<int> terminfoColours, bool terminfoFound) {
  if (Set(noColor)) return ColourMode::None;
  if (Set(colorTerm) || !terminfoFound) return ColourMode::Sixteen;
  const int colours = terminfoColours.value_or(0);
  if (colours >= 16) return ColourMode::Sixteen;
  if (colours >= 8) return ColourMode::Eight;
  return ColourMode::None;
}

}  // namespace mirvane::platform::terminal
