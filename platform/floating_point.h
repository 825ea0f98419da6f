// The x87 floating-point control word, which governs every extended-precision computation.
#pragma once

#include <cstdint>

namespace mirvane::platform {

void LoadFloatingPointControlWord(std::uint16_t word);
std::uint16_t FloatingPointControlWord();

}  // namespace mirvane::platform
