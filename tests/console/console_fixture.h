// A fresh in-memory console per test, set up as start-up leaves it, and a way to draw and check
// whole screens.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "platform/memory_host.h"

namespace mirvane::console {

using platform::MemoryHost;
using Calls = std::vector<std::string>;

struct TestConsole {
  MemoryHost host;
  platform::ScopedHost installed{host};

  TestConsole(int columns, int rows) : host(columns, rows) {
    ReadStartupCursorShape(MemoryHost::kStandardOutput, MemoryHost::kStandardOutput);
    ResetScreenState(MemoryHost::kStandardOutput);
    ResetKeyboardState(MemoryHost::kConsoleInput);
    host.ClearCalls();
  }

  // Puts the rows' bytes on the screen as they stand, without a logged call.
  void Draw(const std::vector<std::string>& rows) {
    for (std::size_t row = 0; row < rows.size(); ++row) {
      std::vector<platform::CHAR_INFO> cells(rows[row].size());
      for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i].Char.AsciiChar = rows[row][i];
        cells[i].Attributes = 0x07;
      }
      const auto y = static_cast<platform::SHORT>(row);
      platform::SMALL_RECT region{0, y, static_cast<platform::SHORT>(cells.size() - 1), y};
      host.Screen().WriteOutput(cells.data(), {static_cast<platform::SHORT>(cells.size()), 1},
                                {0, 0}, &region);
    }
  }

  void ExpectRows(const std::vector<std::string>& rows) const {
    ASSERT_EQ(static_cast<int>(rows.size()), host.Screen().Rows());
    for (std::size_t row = 0; row < rows.size(); ++row) {
      EXPECT_EQ(host.Row(static_cast<int>(row) + 1), rows[row]) << "row " << row + 1;
    }
  }

  void ExpectCursor(int row, int column) const {
    EXPECT_EQ(host.CursorRow(), row) << "cursor row";
    EXPECT_EQ(host.CursorColumn(), column) << "cursor column";
  }
};

}  // namespace mirvane::console
