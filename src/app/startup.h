#pragma once
// From process start to the message loop: the help step of window creation and the start-up
// sequence, in their fixed order.

#include <string>
#include <vector>

#include "app/main_window_state.h"
#include "app/main_window_view.h"
#include "cli/commands.h"
#include "platform/platform.h"

namespace quenbolt {

// The window-menu items, in the order they are appended.
const std::vector<WindowMenuItem>& windowMenuItems();

// Runs while the window is being created, before its controls exist: builds CommandLineHelp and,
// for a lone "/?" or "/H", shows the help box and then queues a close request.
void runHelpStep(Platform& platform, MainWindowState& state);

// The start-up sequence, in this order: empty scan-time lists; close request on the 95/98/
// Millennium family; window-menu items; show the window (no arguments only); the type catalogue
// into TypeChoiceList; scan, temporary letters, scan again; select row 0 (and, when disks could
// not be read, say which in the status line); the command step; a close request for exactly one
// argument. Returns what the command step did.
CommandResult runStartup(Platform& platform, MainWindowView& view, MainWindowState& state);

}  // namespace quenbolt
