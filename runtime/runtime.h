// The process frame: start-up of the process and its console, the one call of the entry
// procedure, and shutdown with its result as the exit code.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console_host.h"

namespace mirvane::runtime {

using EntryProcedure = std::int32_t (*)(platform::HINSTANCE instance,
                                        platform::HINSTANCE previousInstance,
                                        std::string_view commandLine, std::int32_t showCommand);

struct ProcessState {
  platform::HINSTANCE instanceHandle = nullptr;
  std::string_view commandTail;
  std::int32_t showCommand = 10;
  platform::HANDLE standardInput = nullptr;
  platform::HANDLE standardOutput = nullptr;
  platform::HANDLE standardError = nullptr;
  platform::HANDLE consoleInputHandle = nullptr;
  char* environmentBlock = nullptr;
  platform::DWORD threadSlot = platform::TLS_OUT_OF_INDEXES;
};

// The process-wide record, filled during start-up.
ProcessState& Process();

// The floating-point control word of every computation: all exceptions masked, 64-bit
// significand, round to nearest-even.
inline constexpr std::uint16_t kFloatingPointControlWord = 0x133F;

// The text after the program name of a command line.
std::string_view CommandTail(std::string_view commandLine);

// Start-up, one call of entry, shutdown; ends the process through the host's ExitProcess.
[[noreturn]] void RunProcess(EntryProcedure entry);

}  // namespace mirvane::runtime
