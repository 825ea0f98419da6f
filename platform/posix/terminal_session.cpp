#include "platform/posix/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace mirvane::platform::terminal {
namespace {

// ---- Reached from signal handlers ---------------------------------------------------------------
// A handler may run between any two steps of the main thread, so everything from here to the end
// of the handlers uses only plain values and system calls: no allocation, no stdio, no locks. The
// values are written by the main thread, except where noted.

struct SessionState {
  int ttyFd = -1;
  int screenFd = -1;
  termios saved{};
  bool savedValid = false;
  volatile sig_atomic_t rawApplied = 0;
  volatile sig_atomic_t leaving = 0;  // the process is ending: the terminal is not taken again
  volatile sig_atomic_t processedInput = 1;
  volatile sig_atomic_t coloursSent = 0;
  volatile sig_atomic_t shapeSent = 0;
  volatile sig_atomic_t titlePushed = 0;
  volatile sig_atomic_t drawn = 0;
  volatile sig_atomic_t lastRow = 0;  // the terminal's last row showing the buffer, 1-based
  volatile sig_atomic_t terminalRows = 0;
  int wakeRead = -1;
  int wakeWrite = -1;
  volatile sig_atomic_t resized = 0;    // set by SIGWINCH
  volatile sig_atomic_t continued = 0;  // set by SIGCONT
};
SessionState state;

// Digits into a fixed buffer.
char* PutNumber(char* at, int value) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && count < 12);
  while (count > 0) *at++ = digits[--count];
  return at;
}

char* PutText(char* at, const char* text) {
  while (*text != '\0') *at++ = *text++;
  return at;
}

termios RawSettings(const termios& saved, bool processedInput) {
  termios raw = saved;
  // No echo, no lines, no Ctrl+V or Ctrl+O handling; signals only from the keys kept below.
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  raw.c_lflag |= ISIG;
  // Ctrl+S and Ctrl+Q are keys; CR stays CR, so Enter and Ctrl+J differ.
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // Ctrl+\ is the break key; Ctrl+C is a key unless processed input is on; Ctrl+Z is always a key.
  raw.c_cc[VQUIT] = 0x1C;
  raw.c_cc[VINTR] = processedInput ? 0x03 : _POSIX_VDISABLE;
  raw.c_cc[VSUSP] = _POSIX_VDISABLE;
  return raw;
}

void ApplyRawSettings() {
  if (!state.savedValid) return;
  const termios raw = RawSettings(state.saved, state.processedInput != 0);
  if (::tcsetattr(state.ttyFd, TCSANOW, &raw) == 0) state.rawApplied = 1;
}

// What undoes the draws: colours, cursor shape and visibility, the title, and the cursor put
// below the program's last row, where the shell's prompt goes.
char* PutRestoreSequence(char* at) {
  if (state.coloursSent) at = PutText(at, "\x1b[0m");
  if (state.shapeSent) at = PutText(at, "\x1b[0 q");
  at = PutText(at, "\x1b[?25h");
  if (state.titlePushed) at = PutText(at, "\x1b[23;2t");
  if (state.drawn) {
    if (state.lastRow < state.terminalRows) {
      at = PutText(at, "\x1b[");
      at = PutNumber(at, state.lastRow + 1);
      at = PutText(at, "H");
    } else {
      at = PutText(at, "\x1b[");
      at = PutNumber(at, state.terminalRows);
      at = PutText(at, "H\r\n");
    }
  }
  return at;
}

}  // namespace

void WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written > 0) {
      data += written;
      size -= static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && errno == EAGAIN) {  // someone else's non-blocking descriptor
      pollfd wait{fd, POLLOUT, 0};
      ::poll(&wait, 1, 100);
    } else {
      return;  // the terminal is gone: nothing more can be shown
    }
  }
}

void RestoreTerminal() {
  if (!state.rawApplied) return;
  char sequence[128];
  const char* end = PutRestoreSequence(sequence);
  WriteAll(state.screenFd, {sequence, static_cast<std::size_t>(end - sequence)});
  ::tcsetattr(state.ttyFd, TCSANOW, &state.saved);  // output flags never change: no drain
  state.rawApplied = 0;
}

namespace {

void Wake() {
  if (state.wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(state.wakeWrite, &byte, 1);
  }
}

void OnFatalSignal(int signal) {
  state.leaving = 1;
  RestoreTerminal();
  if (signal == SIGQUIT) {  // the break key ends the run; it is not a crash worth a core file
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered with its default action once this handler returns
}

void OnStop(int) {
  const int savedErrno = errno;
  RestoreTerminal();
  ::signal(SIGTSTP, SIG_DFL);
  ::raise(SIGTSTP);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stops here until continued
  struct sigaction again {};
  again.sa_handler = OnStop;
  sigemptyset(&again.sa_mask);
  ::sigaction(SIGTSTP, &again, nullptr);
  errno = savedErrno;
}

// Back from a stop, caught or not: the shell had the terminal meanwhile, so take it again and
// draw the whole screen anew.
void OnContinue(int) {
  const int savedErrno = errno;
  if (state.savedValid && !state.leaving) {
    ApplyRawSettings();
    state.continued = 1;
    Wake();
  }
  errno = savedErrno;
}

void OnResize(int) {
  state.resized = 1;
  Wake();
}

// ---- End of what signal handlers reach ----------------------------------------------------------

// For an exit that does not come through ExitProcess.
void LeaveTerminal() {
  state.leaving = 1;
  RestoreTerminal();
}

// A signal ignored when the program started (nohup, a background job) stays ignored.
void InstallHandler(int signal, void (*handler)(int)) {
  struct sigaction current {};
  if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

void InstallSignalHandlers() {
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGSEGV,
                           SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS, SIGXCPU, SIGXFSZ}) {
    InstallHandler(signal, OnFatalSignal);
  }
  InstallHandler(SIGTSTP, OnStop);
  InstallHandler(SIGCONT, OnContinue);
  InstallHandler(SIGWINCH, OnResize);
}

// The handlers wake a waiting poll through this pipe of the process's own.
void OpenWakePipe() {
  int ends[2];
  if (::pipe(ends) != 0) return;
  for (const int end : ends) {
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
  }
  state.wakeRead = ends[0];
  state.wakeWrite = ends[1];
}

}  // namespace

bool SaveTerminal(int ttyFd, int screenFd) {
  if (::tcgetattr(ttyFd, &state.saved) != 0) return false;
  state.ttyFd = ttyFd;
  state.screenFd = screenFd;
  state.savedValid = true;
  return true;
}

void StartSession() {
  OpenWakePipe();
  InstallSignalHandlers();
  std::atexit(LeaveTerminal);
  ApplyRawSettings();
}

int ScreenFd() { return state.screenFd; }

TerminalSize ReadTerminalSize() {
  winsize size{};
  if (::ioctl(state.screenFd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    ::ioctl(state.ttyFd, TIOCGWINSZ, &size);
  }
  return {size.ws_col > 0 ? size.ws_col : 80, size.ws_row > 0 ? size.ws_row : 24};
}

void SetProcessedInput(bool on) {
  state.processedInput = on ? 1 : 0;
  ApplyRawSettings();
}

void NoteDrawn(bool coloursSent, bool shapeSent, int lastRow, int terminalRows) {
  state.coloursSent = coloursSent ? 1 : 0;
  state.shapeSent = shapeSent ? 1 : 0;
  state.terminalRows = terminalRows;
  state.lastRow = lastRow;
  state.drawn = 1;
}

bool TitlePushed() { return state.titlePushed != 0; }
void NoteTitlePushed() { state.titlePushed = 1; }

bool ResizePending() { return state.resized != 0; }
bool ContinuePending() { return state.continued != 0; }

bool TakeResize() {
  if (!state.resized) return false;
  state.resized = 0;
  return true;
}

bool TakeContinue() {
  if (!state.continued) return false;
  state.continued = 0;
  return true;
}

int WakeFd() { return state.wakeRead; }

void DrainWake() {
  char drain[64];
  while (::read(state.wakeRead, drain, sizeof drain) > 0) {
  }
}

void MarkEnding() { state.leaving = 1; }

}  // namespace mirvane::platform::terminal
