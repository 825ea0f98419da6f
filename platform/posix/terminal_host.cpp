// The console host of a POSIX terminal. The console lives in a ScreenBuffer and an InputQueue; the
// terminal is brought up to date with the buffer in one write before each wait for input, and the
// terminal's bytes become key records as the queue is read. Without a usable terminal the same host
// runs in plain-stream mode: keys from standard input, the final screen printed as text.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/console_buffer.h"
#include "platform/native_host.h"
#include "platform/ole_string.h"
#include "platform/posix/terminal.h"
#include "platform/posix/terminal_session.h"

extern char** environ;

namespace mirvane::platform {
namespace {

using namespace terminal;
using Clock = std::chrono::steady_clock;

HANDLE FakeHandle(std::uintptr_t value) { return reinterpret_cast<HANDLE>(value); }
const HANDLE kStandardInput = FakeHandle(0x10);
const HANDLE kStandardOutput = FakeHandle(0x14);
const HANDLE kStandardError = FakeHandle(0x18);
const HANDLE kConsoleInput = FakeHandle(0x20);

constexpr DWORD kProcessedInput = 0x1;  // ENABLE_PROCESSED_INPUT: Ctrl+C is a signal
constexpr DWORD kFreshInputMode = 0x1F7;
constexpr DWORD kFreshOutputMode = 0x3;
// How long a lone ESC waits for the rest of a sequence: instant to a person, enough for SSH.
constexpr auto kEscapeWait = std::chrono::milliseconds(75);
// The longest a wait with nothing to do blocks before it returns to its caller's loop.
constexpr int kIdleWaitMs = 250;
constexpr int kPlainColumns = 80;
constexpr int kPlainRows = 32;
// The console's output is staged in runs of at most 255 cells.
constexpr int kWidestBuffer = 255;
constexpr int kTallestBuffer = 0x7FFF;
constexpr std::size_t kReadChunk = 4096;
constexpr int kInputEndedStatus = 1;

int MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, kIdleWaitMs));
}

std::string Sanitised(std::string_view bytes, bool utf8) {
  std::string text;
  for (const char byte : bytes) AppendGlyph(text, static_cast<std::uint8_t>(byte), utf8);
  return text;
}

class TerminalHost final : public ConsoleHost {
 public:
  TerminalHost();

  BOOL GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) override;
  BOOL SetConsoleCursorPosition(HANDLE screen, COORD position) override;
  BOOL WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                           COORD bufferCoord, SMALL_RECT* writeRegion) override;
  BOOL ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll, const SMALL_RECT* clip,
                                  COORD destination, const CHAR_INFO* fill) override;
  BOOL FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length, COORD start,
                                   DWORD* written) override;
  BOOL FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length, COORD start,
                                  DWORD* written) override;
  BOOL SetConsoleTextAttribute(HANDLE screen, WORD attribute) override;
  BOOL GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) override;
  BOOL SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) override;

  BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override;
  BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) override;
  void Sleep(DWORD milliseconds) override;
  BOOL MessageBeep(UINT type) override;

  HRESULT CoInitialize(void*) override { return 0; }
  void CoUninitialize() override {}
  HANDLE GetStdHandle(DWORD which) override;
  HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override;
  BOOL GetConsoleMode(HANDLE handle, DWORD* mode) override;
  BOOL SetConsoleMode(HANDLE handle, DWORD mode) override;
  void GetStartupInfoA(STARTUPINFOA* info) override { *info = STARTUPINFOA{}; }
  const char* GetCommandLineA() override { return commandLine_.c_str(); }
  char* GetEnvironmentStringsA() override;
  BOOL FreeEnvironmentStringsA(char* block) override;
  HMODULE GetModuleHandleA(const char*) override { return &commandLine_; }
  DWORD TlsAlloc() override;
  BOOL TlsSetValue(DWORD index, void* value) override;
  void* TlsGetValue(DWORD index) override;
  BOOL TlsFree(DWORD index) override;
  void* GlobalAlloc(UINT flags, std::size_t bytes) override;
  void* GlobalFree(void* memory) override;
  [[noreturn]] void ExitProcess(UINT code) override;

  BSTR SysAllocStringByteLen(const char* bytes, UINT length) override;
  void SysFreeString(BSTR text) override;

  std::int32_t InitConsoleTools(HINSTANCE, std::int32_t, std::int32_t, std::int32_t,
                                std::int32_t*, std::int32_t) override {
    return 0;
  }
  std::int32_t ConsoleToolBar(std::int32_t, std::int32_t) override { return 0; }
  BSTR ConsoleTitle(BSTR title) override;
  std::int32_t ConsoleIcon(std::int32_t) override { return 0; }
  std::int32_t DeleteWindowMenuItem(std::int32_t) override { return 0; }
  std::int32_t Console80x(std::int32_t rows) override;
  std::int32_t ConsoleMove(std::int32_t, std::int32_t) override { return 0; }
  std::int32_t ConsoleMessageBox(BSTR text, std::int32_t, BSTR caption, std::int32_t,
                                 std::int32_t) override;

 private:
  bool IsScreen(HANDLE handle) const { return handle == kStandardOutput || handle == kStandardError; }
  bool IsInput(HANDLE handle) const {
    return handle == kConsoleInput || (handle == kStandardInput && stdinIsConsole_);
  }
  void Changed() { dirty_ = true; }

  // Screen.
  void UpdateTerminalSize();
  static CursorShape ShapeOf(const CONSOLE_CURSOR_INFO& info);
  void Flush();
  void PrintPlainScreen() const;

  // Input.
  bool FillQueue();
  bool ReadInput(std::string& bytes, int timeoutMs);
  bool ReadAvailable(int timeoutMs);
  void WaitForInput(int timeoutMs);
  [[noreturn]] void InputEnded();
  std::span<const std::uint8_t> Pending() const;
  void ConsumePending(std::size_t count);

  bool plain_ = false;
  bool utf8_ = false;
  int inputFd_ = -1;
  bool stdinIsConsole_ = false;
  DWORD inputMode_ = kFreshInputMode;
  DWORD outputMode_ = kFreshOutputMode;

  ScreenBuffer buffer_{kPlainColumns, kPlainRows};
  InputQueue queue_;
  std::unique_ptr<Renderer> renderer_;
  int terminalColumns_ = kPlainColumns;
  int terminalRows_ = kPlainRows;
  int originColumn_ = 0;
  int originRow_ = 0;
  bool dirty_ = true;
  std::string out_;
  std::string title_;
  struct BoxShown {
    std::string text;
    std::string caption;
  };
  std::optional<BoxShown> box_;

  std::string pending_;
  std::size_t pendingStart_ = 0;
  Clock::time_point lastByteTime_{};
  bool inputEnded_ = false;
  bool endKeyQueued_ = false;
  LineEndFolder lineEnds_;

  std::string commandLine_;
  std::map<DWORD, void*> tlsSlots_;
  DWORD nextTlsIndex_ = 1;
};

TerminalHost::TerminalHost() : commandLine_(ReadCommandLine()) {
  utf8_ = LocaleIsUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
  const char* term = std::getenv("TERM");
  int tty = -1;
  if (!TermIsPlain(term)) tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  const int screenFd = ::isatty(STDOUT_FILENO) ? STDOUT_FILENO
                       : ::isatty(STDERR_FILENO) ? STDERR_FILENO
                                                 : -1;
  if (tty < 0 || screenFd < 0 || !SaveTerminal(tty, screenFd)) {
    if (tty >= 0) ::close(tty);
    plain_ = true;
    inputFd_ = STDIN_FILENO;
    return;
  }
  inputFd_ = tty;
  stdinIsConsole_ = ::isatty(STDIN_FILENO) != 0;

  const auto entry = ReadTerminfoEntry(term);
  const ColourMode colours =
      ColourModeFor(std::getenv("NO_COLOR"), std::getenv("COLORTERM"),
                    entry ? TerminfoColours(*entry) : std::nullopt, entry.has_value());
  renderer_ = std::make_unique<Renderer>(colours, utf8_);

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

// A console cursor fills a percentage of its cell; a terminal has an underline or a block.
CursorShape TerminalHost::ShapeOf(const CONSOLE_CURSOR_INFO& info) {
  return info.dwSize <= 50 ? CursorShape::Underline : CursorShape::Block;
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
  if (dirty_) {
    const COORD cursor = buffer_.CursorPosition();
    originColumn_ = FollowCursor(originColumn_, cursor.X, buffer_.Columns(), terminalColumns_);
    originRow_ = FollowCursor(originRow_, cursor.Y, buffer_.Rows(), terminalRows_);
    Frame frame = ComposeFrame(buffer_, originColumn_, originRow_, terminalColumns_,
                               terminalRows_, ShapeOf(buffer_.CursorInfo()));
    if (box_) {
      DrawMessageBox(frame, buffer_.Columns() - originColumn_, buffer_.Rows() - originRow_,
                     box_->text, box_->caption);
    }
    renderer_->Render(frame, out_);
    dirty_ = false;
    NoteDrawn(renderer_->ColoursSent(), renderer_->ShapeSent(),
              std::min(terminalRows_, buffer_.Rows() - originRow_), terminalRows_);
  }
  if (!out_.empty()) {
    WriteAll(ScreenFd(), out_);
    out_.clear();
  }
}

void TerminalHost::PrintPlainScreen() const {
  std::vector<std::string> rows;
  for (int row = 0; row < buffer_.Rows(); ++row) {
    int end = buffer_.Columns();
    while (end > 0 && (buffer_.At(end - 1, row).character == ' ' ||
                       buffer_.At(end - 1, row).character == 0)) {
      --end;
    }
    std::string text;
    for (int column = 0; column < end; ++column) {
      AppendGlyph(text, buffer_.At(column, row).character, utf8_);
    }
    rows.push_back(std::move(text));
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  std::string all;
  for (const std::string& row : rows) all += row + '\n';
  WriteAll(STDOUT_FILENO, all);
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

// ---- Input side -----------------------------------------------------------------------------

std::span<const std::uint8_t> TerminalHost::Pending() const {
  return {reinterpret_cast<const std::uint8_t*>(pending_.data()) + pendingStart_,
          pending_.size() - pendingStart_};
}

void TerminalHost::ConsumePending(std::size_t count) {
  pendingStart_ += count;
  if (pendingStart_ == pending_.size()) {
    pending_.clear();
    pendingStart_ = 0;
  } else if (pendingStart_ >= kReadChunk && pendingStart_ * 2 >= pending_.size()) {
    pending_.erase(0, pendingStart_);
    pendingStart_ = 0;
  }
}

// Appends what the input has to bytes, waiting at most timeoutMs for something to arrive (or for
// a signal to wake it). False when nothing was read; inputEnded_ tells the input has ended.
bool TerminalHost::ReadInput(std::string& bytes, int timeoutMs) {
  pollfd fds[2] = {{inputFd_, POLLIN, 0}, {WakeFd(), POLLIN, 0}};
  const nfds_t count = WakeFd() >= 0 ? 2 : 1;
  if (::poll(fds, count, timeoutMs) <= 0) return false;
  if (count == 2 && (fds[1].revents & POLLIN) != 0) DrainWake();
  if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return false;
  char chunk[kReadChunk];
  const ssize_t got = ::read(inputFd_, chunk, sizeof chunk);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return false;
  if (got <= 0) {
    inputEnded_ = true;
    return false;
  }
  bytes.append(chunk, static_cast<std::size_t>(got));
  return true;
}

// Reads what the input has into the pending bytes.
bool TerminalHost::ReadAvailable(int timeoutMs) {
  std::string bytes;
  if (!ReadInput(bytes, timeoutMs)) return false;
  if (plain_) lineEnds_.Fold(bytes);
  pending_ += bytes;
  lastByteTime_ = Clock::now();
  return true;
}

// Decodes pending bytes, reading more when they run out, until the queue has a record or nothing
// more can be had without waiting. True when the queue has a record.
bool TerminalHost::FillQueue() {
  while (queue_.Empty()) {
    if (pendingStart_ < pending_.size()) {
      const bool final = inputEnded_ || Clock::now() - lastByteTime_ >= kEscapeWait;
      const Decoded decoded = DecodeKey(Pending(), utf8_, final);
      if (decoded.status != DecodeStatus::NeedMore) {
        ConsumePending(decoded.consumed);
        if (decoded.status == DecodeStatus::Key) {
          for (const INPUT_RECORD& record : RecordsOf(decoded.key)) queue_.Push(record);
        }
        continue;
      }
    }
    if (inputEnded_) {
      if (!plain_) InputEnded();
      if (pendingStart_ < pending_.size()) continue;  // decided as final now
      if (endKeyQueued_) InputEnded();  // the end was taken and still an answer is awaited
      // The end of input is a key without a character: it ends the final key wait, and a line
      // being typed ignores it and then finds nothing more.
      for (const INPUT_RECORD& record : RecordsOf(Key{0, 0, 0})) queue_.Push(record);
      endKeyQueued_ = true;
      continue;
    }
    if (!ReadAvailable(0)) return !queue_.Empty();
  }
  return true;
}

void TerminalHost::InputEnded() {
  MarkEnding();
  Flush();
  RestoreTerminal();
  if (plain_) PrintPlainScreen();
  const char* message = plain_ ? "mirvane: standard input ended while an answer was awaited\n"
                               : "mirvane: the terminal can no longer be read\n";
  WriteAll(STDERR_FILENO, message);
  ::_exit(kInputEndedStatus);
}

// Blocks until input arrives, a signal wakes it, an Esc wait runs out or timeoutMs passes.
void TerminalHost::WaitForInput(int timeoutMs) {
  if (pendingStart_ < pending_.size()) {
    timeoutMs = std::min(timeoutMs, MillisecondsUntil(lastByteTime_ + kEscapeWait));
  }
  ReadAvailable(timeoutMs);
}

BOOL TerminalHost::PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length,
                                     DWORD* read) {
  if (!IsInput(input) || read == nullptr) return FALSE;
  FillQueue();
  *read = queue_.Peek(buffer, length);
  return TRUE;
}

BOOL TerminalHost::ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length,
                                     DWORD* read) {
  if (!IsInput(input) || read == nullptr) return FALSE;
  FillQueue();
  *read = queue_.Read(buffer, length);
  return TRUE;
}

void TerminalHost::Sleep(DWORD milliseconds) {
  Flush();
  if (FillQueue()) {  // keys are waiting: keep the caller's pace
    const timespec pause{0, static_cast<long>(std::min<DWORD>(milliseconds, 999)) * 1000000L};
    ::nanosleep(&pause, nullptr);
    return;
  }
  WaitForInput(kIdleWaitMs);
}

BOOL TerminalHost::MessageBeep(UINT) {
  if (!plain_) out_ += '\a';
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

// ---- Window dressing ------------------------------------------------------------------------

BSTR TerminalHost::ConsoleTitle(BSTR title) {
  const std::string previous = title_;
  if (!plain_) {
    title_ = Sanitised(OleStringBytes(title), utf8_);
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
    const std::string line = Sanitised(OleStringBytes(caption), utf8_) + ": " +
                             Sanitised(OleStringBytes(text), utf8_) + "\n";
    WriteAll(STDERR_FILENO, line);
    return 1;
  }
  // Keys typed before the box showed stay for the console; the box takes only later ones.
  while (ReadAvailable(0)) {
  }
  if (inputEnded_) InputEnded();
  box_ = BoxShown{std::string(OleStringBytes(text)), std::string(OleStringBytes(caption))};
  dirty_ = true;
  Flush();

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
      const std::uint8_t character = decoded.key.character;
      dismissed = decoded.status == DecodeStatus::Key &&
                  (character == 13 || character == ' ' || character == 27);
    }
  }
  box_.reset();
  dirty_ = true;
  Flush();
  return 1;
}

}  // namespace

ConsoleHost& NativeHost() {
  static TerminalHost host;
  return host;
}

}  // namespace mirvane::platform
