// The host's input side: the terminal's bytes (or standard input's) read as they come, decoded into
// key records as the console's queue is read, and the waits that keep the Esc key's timeout.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/terminal_host.h"
#include "platform/posix/terminal_session.h"

namespace mirvane::platform::terminal {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr int kInputEndedStatus = 1;

}  // namespace

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

void TerminalHost::QueueKey(const Key& key) {
  for (const INPUT_RECORD& record : RecordsOf(key)) queue_.Push(record);
}

// Turns the key at the front of the pending bytes into records (or drops bytes that make none);
// false when that key is not complete yet.
bool TerminalHost::DecodePending() {
  const bool final = inputEnded_ || Clock::now() - lastByteTime_ >= kEscapeWait;
  const Decoded decoded = DecodeKey(Pending(), utf8_, final);
  if (decoded.status == DecodeStatus::NeedMore) return false;
  ConsumePending(decoded.consumed);
  if (decoded.status == DecodeStatus::Key) QueueKey(decoded.key);
  return true;
}

// The input has ended. A terminal that can no longer be read ends the run; standard input first
// gives its pending bytes, decided as final, then one end key.
void TerminalHost::TakeEndOfInput() {
  if (!plain_) InputEnded();
  if (HasPending()) return;
  if (endKeyQueued_) InputEnded();  // the end was taken and still an answer is awaited
  // The end of input is a key without a character: it ends the final key wait, and a line being
  // typed ignores it and then finds nothing more.
  QueueKey(Key{0, 0, 0});
  endKeyQueued_ = true;
}

// Decodes pending bytes, reading more when they run out, until the queue has a record or nothing
// more can be had without waiting. True when the queue has a record.
bool TerminalHost::FillQueue() {
  while (queue_.Empty()) {
    if (HasPending() && DecodePending()) continue;
    if (inputEnded_) {
      TakeEndOfInput();
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
  if (HasPending()) {
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

}  // namespace mirvane::platform::terminal
