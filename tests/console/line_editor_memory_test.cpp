// ReadLine when the memory for its answer cannot be had. This executable replaces the global
// allocator so that one allocation, of the answer's size, can be made to fail.
#include <cstdlib>
#include <new>
#include <string>

#include "console_fixture.h"

namespace {
std::size_t failingSize = 0;  // 0: every allocation succeeds
}

void* operator new(std::size_t size) {
  if (failingSize != 0 && size == failingSize) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace mirvane::console {
namespace {

TEST(ReadLine, WithoutMemoryForTheAnswerReturnsEmptyTextAndKeepsTheEcho) {
  TestConsole console(80, 4);
  const std::string typed(77, 'q');  // the answer needs 78 bytes, a size nothing else asks for
  console.host.Type(typed + "\r");
  failingSize = typed.size() + 1;
  const std::string line = ReadLine();
  failingSize = 0;
  EXPECT_EQ(line, "");
  EXPECT_EQ(console.host.RowTrimmed(1), typed);
  console.ExpectCursor(2, 1);
}

TEST(ReadLine, WithMemoryReturnsTheAnswer) {
  TestConsole console(80, 4);
  console.host.Type(std::string(77, 'q') + "\r");
  EXPECT_EQ(ReadLine(), std::string(77, 'q'));
}

}  // namespace
}  // namespace mirvane::console
