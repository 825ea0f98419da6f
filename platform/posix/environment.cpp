#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

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
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | bytes[at + i];  // little-endian
  return static_cast<std::int32_t>(value);
}

// Where compiled terminfo entries are looked for, in order.
std::vector<std::string> TerminfoDirectories() {
  std::vector<std::string> directories;
  if (const char* own = std::getenv("TERMINFO")) directories.emplace_back(own);
  if (const char* home = std::getenv("HOME")) {
    directories.push_back(std::string(home) + "/.terminfo");
  }
  if (const char* list = std::getenv("TERMINFO_DIRS")) {
    std::string_view rest = list;
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      directories.emplace_back(rest.substr(0, colon));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const char* system : {"/etc/terminfo", "/lib/terminfo", "/usr/share/terminfo",
                             "/usr/lib/terminfo", "/usr/share/lib/terminfo"}) {
    directories.emplace_back(system);
  }
  return directories;
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

// The command line, program name first, from the kernel's copy of argv.
std::string ReadCommandLine() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string line;
  std::size_t start = 0;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    const std::string argument = raw.substr(start, end - start);
    if (!line.empty()) line += ' ';
    const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
    line += quote ? '"' + argument + '"' : argument;
    start = end + 1;
  }
  return line.empty() ? std::string("mirvane") : line;
}

std::optional<std::vector<std::uint8_t>> ReadTerminfoEntry(const char* term) {
  const std::string name = term;
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(name[0]));
  for (const std::string& directory : TerminfoDirectories()) {
    if (directory.empty()) continue;
    for (const std::string& sub : {std::string(1, name[0]), std::string(hex)}) {
      std::ifstream file(directory + "/" + sub + "/" + name, std::ios::binary);
      if (!file) continue;
      return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
    }
  }
  return std::nullopt;
}

}  // namespace mirvane::platform::terminal
