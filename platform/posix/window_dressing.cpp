// What the console-window library and the bell do to the terminal: the title, the console's size,
// the bell and the message box drawn over the screen.
#include <string>

#include "platform/ole_string.h"
#include "platform/posix/terminal_host.h"
#include "platform/posix/terminal_session.h"

namespace mirvane::platform::terminal {
namespace {

bool DismissesBox(const Decoded& decoded) {
  const std::uint8_t character = decoded.key.character;
  return decoded.status == DecodeStatus::Key &&
         (character == 13 || character == ' ' || character == 27);
}

}  // namespace

BOOL TerminalHost::MessageBeep(UINT) {
  if (!plain_) out_ += '\a';
  return TRUE;
}

BSTR TerminalHost::ConsoleTitle(BSTR title) {
  const std::string previous = title_;
  if (!plain_) {
    title_ = GlyphText(OleStringBytes(title), utf8_);
    if (!TitlePushed()) out_ += "\x1b[22;2t";  // so the old title comes back at the end
    NoteTitlePushed();
    out_ += "\x1b]2;" + title_ + "\x07";
  }
  return SysAllocStringByteLen(previous.data(), static_cast<UINT>(previous.size()));
}

std::int32_t TerminalHost::Console80x(std::int32_t rows) {
  if (rows < 1 || rows > 0x7FFF) return 0;
  buffer_.Resize(80, rows);
  Changed();
  return 1;
}

std::int32_t TerminalHost::ConsoleMessageBox(BSTR text, std::int32_t, BSTR caption, std::int32_t,
                                             std::int32_t) {
  if (plain_) {
    PrintMessageLine(text, caption);
  } else {
    ShowMessageBox(text, caption);
  }
  return 1;
}

void TerminalHost::ShowMessageBox(BSTR text, BSTR caption) {
  // Keys typed before the box showed stay for the console; the box takes only later ones.
  while (ReadAvailable(0)) {
  }
  if (inputEnded_) InputEnded();
  box_ = BoxShown{std::string(OleStringBytes(text)), std::string(OleStringBytes(caption))};
  dirty_ = true;
  Flush();
  WaitForBoxDismissal();
  box_.reset();
  dirty_ = true;
  Flush();
}

// Reads keys of its own until Enter, Space or Esc; the box is drawn anew after a resize or a stop.
void TerminalHost::WaitForBoxDismissal() {
  std::string keys;
  Clock::time_point lastKeyByte{};
  bool dismissed = false;
  while (!dismissed) {
    int timeout = kIdleWaitMs;
    if (!keys.empty()) timeout = MillisecondsUntil(lastKeyByte + kEscapeWait);
    if (ReadInput(keys, timeout)) lastKeyByte = Clock::now();
    if (inputEnded_) InputEnded();
    if (ResizePending() || ContinuePending()) {
      dirty_ = true;
      Flush();
    }
    while (!keys.empty() && !dismissed) {
      const bool final = Clock::now() - lastKeyByte >= kEscapeWait;
      const Decoded decoded = DecodeKey(
          {reinterpret_cast<const std::uint8_t*>(keys.data()), keys.size()}, utf8_, final);
      if (decoded.status == DecodeStatus::NeedMore) break;
      keys.erase(0, decoded.consumed);
      dismissed = DismissesBox(decoded);
    }
  }
}

}  // namespace mirvane::platform::terminal
