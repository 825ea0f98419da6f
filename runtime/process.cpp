#include <cstdlib>

#include "console/console.h"
#include "platform/console_host.h"
#include "platform/floating_point.h"
#include "runtime/runtime.h"

namespace mirvane::runtime {
namespace {

using platform::DWORD;
using platform::HANDLE;

// The zero-filled block each thread keeps in its slot; nothing in this system reads it yet.
constexpr std::size_t kThreadBlockSize = 64;

constexpr DWORD kScreenOutputMode =
    platform::ENABLE_PROCESSED_OUTPUT | platform::ENABLE_WRAP_AT_EOL_OUTPUT;
// No line input, no echo, no processed input: Ctrl+C arrives as key code 3.
constexpr DWORD kConsoleInputMode = 0;

// A host's ExitProcess never returns; should one ever do so, the process must still end here.
[[noreturn]] void EndProcess(platform::UINT code) {
  platform::Host().ExitProcess(code);
  std::abort();
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Standard output when it is a console, otherwise standard error.
HANDLE ChooseScreenHandle(ProcessState& process) {
  DWORD mode = 0;
  if (platform::Host().GetConsoleMode(process.standardOutput, &mode)) {
    return process.standardOutput;
  }
  return process.standardError;
}

void SetConsoleModes(ProcessState& process, HANDLE screenHandle) {
  auto& host = platform::Host();
  host.SetConsoleMode(screenHandle, kScreenOutputMode);
  DWORD discarded = 0;
  host.GetConsoleMode(process.standardInput, &discarded);
  host.SetConsoleMode(process.standardInput, kConsoleInputMode);
}

void TakeStartupInformation(ProcessState& process) {
  platform::STARTUPINFOA info{};
  platform::Host().GetStartupInfoA(&info);
  process.showCommand = (info.dwFlags & platform::STARTF_USESHOWWINDOW) != 0
                            ? static_cast<std::int32_t>(info.wShowWindow)
                            : static_cast<std::int32_t>(platform::SW_SHOWDEFAULT);
  // The screen handle and the console modes stay as chosen on the process's own handles.
  if ((info.dwFlags & platform::STARTF_USESTDHANDLES) != 0) {
    process.standardInput = info.hStdInput;
    process.standardOutput = info.hStdOutput;
    process.standardError = info.hStdError;
  }
}

std::string_view WholeCommandLine() {
  const char* line = platform::Host().GetCommandLineA();
  return line == nullptr ? std::string_view{} : std::string_view{line};
}

// False when the thread's slot or block cannot be had.
bool SetUpThreadStorage(ProcessState& process) {
  auto& host = platform::Host();
  process.threadSlot = host.TlsAlloc();
  if (process.threadSlot == platform::TLS_OUT_OF_INDEXES) return false;
  void* block = host.GlobalAlloc(platform::GPTR, kThreadBlockSize);
  if (block == nullptr) return false;
  host.TlsSetValue(process.threadSlot, block);
  return true;
}

[[noreturn]] void ShutDown(ProcessState& process, std::int32_t exitCode) {
  auto& host = platform::Host();
  host.GlobalFree(host.TlsGetValue(process.threadSlot));
  host.TlsFree(process.threadSlot);
  host.FreeEnvironmentStringsA(process.environmentBlock);
  host.CoUninitialize();
  EndProcess(static_cast<platform::UINT>(exitCode));
}

}  // namespace

ProcessState& Process() {
  static ProcessState state;
  return state;
}

std::string_view CommandTail(std::string_view commandLine) {
  std::size_t at = 0;
  const std::size_t end = commandLine.size();
  if (at < end && commandLine[at] == '"') {
    ++at;
    while (at < end && commandLine[at] != '"') ++at;
    if (at < end) ++at;  // past the closing quote
    while (at < end && commandLine[at] == ' ') ++at;
  } else {
    while (at < end && !IsBlankOrControl(commandLine[at])) ++at;
    while (at < end && commandLine[at] == ' ') ++at;
  }
  return commandLine.substr(at);
}

void RunProcess(EntryProcedure entry) {
  auto& host = platform::Host();
  ProcessState& process = Process();
  process = ProcessState{};

  host.CoInitialize(nullptr);
  process.standardError = host.GetStdHandle(platform::STD_ERROR_HANDLE);
  process.standardInput = host.GetStdHandle(platform::STD_INPUT_HANDLE);
  process.standardOutput = host.GetStdHandle(platform::STD_OUTPUT_HANDLE);
  process.consoleInputHandle =
      host.CreateFileA("CONIN$", platform::GENERIC_READ, platform::FILE_SHARE_READ, nullptr,
                       platform::OPEN_EXISTING, 0, nullptr);
  const HANDLE screenHandle = ChooseScreenHandle(process);
  SetConsoleModes(process, screenHandle);
  console::ReadStartupCursorShape(screenHandle, process.standardOutput);
  TakeStartupInformation(process);
  process.commandTail = CommandTail(WholeCommandLine());
  process.environmentBlock = host.GetEnvironmentStringsA();
  process.instanceHandle = host.GetModuleHandleA(nullptr);

  if (!SetUpThreadStorage(process)) {
    host.CoUninitialize();
    EndProcess(255);
  }

  console::ResetScreenState(screenHandle);
  console::ResetKeyboardState(process.consoleInputHandle);
  platform::LoadFloatingPointControlWord(kFloatingPointControlWord);

  const std::int32_t result =
      entry(process.instanceHandle, nullptr, process.commandTail, process.showCommand);
  ShutDown(process, result);
}

}  // namespace mirvane::runtime
