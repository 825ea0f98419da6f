// The dialogue when the memory for one of its texts cannot be had: that text is empty and the
// dialogue goes on. This executable replaces the global allocator so that one allocation of a
// given size, after a number of them have gone through, can be made to fail.
#include <cstdlib>
#include <new>
#include <string>

#include "platform/memory_host.h"
#include "tests/app/program_run.h"

namespace {
std::size_t failingSize = 0;  // 0: every allocation succeeds
int passesBeforeFailure = 0;   // allocations of that size still let through
}  // namespace

void* operator new(std::size_t size) {
  if (failingSize != 0 && size == failingSize) {
    if (passesBeforeFailure == 0) {
      failingSize = 0;  // one failure only
      throw std::bad_alloc();
    }
    --passesBeforeFailure;
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace mirvane::app {
namespace {

using namespace mirvane::app::testing;
using platform::MemoryHost;

// 200 characters: the answer typed takes one allocation of 201 bytes, a text made from it (its
// blanks, its copy) the next one of that size, which no other text of a run asks for.
const std::string kLongThree = std::string(199, '0') + "3";
constexpr std::size_t kLongTextAllocation = 201;

struct Case {
  const char* name;
  std::string keys;
  std::array<std::string, 5> values;
  int beeps;
};

TEST(DialogueWithoutMemory, ATextThatCannotBeMadeIsEmptyAndTheRunGoesOn) {
  const Case cases[] = {
      // The blanks over the rejected answer are not printed; the question is asked again.
      {"the blanks over a rejected units answer",
       std::string(200, 'x') + "\r" + RunKeys("M", {"3", "3", "", "2", "", "", "", ""}),
       {"0.00", "0.00", "2.91", "8.72", "8.72"}, 1},
      // The right distance's copy of the left one is empty: the right speaker, and the centre
      // that copies it, stand at 0.
      {"the copy of the left distance", RunKeys("M", {kLongThree, "", "", "", "", "", "", ""}),
       {"0.00", "8.72", "8.72", "8.72", "8.72"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryHost host{80, 25};
    platform::ScopedHost installed{host};
    host.Type(c.keys);
    failingSize = kLongTextAllocation;
    passesBeforeFailure = 1;  // the typed answer itself
    std::optional<platform::UINT> exitCode;
    EXPECT_NO_THROW(exitCode = RunProgram());
    const bool failed = failingSize == 0;
    failingSize = 0;
    EXPECT_TRUE(failed) << "no allocation of the long text's size failed";
    EXPECT_EQ(exitCode, std::optional<platform::UINT>{0});
    EXPECT_EQ(host.BeepCount(), c.beeps);
    EXPECT_EQ(PrintedValues(host), c.values);
    EXPECT_EQ(host.RowTrimmed(kClosingRow), "   press any key to quit");
  }
}

}  // namespace
}  // namespace mirvane::app
