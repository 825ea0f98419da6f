// The terminal host's own parts, each usable without a terminal: the code page's glyphs, the key
// decoder (terminal bytes to key records), what the environment says about the terminal and the
// process, and the renderer (screen buffer to the bytes that bring a terminal up to date). The host
// itself is platform::NativeHost() of platform/native_host.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_buffer.h"
#include "platform/console_host.h"

namespace mirvane::platform::terminal {

// ---- Code page 437 ----------------------------------------------------------------------------

// The character the console shows for a byte: the full IBM PC set, with the glyphs of 1 to 31 and
// 127 (0 shows as a blank).
char32_t GlyphOf(std::uint8_t byte);
// The byte a typed character becomes: 32 to 255 only, never a control code; nothing for characters
// the code page lacks.
std::optional<std::uint8_t> CodePageByteOf(char32_t character);
// A cell's byte as the terminal is sent it: its glyph in UTF-8, or, in a locale without UTF-8, the
// byte itself when it is printable ASCII, a plain stand-in for box lines, and '?' otherwise. Never a
// control code.
void AppendGlyph(std::string& out, std::uint8_t byte, bool utf8);
// Text from the program as AppendGlyph sends it, byte by byte: no control code reaches the
// terminal.
std::string GlyphText(std::string_view bytes, bool utf8);

// ---- Keys -------------------------------------------------------------------------------------

// One key as the console reports it: the character as a code-page byte (0 for none), the set-1 scan
// code and the dwControlKeyState flags.
struct Key {
  std::uint8_t character = 0;
  WORD scanCode = 0;
  DWORD state = 0;

  friend bool operator==(const Key&, const Key&) = default;
};

enum class DecodeStatus {
  NeedMore,  // the bytes begin a key that is not complete yet; nothing consumed
  Key,       // a key; `consumed` bytes make it
  Drop,      // `consumed` bytes that make no key (unknown sequence, invalid UTF-8, no such glyph)
};

struct Decoded {
  DecodeStatus status = DecodeStatus::NeedMore;
  std::size_t consumed = 0;
  terminal::Key key;
};

// Decodes the key at the start of bytes. With `final` set no more bytes are coming soon (the Esc
// wait has run out), so an incomplete start is decided as it stands: a lone Esc is the Esc key,
// ESC with one more byte is Alt with that key, the rest is dropped. Never NeedMore when final.
// `utf8`: the terminal sends UTF-8; otherwise each byte above 127 is a code-page byte.
Decoded DecodeKey(std::span<const std::uint8_t> bytes, bool utf8, bool final);

// The records the console queues for a key: its press, then its release.
std::array<INPUT_RECORD, 2> RecordsOf(const Key& key);

// Turns the line ends of a byte stream (LF, CR, or CR LF) into one CR each, across calls.
class LineEndFolder {
 public:
  void Fold(std::string& bytes);

 private:
  bool afterCarriageReturn_ = false;
};

// ---- What the environment says ----------------------------------------------------------------

enum class ColourMode {
  None,     // no colour sequences at all
  Eight,    // SGR 30-37 and 40-47; bright foregrounds as bold
  Sixteen,  // SGR 30-37, 90-97, 40-47, 100-107
};

// LC_ALL, then LC_CTYPE, then LANG: the first one set and not empty names the character set.
bool LocaleIsUtf8(const char* lcAll, const char* lcCtype, const char* lang);
// TERM unset, empty or "dumb": a stream of text, not a screen.
bool TermIsPlain(const char* term);
// The `colors` number of a compiled terminfo entry (legacy or 32-bit format); nothing when the
// entry is malformed or does not give it.
std::optional<int> TerminfoColours(std::span<const std::uint8_t> entry);
// NO_COLOR set and not empty: none. COLORTERM set: sixteen. Otherwise by the terminfo colours:
// 16 or more sixteen, 8 to 15 eight, fewer none; no entry found: sixteen.
ColourMode ColourModeFor(const char* noColor, const char* colorTerm,
                         std::optional<int> terminfoColours, bool terminfoFound);
// The compiled terminfo entry of a terminal type, from the places ncurses looks ($TERMINFO,
// ~/.terminfo, $TERMINFO_DIRS, the system's); nothing when none is found.
std::optional<std::vector<std::uint8_t>> ReadTerminfoEntry(const char* term);
// The process's command line, arguments quoted where they hold blanks; "mirvane" when unknown.
std::string ReadCommandLine();

// ---- Rendering --------------------------------------------------------------------------------

// A cell as a terminal shows it. kOutside marks cells beyond the screen buffer: blank in the
// terminal's own colours.
struct FrameCell {
  static constexpr WORD kOutside = 0xFFFF;
  std::uint8_t character = ' ';
  WORD attribute = kOutside;

  friend bool operator==(const FrameCell&, const FrameCell&) = default;
};

enum class CursorShape { TerminalDefault, Underline, Block };

// What the terminal should show: its cells and its cursor.
struct Frame {
  int columns = 0;
  int rows = 0;
  std::vector<FrameCell> cells;
  int cursorColumn = 0;
  int cursorRow = 0;
  bool cursorVisible = true;
  CursorShape cursorShape = CursorShape::TerminalDefault;

  FrameCell& At(int column, int row) {
    return cells[static_cast<std::size_t>(row * columns + column)];
  }
  const FrameCell& At(int column, int row) const {
    return cells[static_cast<std::size_t>(row * columns + column)];
  }
};

// The first buffer row (or column) a terminal of `visible` rows shows: 0 when the whole buffer
// fits; otherwise moved from `origin` as little as needed to keep the cursor in sight, as a
// console window follows the cursor over a taller buffer.
int FollowCursor(int origin, int cursor, int bufferLength, int visible);

// The terminal's view of the buffer: the buffer's cells from (originColumn, originRow) on, blank
// cells beyond it, the cursor where it falls, in the given shape.
Frame ComposeFrame(const ScreenBuffer& buffer, int originColumn, int originRow, int columns,
                   int rows, CursorShape cursorShape);

// Draws a message box over the middle of the frame's top-left columns × rows (the part that shows
// the buffer): caption in its top edge, the text, an OK button; hides the cursor. Clipped to the
// frame.
void DrawMessageBox(Frame& frame, int columns, int rows, std::string_view text,
                    std::string_view caption);

// Brings a terminal from what it shows to a new frame with as few bytes as it can: only cells
// that differ, colour changes only where the colour changes, the shortest cursor moves.
class Renderer {
 public:
  Renderer(ColourMode colours, bool utf8) : colours_(colours), utf8_(utf8) {}

  // Appends to out the bytes that make the terminal show frame. The first frame, one of another
  // size, and the first after Forget(), start from a cleared terminal.
  void Render(const Frame& frame, std::string& out);
  // The terminal's content, colours and cursor are unknown (resized, or back from a stop).
  void Forget() {
    known_ = false;
    penKnown_ = false;
    cursorStateKnown_ = false;
  }
  // Whether any colour sequence has been sent, so a reset is owed at the end.
  bool ColoursSent() const { return coloursSent_; }
  // Whether the cursor shape was ever changed from the terminal's default.
  bool ShapeSent() const { return shapeSent_; }

 private:
  struct Pen {
    int foreground = -1;  // -1: the terminal's own colour
    int background = -1;
    bool bold = false;
    friend bool operator==(const Pen&, const Pen&) = default;
  };

  void ClearTerminal(const Frame& frame, std::string& out);
  void DrawRow(const Frame& frame, int row, std::string& out);
  void MoveTo(int column, int row, std::string& out);
  void UsePen(const Pen& pen, std::string& out);
  void PlaceCursor(const Frame& frame, std::string& out);
  Pen PenFor(WORD attribute) const;

  ColourMode colours_;
  bool utf8_;
  bool known_ = false;
  Frame shown_;
  Pen pen_;
  bool penKnown_ = false;
  // The terminal's cursor; unknown after the last column is written (the deferred wrap) or after a
  // glyph whose width the terminal may judge otherwise.
  int cursorColumn_ = 0;
  int cursorRow_ = 0;
  bool cursorKnown_ = false;
  bool cursorShown_ = true;
  CursorShape shape_ = CursorShape::TerminalDefault;
  bool cursorStateKnown_ = true;  // visibility and shape as recorded above
  bool coloursSent_ = false;
  bool shapeSent_ = false;
};

}  // namespace mirvane::platform::terminal
