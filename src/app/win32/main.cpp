// Program entry: the window, the start-up sequence, the message loop, and the exit status.

#include <windows.h>

#include <string>
#include <vector>

#include "app/main_window_state.h"
#include "app/win32/main_window.h"
#include "app/win32/standard_streams.h"
#include "platform/win32/wide_text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/listing.h"
#include "platform/win32/win32_platform.h"

namespace {

// The window could not be made, so nothing at all was done: no status of a batch run applies.
constexpr int kExitNoWindow = 9;
// Something unforeseen stopped the run part way; what was written is unknown to the caller.
constexpr int kExitInternalError = 10;

// The command line as GBK. Read in UTF-16 and converted explicitly, so that a Chinese label
// given on the command line arrives intact whatever the system's ANSI code page is; a character
// GBK cannot hold is marked, and the command step refuses the argument that holds it.
std::string commandLineText() { return quenbolt::win32::narrowMarking(GetCommandLineW()); }

int run() {
  using namespace quenbolt;
  Win32Platform win32Platform;
  Platform platform = win32Platform.platform();
  MainWindowState state;
  state.args = splitCommandLine(commandLineText());

  MainWindow window(platform, win32Platform.ui(), state);
  if (!window.create()) {
    win32::writeStandard(win32::StandardStream::Error, "无法创建主窗口，未做任何更改\n");
    return kExitNoWindow;
  }
  const CommandResult& result = window.startupResult();

  if (isListRequest(state.args))
    win32::writeStandard(win32::StandardStream::Output, formatListing(state.list));
  if (!result.errorLines.empty()) {
    std::string text;
    for (const std::string& line : result.errorLines) text += line + "\n";
    win32::writeStandard(win32::StandardStream::Error, text);
  }

  win32::runMessageLoop(window.handle());
  // Every close passes through the close handler; this only covers a window that vanished
  // without one.
  window.releaseTemporaryLetters();
  return result.exitStatus;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return run();
  } catch (...) {
    quenbolt::win32::writeStandard(quenbolt::win32::StandardStream::Error, "内部错误，运行中断\n");
    return kExitInternalError;
  }
}
