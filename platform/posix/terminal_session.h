// The terminal session: the terminal taken into raw mode for the run and given back as it was
// found on every way out (an exit, the end of input, a fatal signal, a stop), taken again after a
// continue. The state lives in one place the signal handlers can reach; the host tells it what the
// terminal shows so that giving it back can undo exactly that.
#pragma once

#include <string_view>

namespace mirvane::platform::terminal {

// Writes every byte, riding out interruptions and a descriptor someone else made non-blocking;
// stops when the terminal is gone. Safe in a signal handler.
void WriteAll(int fd, std::string_view bytes);

// Saves the settings of the terminal at ttyFd, shown on screenFd. False, nothing kept, when they
// cannot be read: then there is no session.
bool SaveTerminal(int ttyFd, int screenFd);
// Opens the wake pipe, installs the signal handlers and the restore at exit, then takes the
// terminal into raw mode. After SaveTerminal.
void StartSession();

int ScreenFd();
struct TerminalSize {
  int columns;
  int rows;
};
// The terminal's size, from the screen's descriptor or else the terminal's; 80x24 when neither
// says.
TerminalSize ReadTerminalSize();

// Ctrl+C as a signal (processed input) or as a key; applied at once.
void SetProcessedInput(bool on);

// What the last draw left on the terminal: what giving it back must reset, and the rows it used
// (lastRow 1-based), so the shell's prompt comes back below them.
void NoteDrawn(bool coloursSent, bool shapeSent, int lastRow, int terminalRows);
// Whether the terminal's own title has been saved to come back at the end.
bool TitlePushed();
void NoteTitlePushed();

// Set by the signal handlers, for the main loop: the terminal was resized, or the process was
// continued after a stop (and took the terminal again). The Take forms clear what they report.
bool ResizePending();
bool ContinuePending();
bool TakeResize();
bool TakeContinue();

// The read end of the pipe a handler writes to so that a waiting poll returns; -1 without one.
int WakeFd();
void DrainWake();

// The process is ending: a continue no longer takes the terminal again.
void MarkEnding();
// Gives the terminal back as it was found; safe to repeat, safe in a signal handler.
void RestoreTerminal();

}  // namespace mirvane::platform::terminal
