#include "platform/floating_point.h"

namespace mirvane::platform {

// Both targets (GCC on x86-64 Linux, MinGW-w64) compute long double on the x87 unit.
void LoadFloatingPointControlWord(std::uint16_t word) {
  asm volatile("fldcw %0" : : "m"(word));
}

std::uint16_t FloatingPointControlWord() {
  std::uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

}  // namespace mirvane::platform
