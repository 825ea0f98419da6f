// The console host: the platform services the program reaches, under the Windows names and with the
// Windows records. The same code above this layer runs over the real Windows console, over a POSIX
// terminal and over an in-memory console for the tests; only the host differs.
//
// Every operation keeps the meaning the Windows call has for the program (see each comment). Results
// are returned as Windows returns them; the callers above this layer examine none but those of
// PeekConsoleInputA, GetConsoleMode (which standard handle is a console) and the start-up calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirvane::platform {

// ---- Windows scalar types -------------------------------------------------------------------
using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using SHORT = std::int16_t;
using UINT = std::uint32_t;
using CHAR = char;
using WCHAR = char16_t;
using HRESULT = std::int32_t;
using HANDLE = void*;
using HINSTANCE = void*;
using HMODULE = void*;
// An OLE string made by SysAllocStringByteLen: points at the bytes, which are preceded by their
// 32-bit byte length and followed by a NUL byte.
using BSTR = char*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD OPEN_EXISTING = 3;

inline constexpr DWORD ENABLE_PROCESSED_OUTPUT = 0x1;
inline constexpr DWORD ENABLE_WRAP_AT_EOL_OUTPUT = 0x2;

inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
inline constexpr DWORD STARTF_USESTDHANDLES = 0x100;
inline constexpr WORD SW_SHOWDEFAULT = 10;

inline constexpr DWORD TLS_OUT_OF_INDEXES = 0xFFFFFFFFu;
inline constexpr UINT GPTR = 0x0040;  // fixed, zero-initialised

inline constexpr UINT MB_OK = 0;

// ---- Records ---------------------------------------------------------------------------------
struct COORD {
  SHORT X = 0;
  SHORT Y = 0;
};

struct SMALL_RECT {
  SHORT Left = 0;
  SHORT Top = 0;
  SHORT Right = 0;
  SHORT Bottom = 0;
};

struct CHAR_INFO {
  union {
    WCHAR UnicodeChar;
    CHAR AsciiChar;
  } Char{};
  WORD Attributes = 0;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
  COORD dwSize;
  COORD dwCursorPosition;
  WORD wAttributes = 0;
  SMALL_RECT srWindow;
  COORD dwMaximumWindowSize;
};

struct CONSOLE_CURSOR_INFO {
  DWORD dwSize = 0;  // percent of the cell the cursor fills, 1 to 100
  BOOL bVisible = FALSE;
};

inline constexpr WORD KEY_EVENT = 0x0001;
inline constexpr WORD MOUSE_EVENT = 0x0002;
inline constexpr WORD WINDOW_BUFFER_SIZE_EVENT = 0x0004;
inline constexpr WORD MENU_EVENT = 0x0008;
inline constexpr WORD FOCUS_EVENT = 0x0010;

inline constexpr DWORD RIGHT_ALT_PRESSED = 0x0001;
inline constexpr DWORD LEFT_ALT_PRESSED = 0x0002;
inline constexpr DWORD RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr DWORD LEFT_CTRL_PRESSED = 0x0008;
inline constexpr DWORD SHIFT_PRESSED = 0x0010;
inline constexpr DWORD NUMLOCK_ON = 0x0020;
inline constexpr DWORD SCROLLLOCK_ON = 0x0040;
inline constexpr DWORD CAPSLOCK_ON = 0x0080;
inline constexpr DWORD ENHANCED_KEY = 0x0100;

struct KEY_EVENT_RECORD {
  BOOL bKeyDown = FALSE;
  WORD wRepeatCount = 0;
  WORD wVirtualKeyCode = 0;
  WORD wVirtualScanCode = 0;
  union {
    WCHAR UnicodeChar;
    CHAR AsciiChar;
  } uChar{};
  DWORD dwControlKeyState = 0;
};

struct MOUSE_EVENT_RECORD {
  COORD dwMousePosition;
  DWORD dwButtonState = 0;
  DWORD dwControlKeyState = 0;
  DWORD dwEventFlags = 0;
};

struct WINDOW_BUFFER_SIZE_RECORD {
  COORD dwSize;
};

struct MENU_EVENT_RECORD {
  UINT dwCommandId = 0;
};

struct FOCUS_EVENT_RECORD {
  BOOL bSetFocus = FALSE;
};

struct INPUT_RECORD {
  WORD EventType = 0;
  union {
    KEY_EVENT_RECORD KeyEvent;
    MOUSE_EVENT_RECORD MouseEvent;
    WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
    MENU_EVENT_RECORD MenuEvent;
    FOCUS_EVENT_RECORD FocusEvent;
  } Event{};
};

// The part of STARTUPINFOA the process frame reads.
struct STARTUPINFOA {
  DWORD dwFlags = 0;
  WORD wShowWindow = 0;
  HANDLE hStdInput = nullptr;
  HANDLE hStdOutput = nullptr;
  HANDLE hStdError = nullptr;
};

// ---- The host ------------------------------------------------------------------------------
class ConsoleHost {
 public:
  virtual ~ConsoleHost() = default;

  // Screen side, on the screen buffer handle.
  // Buffer size (dwSize) and 0-based cursor position (dwCursorPosition).
  virtual BOOL GetConsoleScreenBufferInfo(HANDLE screen, CONSOLE_SCREEN_BUFFER_INFO* info) = 0;
  // Places the cursor at a 0-based cell; fails, leaving it, when the cell is outside the buffer.
  virtual BOOL SetConsoleCursorPosition(HANDLE screen, COORD position) = 0;
  // Writes the cells of a source rectangle (source of bufferSize cells, read from bufferCoord) into
  // *writeRegion, clipped at the buffer's edge; *writeRegion becomes the rectangle written.
  virtual BOOL WriteConsoleOutputA(HANDLE screen, const CHAR_INFO* buffer, COORD bufferSize,
                                   COORD bufferCoord, SMALL_RECT* writeRegion) = 0;
  // Moves the cells of *scroll (cut by *clip when given) to destination; the cells it vacates take
  // *fill.
  virtual BOOL ScrollConsoleScreenBufferA(HANDLE screen, const SMALL_RECT* scroll,
                                          const SMALL_RECT* clip, COORD destination,
                                          const CHAR_INFO* fill) = 0;
  // Writes one character into length consecutive cells from start, row after row, stopping at the
  // buffer's end; the attributes stay.
  virtual BOOL FillConsoleOutputCharacterA(HANDLE screen, CHAR character, DWORD length, COORD start,
                                           DWORD* written) = 0;
  // Writes one attribute into length consecutive cells from start, row after row, stopping at the
  // buffer's end; the characters stay.
  virtual BOOL FillConsoleOutputAttribute(HANDLE screen, WORD attribute, DWORD length, COORD start,
                                          DWORD* written) = 0;
  // The console's default attribute for text written through its ordinary text path.
  virtual BOOL SetConsoleTextAttribute(HANDLE screen, WORD attribute) = 0;
  virtual BOOL GetConsoleCursorInfo(HANDLE screen, CONSOLE_CURSOR_INFO* info) = 0;
  virtual BOOL SetConsoleCursorInfo(HANDLE screen, const CONSOLE_CURSOR_INFO* info) = 0;

  // Input side, on the console input handle. Both copy at most length records into buffer and
  // set *read to the number copied; Peek leaves them queued, Read removes them. Neither blocks
  // when the queue is empty (count 0).
  virtual BOOL PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) = 0;
  virtual BOOL ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, DWORD length, DWORD* read) = 0;
  // Gives up the processor for milliseconds (or the platform's shortest sleep).
  virtual void Sleep(DWORD milliseconds) = 0;
  // Queues the system's alert sound and returns at once.
  virtual BOOL MessageBeep(UINT type) = 0;

  // Process services.
  virtual HRESULT CoInitialize(void* reserved) = 0;
  virtual void CoUninitialize() = 0;
  virtual HANDLE GetStdHandle(DWORD which) = 0;
  // Opens "CONIN$", the console input buffer, whatever standard input is.
  virtual HANDLE CreateFileA(const char* name, DWORD access, DWORD share, void* security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) = 0;
  // Fails on a handle that is not a console: how start-up tells a console from a file or pipe.
  virtual BOOL GetConsoleMode(HANDLE handle, DWORD* mode) = 0;
  virtual BOOL SetConsoleMode(HANDLE handle, DWORD mode) = 0;
  virtual void GetStartupInfoA(STARTUPINFOA* info) = 0;
  // The whole command line, program name first, NUL-terminated.
  virtual const char* GetCommandLineA() = 0;
  // A block of NUL-terminated "name=value" strings ending with an empty one.
  virtual char* GetEnvironmentStringsA() = 0;
  virtual BOOL FreeEnvironmentStringsA(char* block) = 0;
  virtual HMODULE GetModuleHandleA(const char* name) = 0;
  virtual DWORD TlsAlloc() = 0;
  virtual BOOL TlsSetValue(DWORD index, void* value) = 0;
  virtual void* TlsGetValue(DWORD index) = 0;
  virtual BOOL TlsFree(DWORD index) = 0;
  virtual void* GlobalAlloc(UINT flags, std::size_t bytes) = 0;
  virtual void* GlobalFree(void* memory) = 0;
  // Ends the process with code, after giving back the console state the host took at start-up.
  // The in-memory host ends the run by throwing ProcessExit instead.
  [[noreturn]] virtual void ExitProcess(UINT code) = 0;

  // OLE strings, for the texts handed to the console-window library.
  virtual BSTR SysAllocStringByteLen(const char* bytes, UINT length) = 0;
  virtual void SysFreeString(BSTR text) = 0;

  // The console-window library's entries; what each does is the host's own business.
  virtual std::int32_t InitConsoleTools(HINSTANCE instance, std::int32_t a, std::int32_t b,
                                        std::int32_t c, std::int32_t* d, std::int32_t e) = 0;
  virtual std::int32_t ConsoleToolBar(std::int32_t a, std::int32_t b) = 0;
  // Sets the window title; returns an OLE string the caller releases with SysFreeString.
  virtual BSTR ConsoleTitle(BSTR title) = 0;
  virtual std::int32_t ConsoleIcon(std::int32_t icon) = 0;
  virtual std::int32_t DeleteWindowMenuItem(std::int32_t item) = 0;
  // Makes the screen 80 columns wide and rows rows high.
  virtual std::int32_t Console80x(std::int32_t rows) = 0;
  virtual std::int32_t ConsoleMove(std::int32_t x, std::int32_t y) = 0;
  // A modal box with the text, the caption and an OK button; returns once it is dismissed. The
  // screen buffer and the input queue are left as they were.
  virtual std::int32_t ConsoleMessageBox(BSTR text, std::int32_t a, BSTR caption, std::int32_t b,
                                         std::int32_t c) = 0;
};

// Thrown by a host whose ExitProcess must not end the real process (the in-memory host).
struct ProcessExit {
  UINT code;
};

// The host every layer above reaches. Installed once by the program's main (or by each test).
ConsoleHost& Host();
void InstallHost(ConsoleHost* host);

}  // namespace mirvane::platform
