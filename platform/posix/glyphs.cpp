#include <array>

#include "platform/posix/terminal.h"

namespace mirvane::platform::terminal {
namespace {

// Code page 437 as the IBM PC shows it: glyphs for the control codes, then ASCII, then 128-255.
constexpr std::array<char32_t, 256> kGlyphs{
    // 0x00
    U' ', U'☺', U'☻', U'♥', U'♦', U'♣', U'♠', U'•', U'◘', U'○', U'◙', U'♂', U'♀', U'♪', U'♫', U'☼',
    // 0x10
    U'►', U'◄', U'↕', U'‼', U'¶', U'§', U'▬', U'↨', U'↑', U'↓', U'→', U'←', U'∟', U'↔', U'▲', U'▼',
    // 0x20
    U' ', U'!', U'"', U'#', U'$', U'%', U'&', U'\'', U'(', U')', U'*', U'+', U',', U'-', U'.', U'/',
    U'0', U'1', U'2', U'3', U'4', U'5', U'6', U'7', U'8', U'9', U':', U';', U'<', U'=', U'>', U'?',
    U'@', U'A', U'B', U'C', U'D', U'E', U'F', U'G', U'H', U'I', U'J', U'K', U'L', U'M', U'N', U'O',
    U'P', U'Q', U'R', U'S', U'T', U'U', U'V', U'W', U'X', U'Y', U'Z', U'[', U'\\', U']', U'^', U'_',
    U'`', U'a', U'b', U'c', U'd', U'e', U'f', U'g', U'h', U'i', U'j', U'k', U'l', U'm', U'n', U'o',
    U'p', U'q', U'r', U's', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'{', U'|', U'}', U'~', U'⌂',
    // 0x80
    U'Ç', U'ü', U'é', U'â', U'ä', U'à', U'å', U'ç', U'ê', U'ë', U'è', U'ï', U'î', U'ì', U'Ä', U'Å',
    U'É', U'æ', U'Æ', U'ô', U'ö', U'ò', U'û', U'ù', U'ÿ', U'Ö', U'Ü', U'¢', U'£', U'¥', U'₧', U'ƒ',
    U'á', U'í', U'ó', U'ú', U'ñ', U'Ñ', U'ª', U'º', U'¿', U'⌐', U'¬', U'½', U'¼', U'¡', U'«', U'»',
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖', U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟', U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫', U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',
    U'α', U'ß', U'Γ', U'π', U'Σ', U'σ', U'µ', U'τ', U'Φ', U'Θ', U'Ω', U'δ', U'∞', U'φ', U'ε', U'∩',
    U'≡', U'±', U'≥', U'≤', U'⌠', U'⌡', U'÷', U'≈', U'°', U'∙', U'·', U'√', U'ⁿ', U'²', U'■', U'\u00A0',
};

// Without UTF-8 the line-drawing bytes still draw a box, in ASCII.
char AsciiStandIn(std::uint8_t byte) {
  if (byte >= 0x20 && byte < 0x7F) return static_cast<char>(byte);
  switch (byte) {
    case 0xB3: case 0xBA: return '|';
    case 0xC4: case 0xCD: return '-';
    case 0xC9: case 0xBB: case 0xC8: case 0xBC: case 0xDA: case 0xBF: case 0xC0: case 0xD9:
      return '+';
    case 0x00: case 0xFF: return ' ';
    default: return '?';
  }
}

void AppendUtf8(std::string& out, char32_t character) {
  const auto c = static_cast<std::uint32_t>(character);
  auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

}  // namespace

char32_t GlyphOf(std::uint8_t byte) { return kGlyphs[byte]; }

std::optional<std::uint8_t> CodePageByteOf(char32_t character) {
  if (character >= 0x20 && character < 0x7F) return static_cast<std::uint8_t>(character);
  for (int byte = 0x7F; byte <= 0xFF; ++byte) {
    if (kGlyphs[static_cast<std::size_t>(byte)] == character) return static_cast<std::uint8_t>(byte);
  }
  return std::nullopt;
}

void AppendGlyph(std::string& out, std::uint8_t byte, bool utf8) {
  if (utf8) {
    AppendUtf8(out, GlyphOf(byte));
  } else {
    out.push_back(AsciiStandIn(byte));
  }
}

std::string GlyphText(std::string_view bytes, bool utf8) {
  std::string text;
  for (const char byte : bytes) AppendGlyph(text, static_cast<std::uint8_t>(byte), utf8);
  return text;
}

}  // namespace mirvane::platform::terminal
