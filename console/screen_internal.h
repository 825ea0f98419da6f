// The screen layer's internal operations, shared by its files and reachable by its tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mirvane::console {

// Cells staged per WriteConsoleOutputA: a run never exceeds it, nor the end of its row.
inline constexpr int kStagingCells = 256;

// The screen's size (the buffer's, not the window's) and the cursor, as the console reports them
// now; the cursor 0-based.
struct ScreenGeometry {
  int width = 0;
  int height = 0;
  int x = 0;
  int y = 0;
};
ScreenGeometry QueryScreen();

// The one output path: count bytes as cells in the current colours, none interpreted.
void WriteCells(const std::uint8_t* bytes, std::size_t count);
// Moves every row but the top one up by one; the last row becomes blank in the current colours.
void ScrollScreenUp();
// Hands the stored cursor size and visibility to the console.
void ApplyCursorShape();
// Moves the cursor back one cell for Backspace, undoing the wrap of the echo.
void StepBack();

}  // namespace mirvane::console
