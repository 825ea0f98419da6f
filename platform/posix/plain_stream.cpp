// Plain-stream mode, the host without a usable terminal: keys come from standard input, nothing is
// drawn while the program runs, and the screen is printed as text when it ends.
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/ole_string.h"
#include "platform/posix/terminal_host.h"
#include "platform/posix/terminal_session.h"

namespace mirvane::platform::terminal {
namespace {

bool IsBlank(const Cell& cell) { return cell.character == ' ' || cell.character == 0; }

// A row's glyphs up to its last one that is not blank.
std::string RowText(const ScreenBuffer& buffer, int row, bool utf8) {
  int end = buffer.Columns();
  while (end > 0 && IsBlank(buffer.At(end - 1, row))) --end;
  std::string text;
  for (int column = 0; column < end; ++column) {
    AppendGlyph(text, buffer.At(column, row).character, utf8);
  }
  return text;
}

}  // namespace

// The screen's rows on standard output, without the blank rows below the last one written.
void TerminalHost::PrintPlainScreen() const {
  std::vector<std::string> rows;
  for (int row = 0; row < buffer_.Rows(); ++row) rows.push_back(RowText(buffer_, row, utf8_));
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  std::string all;
  for (const std::string& row : rows) all += row + '\n';
  WriteAll(STDOUT_FILENO, all);
}

// A message box as a line on standard error: "caption: text".
void TerminalHost::PrintMessageLine(BSTR text, BSTR caption) const {
  const std::string line = GlyphText(OleStringBytes(caption), utf8_) + ": " +
                           GlyphText(OleStringBytes(text), utf8_) + "\n";
  WriteAll(STDERR_FILENO, line);
}

}  // namespace mirvane::platform::terminal
