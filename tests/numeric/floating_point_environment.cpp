// Every numeric test runs in the program's floating-point environment: extended precision,
// rounding to nearest, all exceptions masked.
#include <gtest/gtest.h>

#include "platform/floating_point.h"

namespace {

constexpr std::uint16_t kProgramControlWord = 0x133F;

class FloatingPointEnvironment : public testing::Environment {
 public:
  void SetUp() override { mirvane::platform::LoadFloatingPointControlWord(kProgramControlWord); }
};

const testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new FloatingPointEnvironment);

}  // namespace
