#include "platform/memory_host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/key_records.h"
#include "platform/ole_string.h"

namespace mirvane::platform {
namespace {

constexpr char kDefaultEnvironment[] = "PATH=C:\\Windows\0TEMP=C:\\Temp\0";

std::string Hex(unsigned value, int digits = 1) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text).push_back('"');
  return quoted;
}

// "Name(a,b,c)" from the pieces.
template <typename... Pieces>
std::string Call(std::string_view name, const Pieces&... pieces) {
  std::string call(name);
  call += '(';
  bool first = true;
  ((call += (first ? "" : ","), call += pieces, first = false), ...);
  call += ')';
  return call;
}

std::string Number(long long value) { return std::to_string(value); }

std::string RectText(const SMALL_RECT& r) {
  return Number(r.Left) + "," + Number(r.Top) + "," + Number(r.Right) + "," + Number(r.Bottom);
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

MemoryHost::MemoryHost(int columns, int rows)
    : screen_(columns, rows), environment_(kDefaultEnvironment, sizeof kDefaultEnvironment - 1) {
  for (HANDLE handle : {kStandardInput, kStandardOutput, kStandardError, kConsoleInput}) {
    isConsole_[handle] = true;
  }
  standardHandles_[STD_INPUT_HANDLE] = kStandardInput;
  standardHandles_[STD_OUTPUT_HANDLE] = kStandardOutput;
  standardHandles_[STD_ERROR_HANDLE] = kStandardError;
}

MemoryHost::~MemoryHost() = default;

// ---- Screen, for assertions ---------------------------------------------------------------------

std::string MemoryHost::Row(int row) const {
  if (row < 1 || row > screen_.Rows()) throw std::out_of_range(std::string("no row ").append(Number(row)));
  std::string text;
  for (int column = 0; column < screen_.Columns(); ++column) {
    text += static_cast<char>(screen_.At(column, row - 1).character);
  }
  return text;
}

std::string MemoryHost::RowTrimmed(int row) const {
  std::string text = Row(row);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::vector<WORD> MemoryHost::RowAttributes(int row) const {
  if (row < 1 || row > screen_.Rows()) throw std::out_of_range(std::string("no row ").append(Number(row)));
  std::vector<WORD> attributes;
  for (int column = 0; column < screen_.Columns(); ++column) {
    attributes.push_back(screen_.At(column, row - 1).attribute);
  }
  return attributes;
}

std::vector<std::string> MemoryHost::Rows() const {
  std::vector<std::string> rows;
  for (int row = 1; row <= screen_.Rows(); ++row) rows.push_back(Row(row));
  return rows;
}

// ---- Keyboard -----------------------------------------------------------------------------------

void MemoryHost::PressKey(std::uint8_t character, WORD scanCode, DWORD state) {
  Queue(KeyDown(character, scanCode, state));
  Queue(KeyUp(character, scanCode, state));
}

void MemoryHost::Type(std::string_view text) {
  for (char byte : text) {
    const auto character = static_cast<std::uint8_t>(byte);
    if (const std::optional<UsKey> key = UsKeyFor(character)) {
      PressKey(character, key->scanCode, key->ControlKeyState());
    } else {
      PressKey(character, 0);
    }
  }
}

// ---- Call log and handles -----------------------------------------------------------------------

std::vector<std::string> MemoryHost::CallsNamed(std::string_view name) const {
  std::vector<std::string> named;
  for (const std::string& call : calls_) {
    if (call.size() > name.size() && call.compare(0, name.size(), name) == 0 &&
        call[name.size()] == '(') {
      named.push_back(call);
    }
  }
  return named;
}

int MemoryHost::Count(std::string_view name) const {
  return static_cast<int>(CallsNamed(name).size());
}

void MemoryHost::SetConsole(HANDLE handle, bool isConsole) { isConsole_[handle] = isConsole; }

void MemoryHost::SetStandardHandle(DWORD which, HANDLE handle) { standardHandles_[which] = handle; }

std::string MemoryHost::HandleName(HANDLE handle) const {
  if (handle == kStandardInput) return "stdin";
  if (handle == kStandardOutput) return "stdout";
  if (handle == kStandardError) return "stderr";
  if (handle == kConsoleInput) return "conin";
  if (handle == nullptr) return "null";
  if (handle == INVALID_HANDLE_VALUE) return "invalid";
  return Hex(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handle)));
}

bool MemoryHost::IsConsole(HANDLE handle) const {
  const auto found = isConsole_.find(handle);
  return found != isConsole_.end() && found->second;
}

bool MemoryHost::IsScreen(HANDLE handle) const {
  return (handle == kStandardOutput || handle == kStandardError) && IsConsole(handle);
}

bool MemoryHost::IsInput(HANDLE handle) const {
  return (handle == kStandardInput || handle == kConsoleInput) && IsConsole(handle);
}

// ---- Screen side --------------------------------------------------------------------------------

BOOL MemoryHost::GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) {
  Record(Call("GetConsoleScreenBufferInfo", HandleName(screen)));
  if (!IsScreen(screen)) return FALSE;
  *info = screen_.Info();
  return TRUE;
}

BOOL MemoryHost::SetConsoleCursorPosition(HANDLE screen, COORD position) {
  Record(Call("SetConsoleCursorPosition", HandleName(screen), Number(position.X),
              Number(position.Y)));
  return IsScreen(screen) && screen_.SetCursorPosition(position) ? TRUE : FALSE;
}

BOOL MemoryHost::WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                                     COORD bufferCoord, SMALL_RECT* writeRegion) {
  Record(Call("WriteConsoleOutputA", HandleName(screen),
              Number(bufferSize.X) + "x" + Number(bufferSize.Y), Number(bufferCoord.X),
              Number(bufferCoord.Y), RectText(*writeRegion)));
  if (!IsScreen(screen)) return FALSE;
  return screen_.WriteOutput(buffer, bufferSize, bufferCoord, writeRegion) ? TRUE : FALSE;
}

BOOL MemoryHost::ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll,
                                            const SMALL_RECT* clip, COORD destination,
                                            const CHAR_INFO* fill) {
  Record(Call("ScrollConsoleScreenBufferA", HandleName(screen), RectText(*scroll),
              clip != nullptr ? RectText(*clip) : std::string("-"), Number(destination.X),
              Number(destination.Y), Hex(static_cast<std::uint8_t>(fill->Char.AsciiChar), 2),
              Hex(fill->Attributes, 2)));
  if (!IsScreen(screen)) return FALSE;
  return screen_.Scroll(*scroll, clip, destination, *fill) ? TRUE : FALSE;
}

BOOL MemoryHost::FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length,
                                             COORD start, DWORD* written) {
  const auto byte = static_cast<std::uint8_t>(character);
  Record(Call("FillConsoleOutputCharacterA", HandleName(screen), Hex(byte, 2), Number(length),
              Number(start.X), Number(start.Y)));
  *written = 0;
  if (!IsScreen(screen)) return FALSE;
  if (start.X < 0 || start.X >= screen_.Columns() || start.Y < 0 || start.Y >= screen_.Rows()) {
    return FALSE;
  }
  *written = screen_.FillCharacter(byte, length, start);
  return TRUE;
}

BOOL MemoryHost::FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length,
                                            COORD start, DWORD* written) {
  Record(Call("FillConsoleOutputAttribute", HandleName(screen), Hex(attribute, 2), Number(length),
              Number(start.X), Number(start.Y)));
  *written = 0;
  if (!IsScreen(screen)) return FALSE;
  if (start.X < 0 || start.X >= screen_.Columns() || start.Y < 0 || start.Y >= screen_.Rows()) {
    return FALSE;
  }
  *written = screen_.FillAttribute(attribute, length, start);
  return TRUE;
}

BOOL MemoryHost::SetConsoleTextAttribute(HANDLE screen, WORD attribute) {
  Record(Call("SetConsoleTextAttribute", HandleName(screen), Hex(attribute, 2)));
  if (!IsScreen(screen)) return FALSE;
  screen_.SetDefaultAttribute(attribute);
  return TRUE;
}

BOOL MemoryHost::GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) {
  Record(Call("GetConsoleCursorInfo", HandleName(screen)));
  if (const auto report = cursorInfoReports_.find(screen); report != cursorInfoReports_.end()) {
    if (!report->second) return FALSE;
    *info = *report->second;
    return TRUE;
  }
  if (!IsScreen(screen)) return FALSE;
  *info = screen_.CursorInfo();
  return TRUE;
}

BOOL MemoryHost::SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) {
  Record(Call("SetConsoleCursorInfo", HandleName(screen), Number(info->dwSize),
              Number(info->bVisible)));
  return IsScreen(screen) && screen_.SetCursorInfo(*info) ? TRUE : FALSE;
}

// ---- Input side and waiting ---------------------------------------------------------------------

BOOL MemoryHost::PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) {
  Record(Call("PeekConsoleInputA", HandleName(input), Number(length)));
  *read = IsInput(input) ? input_.Peek(buffer, length) : 0;
  lastPeekFoundNothing_ = *read == 0;
  if (*read != 0) {
    emptyPeeks_ = 0;
  } else if (++emptyPeeks_ >= kMaxEmptyPeeks) {
    Starve();
  }
  return IsInput(input) ? TRUE : FALSE;
}

BOOL MemoryHost::ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) {
  Record(Call("ReadConsoleInputA", HandleName(input), Number(length)));
  *read = 0;
  if (!IsInput(input)) return FALSE;
  // The real call blocks on an empty queue; here that is a wait that could never end.
  if (input_.Empty()) Starve();
  *read = input_.Read(buffer, length);
  return TRUE;
}

void MemoryHost::Sleep(DWORD milliseconds) {
  Record(Call("Sleep", Number(milliseconds)));
  ++sleepCount_;
  emptyPeeks_ = 0;
  if (input_.Empty() || lastPeekFoundNothing_) Starve();
}

void MemoryHost::Starve() {
  if (!starveActions_.empty()) {
    const auto action = std::move(starveActions_.front());
    starveActions_.pop_front();
    action(*this);
    lastPeekFoundNothing_ = false;
    emptyPeeks_ = 0;
    return;
  }
  starved_ = true;
  ExitProcess(kStarvedExitCode);
}

BOOL MemoryHost::MessageBeep(UINT type) {
  Record(Call("MessageBeep", Number(type)));
  ++beepCount_;
  return TRUE;
}

// ---- Process services ---------------------------------------------------------------------------

HRESULT MemoryHost::CoInitialize(void* reserved) {
  Record(Call("CoInitialize", reserved != nullptr ? std::string("reserved") : std::string()));
  ++comDepth_;
  return 0;
}

void MemoryHost::CoUninitialize() {
  Record("CoUninitialize()");
  --comDepth_;
}

HANDLE MemoryHost::GetStdHandle(DWORD which) {
  const char* name = which == STD_INPUT_HANDLE    ? "STD_INPUT_HANDLE"
                     : which == STD_OUTPUT_HANDLE ? "STD_OUTPUT_HANDLE"
                     : which == STD_ERROR_HANDLE  ? "STD_ERROR_HANDLE"
                                                  : "?";
  Record(Call("GetStdHandle", std::string(name)));
  const auto found = standardHandles_.find(which);
  return found != standardHandles_.end() ? found->second : INVALID_HANDLE_VALUE;
}

HANDLE MemoryHost::CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                               DWORD disposition, DWORD flags, HANDLE templateFile) {
  std::string call = Call("CreateFileA", Quoted(name != nullptr ? name : ""), Hex(access),
                          Hex(share), Number(disposition), Hex(flags));
  if (security != nullptr || templateFile != nullptr) call += " with security or template";
  Record(call);
  if (name != nullptr && SameNameIgnoringCase(name, "CONIN$")) return kConsoleInput;
  return INVALID_HANDLE_VALUE;
}

BOOL MemoryHost::GetConsoleMode(HANDLE handle, DWORD* mode) {
  Record(Call("GetConsoleMode", HandleName(handle)));
  if (!IsConsole(handle)) return FALSE;
  *mode = handle == kStandardInput || handle == kConsoleInput ? inputMode_ : outputMode_;
  return TRUE;
}

BOOL MemoryHost::SetConsoleMode(HANDLE handle, DWORD mode) {
  Record(Call("SetConsoleMode", HandleName(handle), Hex(mode)));
  if (!IsConsole(handle)) return FALSE;
  (handle == kStandardInput || handle == kConsoleInput ? inputMode_ : outputMode_) = mode;
  return TRUE;
}

void MemoryHost::GetStartupInfoA(STARTUPINFOA* info) {
  Record("GetStartupInfoA()");
  *info = startupInfo_;
}

const char* MemoryHost::GetCommandLineA() {
  Record("GetCommandLineA()");
  return commandLine_.c_str();
}

char* MemoryHost::GetEnvironmentStringsA() {
  Record("GetEnvironmentStringsA()");
  auto block = std::make_unique<char[]>(environment_.size() + 2);  // zeroed: the closing NULs
  std::memcpy(block.get(), environment_.data(), environment_.size());
  char* handedOut = block.get();
  environmentBlocks_[handedOut] = std::move(block);
  return handedOut;
}

BOOL MemoryHost::FreeEnvironmentStringsA(char* block) {
  Record("FreeEnvironmentStringsA()");
  if (environmentBlocks_.erase(block) == 0) {
    ++badFrees_;
    return FALSE;
  }
  return TRUE;
}

HMODULE MemoryHost::GetModuleHandleA(const char* name) {
  Record(Call("GetModuleHandleA", name != nullptr ? Quoted(name) : std::string("null")));
  return name == nullptr ? kInstance : nullptr;
}

DWORD MemoryHost::TlsAlloc() {
  Record("TlsAlloc()");
  if (failTlsAlloc_) return TLS_OUT_OF_INDEXES;
  const DWORD index = nextTlsIndex_++;
  tlsSlots_[index] = nullptr;
  return index;
}

BOOL MemoryHost::TlsSetValue(DWORD index, void* value) {
  Record(Call("TlsSetValue", Number(index)));
  const auto slot = tlsSlots_.find(index);
  if (slot == tlsSlots_.end()) return FALSE;
  slot->second = value;
  return TRUE;
}

void* MemoryHost::TlsGetValue(DWORD index) {
  Record(Call("TlsGetValue", Number(index)));
  const auto slot = tlsSlots_.find(index);
  return slot != tlsSlots_.end() ? slot->second : nullptr;
}

BOOL MemoryHost::TlsFree(DWORD index) {
  Record(Call("TlsFree", Number(index)));
  return tlsSlots_.erase(index) != 0 ? TRUE : FALSE;
}

void* MemoryHost::GlobalAlloc(UINT flags, std::size_t bytes) {
  Record(Call("GlobalAlloc", Hex(flags), Number(static_cast<long long>(bytes))));
  if (failGlobalAlloc_) return nullptr;
  auto block = std::make_unique<std::byte[]>(std::max<std::size_t>(bytes, 1));
  constexpr UINT kZeroInit = 0x0040;
  // Memory asked for without zeroing is not zero, so that code relying on it shows.
  if ((flags & kZeroInit) == 0) std::fill_n(block.get(), bytes, std::byte{0xCD});
  void* handedOut = block.get();
  globalBlocks_[handedOut] = std::move(block);
  return handedOut;
}

void* MemoryHost::GlobalFree(void* memory) {
  Record("GlobalFree()");
  if (memory == nullptr) return nullptr;
  if (globalBlocks_.erase(memory) == 0) {
    ++badFrees_;
    return memory;
  }
  return nullptr;
}

void MemoryHost::ExitProcess(UINT code) {
  Record(Call("ExitProcess", Number(code)));
  exitCode_ = code;
  throw ProcessExit{code};
}

// ---- OLE strings --------------------------------------------------------------------------------

BSTR MemoryHost::AllocateOleString(std::string_view text) {
  const auto length = static_cast<std::uint32_t>(text.size());
  // The length prefix, the bytes, and two NULs (a wide terminator, as the real allocator adds).
  auto block = std::make_unique<char[]>(sizeof length + text.size() + 2);
  std::memcpy(block.get(), &length, sizeof length);
  std::memcpy(block.get() + sizeof length, text.data(), text.size());
  BSTR handedOut = block.get() + sizeof length;
  oleStrings_[handedOut] = std::move(block);
  return handedOut;
}

std::string MemoryHost::OleText(BSTR text) { return std::string(OleStringBytes(text)); }

BSTR MemoryHost::SysAllocStringByteLen(const char* bytes, UINT length) {
  if (bytes == nullptr) {
    Record(Call("SysAllocStringByteLen", std::string("null"), Number(length)));
    return AllocateOleString(std::string(length, '\0'));
  }
  const std::string_view text(bytes, length);
  Record(Call("SysAllocStringByteLen", Quoted(text)));
  return AllocateOleString(text);
}

void MemoryHost::SysFreeString(BSTR text) {
  if (text == nullptr) {
    Record("SysFreeString(null)");
    return;
  }
  const auto found = oleStrings_.find(text);
  if (found == oleStrings_.end()) {
    Record("SysFreeString(unknown)");
    ++badFrees_;
    return;
  }
  Record(Call("SysFreeString", Quoted(OleText(text))));
  oleStrings_.erase(found);
}

// ---- The window library -------------------------------------------------------------------------

std::int32_t MemoryHost::InitConsoleTools(HINSTANCE instance, std::int32_t a, std::int32_t b,
                                          std::int32_t c, std::int32_t* d, std::int32_t e) {
  const std::string instanceName =
      instance == kInstance ? std::string("instance")
                            : Hex(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(instance)));
  Record(Call("InitConsoleTools", instanceName, Number(a), Number(b), Number(c),
              d != nullptr ? std::string("*").append(Number(*d)) : std::string("null"), Number(e)));
  return 1;
}

std::int32_t MemoryHost::ConsoleToolBar(std::int32_t a, std::int32_t b) {
  Record(Call("ConsoleToolBar", Number(a), Number(b)));
  return 1;
}

BSTR MemoryHost::ConsoleTitle(BSTR title) {
  const std::string text = OleText(title);
  Record(Call("ConsoleTitle", Quoted(text)));
  BSTR old = AllocateOleString(title_);
  title_ = text;
  return old;
}

std::int32_t MemoryHost::ConsoleIcon(std::int32_t icon) {
  Record(Call("ConsoleIcon", Number(icon)));
  return 1;
}

std::int32_t MemoryHost::DeleteWindowMenuItem(std::int32_t item) {
  Record(Call("DeleteWindowMenuItem", Number(item)));
  return 1;
}

std::int32_t MemoryHost::Console80x(std::int32_t rows) {
  Record(Call("Console80x", Number(rows)));
  if (rows < 1 || rows > 0x7FFF) return 0;
  screen_.Resize(80, rows);
  return 1;
}

std::int32_t MemoryHost::ConsoleMove(std::int32_t x, std::int32_t y) {
  Record(Call("ConsoleMove", Number(x), Number(y)));
  return 1;
}

std::int32_t MemoryHost::ConsoleMessageBox(BSTR text, std::int32_t a, BSTR caption, std::int32_t b,
                                           std::int32_t c) {
  MessageBoxShown shown{OleText(text), OleText(caption)};
  Record(Call("ConsoleMessageBox", Quoted(shown.text), Number(a), Quoted(shown.caption), Number(b),
              Number(c)));
  messageBoxes_.push_back(shown);
  if (onMessageBox_) onMessageBox_(*this, shown);
  return 1;  // OK
}

}  // namespace mirvane::platform
