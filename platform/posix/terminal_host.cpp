// The terminal host's start-up, its screen side and its process services.
#include "platform/posix/terminal_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/native_host.h"
#include "platform/ole_string.h"
#include "platform/posix/terminal_session.h"

extern char** environ;

namespace mirvane::platform {
namespace terminal {
namespace {

constexpr DWORD kProcessedInput = 0x1;  // ENABLE_PROCESSED_INPUT: Ctrl+C is a signal
// The console's output is staged in runs of at most 255 cells.
constexpr int kWidestBuffer = 255;
constexpr int kTallestBuffer = 0x7FFF;

// The terminal the host can draw on: /dev/tty, unless TERM says there is no screen; -1 for none.
int OpenTerminal(const char* term) {
  if (TermIsPlain(term)) return -1;
  return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// Where the screen goes: standard output when it is a terminal, else standard error; -1 for
// neither.
int ScreenDescriptor() {
  if (::isatty(STDOUT_FILENO)) return STDOUT_FILENO;
  if (::isatty(STDERR_FILENO)) return STDERR_FILENO;
  return -1;
}

ColourMode ColoursOf(const char* term) {
  const auto entry = ReadTerminfoEntry(term);
  return ColourModeFor(std::getenv("NO_COLOR"), std::getenv("COLORTERM"),
                       entry ? TerminfoColours(*entry) : std::nullopt, entry.has_value());
}

// A console cursor fills a percentage of its cell; a terminal has an underline or a block.
CursorShape ShapeOf(const CONSOLE_CURSOR_INFO& info) {
  return info.dwSize <= 50 ? CursorShape::Underline : CursorShape::Block;
}

}  // namespace

int MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, kIdleWaitMs));
}

TerminalHost::TerminalHost() : commandLine_(ReadCommandLine()) {
  utf8_ = LocaleIsUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
  const char* term = std::getenv("TERM");
  const int tty = OpenTerminal(term);
  const int screenFd = ScreenDescriptor();
  if (tty < 0 || screenFd < 0 || !SaveTerminal(tty, screenFd)) {
    if (tty >= 0) ::close(tty);
    plain_ = true;
    inputFd_ = STDIN_FILENO;
    return;
  }
  inputFd_ = tty;
  stdinIsConsole_ = ::isatty(STDIN_FILENO) != 0;
  renderer_ = std::make_unique<Renderer>(ColoursOf(term), utf8_);
  StartSession();

  UpdateTerminalSize();
  buffer_ = ScreenBuffer(std::min(terminalColumns_, kWidestBuffer),
                         std::min(terminalRows_, kTallestBuffer));
}

void TerminalHost::UpdateTerminalSize() {
  const TerminalSize size = ReadTerminalSize();
  terminalColumns_ = size.columns;
  terminalRows_ = size.rows;
}

// The one write before a wait: the buffer's changes, and anything queued (bell, title).
void TerminalHost::Flush() {
  if (plain_) return;
  if (TakeResize()) {
    UpdateTerminalSize();
    renderer_->Forget();
    dirty_ = true;
  }
  if (TakeContinue()) {
    renderer_->Forget();
    dirty_ = true;
    if (!title_.empty()) {
      out_ += "\x1b[22;2t\x1b]2;" + title_ + "\x07";
      NoteTitlePushed();
    }
  }
  if (dirty_) Draw();
  if (!out_.empty()) {
    WriteAll(ScreenFd(), out_);
    out_.clear();
  }
}

// The buffer's part the terminal shows, the message box over it, into the bytes to write.
void TerminalHost::Draw() {
  const COORD cursor = buffer_.CursorPosition();
  originColumn_ = FollowCursor(originColumn_, cursor.X, buffer_.Columns(), terminalColumns_);
  originRow_ = FollowCursor(originRow_, cursor.Y, buffer_.Rows(), terminalRows_);
  Frame frame = ComposeFrame(buffer_, originColumn_, originRow_, terminalColumns_, terminalRows_,
                             ShapeOf(buffer_.CursorInfo()));
  if (box_) {
    DrawMessageBox(frame, buffer_.Columns() - originColumn_, buffer_.Rows() - originRow_,
                   box_->text, box_->caption);
  }
  renderer_->Render(frame, out_);
  dirty_ = false;
  NoteDrawn(renderer_->ColoursSent(), renderer_->ShapeSent(),
            std::min(terminalRows_, buffer_.Rows() - originRow_), terminalRows_);
}

// ---- Screen side ----------------------------------------------------------------------------

BOOL TerminalHost::GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) {
  if (!IsScreen(screen) || info == nullptr) return FALSE;
  *info = buffer_.Info();
  const int columns = std::min(terminalColumns_, buffer_.Columns());
  const int rows = std::min(terminalRows_, buffer_.Rows());
  info->srWindow = {static_cast<SHORT>(originColumn_), static_cast<SHORT>(originRow_),
                    static_cast<SHORT>(originColumn_ + columns - 1),
                    static_cast<SHORT>(originRow_ + rows - 1)};
  info->dwMaximumWindowSize = {static_cast<SHORT>(std::min(terminalColumns_, 0x7FFF)),
                               static_cast<SHORT>(std::min(terminalRows_, 0x7FFF))};
  return TRUE;
}

BOOL TerminalHost::SetConsoleCursorPosition(HANDLE screen, COORD position) {
  if (!IsScreen(screen) || !buffer_.SetCursorPosition(position)) return FALSE;
  Changed();
  return TRUE;
}

BOOL TerminalHost::WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                                       COORD bufferCoord, SMALL_RECT* writeRegion) {
  if (!IsScreen(screen) || buffer == nullptr || writeRegion == nullptr) return FALSE;
  Changed();
  return buffer_.WriteOutput(buffer, bufferSize, bufferCoord, writeRegion) ? TRUE : FALSE;
}

BOOL TerminalHost::ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll,
                                              const SMALL_RECT* clip, COORD destination,
                                              const CHAR_INFO* fill) {
  if (!IsScreen(screen) || scroll == nullptr || fill == nullptr) return FALSE;
  Changed();
  return buffer_.Scroll(*scroll, clip, destination, *fill) ? TRUE : FALSE;
}

BOOL TerminalHost::FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length,
                                               COORD start, DWORD* written) {
  if (!IsScreen(screen)) return FALSE;
  Changed();
  const DWORD count = buffer_.FillCharacter(static_cast<std::uint8_t>(character), length, start);
  if (written != nullptr) *written = count;
  return TRUE;
}

BOOL TerminalHost::FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length,
                                              COORD start, DWORD* written) {
  if (!IsScreen(screen)) return FALSE;
  Changed();
  const DWORD count = buffer_.FillAttribute(attribute, length, start);
  if (written != nullptr) *written = count;
  return TRUE;
}

BOOL TerminalHost::SetConsoleTextAttribute(HANDLE screen, WORD attribute) {
  if (!IsScreen(screen)) return FALSE;
  buffer_.SetDefaultAttribute(attribute);
  return TRUE;
}

BOOL TerminalHost::GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) {
  if (!IsScreen(screen) || info == nullptr) return FALSE;
  *info = buffer_.CursorInfo();
  return TRUE;
}

BOOL TerminalHost::SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) {
  if (!IsScreen(screen) || info == nullptr || !buffer_.SetCursorInfo(*info)) return FALSE;
  Changed();
  return TRUE;
}

// ---- Process services -----------------------------------------------------------------------

HANDLE TerminalHost::GetStdHandle(DWORD which) {
  if (which == STD_INPUT_HANDLE) return kStandardInput;
  if (which == STD_OUTPUT_HANDLE) return kStandardOutput;
  if (which == STD_ERROR_HANDLE) return kStandardError;
  return INVALID_HANDLE_VALUE;
}

HANDLE TerminalHost::CreateFileA(const char* name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (name == nullptr || std::strcmp(name, "CONIN$") != 0) return INVALID_HANDLE_VALUE;
  return kConsoleInput;
}

BOOL TerminalHost::GetConsoleMode(HANDLE handle, DWORD* mode) {
  if (plain_ || mode == nullptr) return FALSE;
  if (IsInput(handle)) {
    *mode = inputMode_;
    return TRUE;
  }
  if ((handle == kStandardOutput && ScreenFd() == STDOUT_FILENO) ||
      (handle == kStandardError && ::isatty(STDERR_FILENO))) {
    *mode = outputMode_;
    return TRUE;
  }
  return FALSE;
}

BOOL TerminalHost::SetConsoleMode(HANDLE handle, DWORD mode) {
  DWORD current;
  if (GetConsoleMode(handle, &current) == FALSE) return FALSE;
  if (IsScreen(handle)) {
    outputMode_ = mode;
    return TRUE;
  }
  inputMode_ = mode;
  SetProcessedInput((mode & kProcessedInput) != 0);
  return TRUE;
}

char* TerminalHost::GetEnvironmentStringsA() {
  std::string block;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    block += *entry;
    block += '\0';
  }
  block += '\0';
  auto* copy = static_cast<char*>(std::malloc(block.size()));
  if (copy != nullptr) std::memcpy(copy, block.data(), block.size());
  return copy;
}

BOOL TerminalHost::FreeEnvironmentStringsA(char* block) {
  std::free(block);
  return TRUE;
}

DWORD TerminalHost::TlsAlloc() {
  const DWORD index = nextTlsIndex_++;
  tlsSlots_[index] = nullptr;
  return index;
}

BOOL TerminalHost::TlsSetValue(DWORD index, void* value) {
  auto slot = tlsSlots_.find(index);
  if (slot == tlsSlots_.end()) return FALSE;
  slot->second = value;
  return TRUE;
}

void* TerminalHost::TlsGetValue(DWORD index) {
  auto slot = tlsSlots_.find(index);
  return slot == tlsSlots_.end() ? nullptr : slot->second;
}

BOOL TerminalHost::TlsFree(DWORD index) { return tlsSlots_.erase(index) == 1 ? TRUE : FALSE; }

void* TerminalHost::GlobalAlloc(UINT flags, std::size_t bytes) {
  return (flags & GPTR) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
}

void* TerminalHost::GlobalFree(void* memory) {
  std::free(memory);
  return nullptr;
}

void TerminalHost::ExitProcess(UINT code) {
  MarkEnding();
  Flush();
  RestoreTerminal();
  if (plain_) PrintPlainScreen();
  ::_exit(static_cast<int>(code));
}

BSTR TerminalHost::SysAllocStringByteLen(const char* bytes, UINT length) {
  return NewOleString(bytes, length);
}

void TerminalHost::SysFreeString(BSTR text) { FreeOleString(text); }

}  // namespace terminal

ConsoleHost& NativeHost() {
  static terminal::TerminalHost host;
  return host;
}

}  // namespace mirvane::platform
