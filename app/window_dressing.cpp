#include "app/window_dressing.h"

#include <cstdint>

#include "app/console_tools.h"

namespace mirvane::app {
namespace {

constexpr std::int32_t kStandardApplicationIcon = 0x7F00;  // IDI_APPLICATION

// Restore, 0, Size, -2, -1, Maximize, in this order: the window keeps a fixed size.
constexpr std::int32_t kRemovedMenuItems[] = {0xF120, 0, 0xF000, -2, -1, 0xF030};

constexpr std::int32_t kScreenRows = 32;
constexpr std::int32_t kFarCorner = 32767;

}  // namespace

void DressWindow(platform::HINSTANCE instance) {
  // Outlives the call, in case the library keeps its address.
  static std::int32_t options;
  options = 0;
  InitConsoleTools(instance, 0, 0, 0, &options, 0);
  ConsoleToolBar(0, 5);
  ConsoleTitle("Mirvane");
  ConsoleIcon(kStandardApplicationIcon);
  for (const std::int32_t item : kRemovedMenuItems) DeleteWindowMenuItem(item);
}

void FinishWindowDressing() {
  Console80x(kScreenRows);
  ConsoleMove(kFarCorner, kFarCorner);
}

void ShowUnitsError() { ConsoleMessageBox("You must respond either F or M  ", 0, "  ERROR", 0, 0); }

}  // namespace mirvane::app
