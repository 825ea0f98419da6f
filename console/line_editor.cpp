#include <array>
#include <new>

#include "console/console.h"
#include "console/screen_internal.h"

namespace mirvane::console {
namespace {

constexpr std::size_t kLineCapacity = 10000;
constexpr std::uint8_t kBackspace = 8;
constexpr std::uint8_t kEnter = 13;
constexpr std::uint8_t kBlank = 32;

// Backspace on the screen: blank the cell of the last echo and put the cursor on it.
void EraseLastEcho() {
  // At row 1, column 1 the last echo has scrolled off the top: no cell on the screen is its, so the
  // screen stays as it is and only the line loses the character.
  const ScreenGeometry screen = QueryScreen();
  if (!Screen().scrollPending && screen.x == 0 && screen.y == 0) return;
  StepBack();
  PrintChar(kBlank);
  StepBack();
}

}  // namespace

void StepBack() {
  ScreenState& state = Screen();
  const bool wrapOwed = state.scrollPending != 0;
  state.scrollPending = 0;
  const ScreenGeometry screen = QueryScreen();
  if (wrapOwed) {
    Locate(screen.height, screen.width);  // the bottom-right cell the last echo filled
  } else if (screen.x > 0) {
    Locate(screen.y + 1, screen.x);
  } else {
    Locate(screen.y, screen.width);  // the last cell of the row above
  }
}

std::string ReadLine() {
  ShowCursorTemporarily();
  std::array<char, kLineCapacity> line;
  std::size_t count = 0;

  for (;;) {
    const std::uint8_t character = ReadKeyChar();
    if (character == kBackspace) {
      if (count == 0) continue;
      EraseLastEcho();
      --count;
    } else if (character == kEnter) {
      break;
    } else if (character < kBlank || count == kLineCapacity) {
      continue;
    } else {
      line[count++] = static_cast<char>(character);
      PrintChar(character);
    }
  }
  PrintNewLine();
  std::string text;
  try {
    text.assign(line.data(), count);
  } catch (const std::bad_alloc&) {
    text.clear();  // no memory for the answer: it is empty, the echo stays on the screen
  }
  RestoreCursor();
  return text;
}

}  // namespace mirvane::console
