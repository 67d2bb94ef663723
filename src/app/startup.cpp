#include "app/startup.h"

#include "cli/help_text.h"
#include "discovery/startup_scan.h"

namespace quenbolt {

namespace {

// GetVersion: bit 31 marks the 95/98/Millennium family, the low byte is the major version.
bool isWindows9x(std::uint32_t version) {
  return (version & 0x80000000u) != 0 && (version & 0xFFu) >= 4;
}

}  // namespace

const std::vector<WindowMenuItem>& windowMenuItems() {
  static const std::vector<WindowMenuItem> items{
      {"", 0, 0x800},                  // MF_SEPARATOR
      {"命令行参数(&P)", 0x402, 0x0},  // MF_STRING
      {"关于(&A)...", 0x401, 0x8},     // MF_CHECKED
  };
  return items;
}

void runHelpStep(Platform& platform, MainWindowState& state) {
  state.commandLineHelp = buildCommandLineHelp();
  if (isHelpRequest(state.args)) {
    platform.ui.messageBox(state.commandLineHelp, kHelpCaption, kMbIconQuestion);
    platform.ui.requestClose();
  }
}

CommandResult runStartup(Platform& platform, MainWindowView& view, MainWindowState& state) {
  state.list.clear();

  // The raw disk devices this program needs do not exist on that family; the sequence goes on
  // and the queued request ends the run as soon as the message loop starts.
  if (isWindows9x(platform.system.getVersion())) platform.ui.requestClose();

  for (const WindowMenuItem& item : windowMenuItems()) view.appendWindowMenuItem(item);

  const std::size_t argumentCount = state.argumentCount();
  if (argumentCount == 0) view.showWindow();

  state.catalogue.emplace();
  for (const std::string& entry : state.catalogue->typeChoiceEntries()) view.addTypeChoice(entry);

  scanWithTemporaryLetters(platform, *state.catalogue, state.list, state.tempLetters);
  view.showRows(state.list);

  if (state.list.size() > 0) view.selectRow(0);
  // After row 0's offset, so that it is what the user sees: without administrator rights the list
  // is empty, and it must not look like a machine without partitions.
  if (!state.list.unreadableDisks.empty()) {
    platform.ui.setStatusText(unreadableDisksText(state.list.unreadableDisks));
  }

  CommandResult result = runCommandStep(platform, state.list, state.args);

  if (argumentCount == 1) platform.ui.requestClose();
  return result;
}

}  // namespace quenbolt
