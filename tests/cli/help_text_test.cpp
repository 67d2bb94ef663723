#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace {

// The help text as GBK bytes, written out independently of the program's literals: seven lines
// joined by single carriage returns, the first of them the caption.
const std::string kCaption = "\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD";
const std::string kHelp =
    kCaption + "\r"
    "/? \xBB\xF2 /H\t\xCF\xD4\xCA\xBE\xB4\xCB\xB0\xEF\xD6\xFA\r"
    "/M <disk> <part> <ID>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xB7"
    "\xD6\xC7\xF8\xB5\xC4\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7\r"
    "/F <ID1> <ID2>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5"
    "\xBD\xD0\xDE\xB8\xC4\xCE\xAA <ID2>\r"
    "/L <disk> <part> <label>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8"
    "\xB7\xD6\xC7\xF8\xB5\xC4\xBE\xED\xB1\xEA\r"
    "/S <ID> <label>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5"
    "\xBD\xBA\xF3\xD0\xDE\xB8\xC4\xBE\xED\xB1\xEA\xCE\xAA <label>\r"
    "/A <disk> <part> <1/0>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xD6"
    "\xF7\xB7\xD6\xC7\xF8\xB5\xC4\xBC\xA4\xBB\xEE\xB1\xEA\xBC\xC7";

TEST(CommandLineHelp, IsSevenLinesJoinedBySingleCarriageReturns) {
  EXPECT_EQ(buildCommandLineHelp(), kHelp);
  EXPECT_EQ(kHelpCaption, kCaption);
}

TEST(CommandLineHelp, ShownOnlyForALoneHelpWordThenTheRunCloses) {
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"q", "/?"}, true},       {{"q", "/h"}, true},    {{"q", "/H"}, true},
      {{"q"}, false},            {{"q", "?"}, false},    {{"q", "/help"}, false},
      {{"q", "/?", "x"}, false}, {{"q", "/LIST"}, false}};
  for (const auto& [args, shown] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    SimulatedMachine machine;
    Platform platform = machine.platform();
    EXPECT_EQ(showHelpIfAsked(platform.ui, args), shown);
    ASSERT_EQ(machine.messageBoxes().size(), shown ? 1u : 0u);
    EXPECT_EQ(machine.closeRequests(), shown ? 1u : 0u);
    if (!shown) continue;
    EXPECT_EQ(machine.messageBoxes()[0].text, buildCommandLineHelp());
    EXPECT_EQ(machine.messageBoxes()[0].caption, kCaption);
    EXPECT_EQ(machine.messageBoxes()[0].style, 0x20u);
    // The close is queued after the box, so the run ends through the normal close path.
    EXPECT_EQ(machine.journal().back(), "requestClose");
  }
}

}  // namespace
}  // namespace quenbolt
