#include "cli/help_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "support/simulated_machine.h"

namespace quenbolt {
namespace {

// The help text as GBK bytes, written out independently of the program's literals.
const char* const kExpectedLines[] = {
    "\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD",
    "/? \xBB\xF2 /H\t\xCF\xD4\xCA\xBE\xB4\xCB\xB0\xEF\xD6\xFA",
    "/M <disk> <part> <ID>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xB7"
    "\xD6\xC7\xF8\xB5\xC4\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7",
    "/F <ID1> <ID2>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5"
    "\xBD\xD0\xDE\xB8\xC4\xCE\xAA <ID2>",
    "/L <disk> <part> <label>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8"
    "\xB7\xD6\xC7\xF8\xB5\xC4\xBE\xED\xB1\xEA",
    "/S <ID> <label>\t\t\xB2\xE9\xD5\xD2\xB7\xD6\xC7\xF8\xB1\xEA\xBC\xC7 <ID1>\xA3\xAC\xD5\xD2\xB5"
    "\xBD\xBA\xF3\xD0\xDE\xB8\xC4\xBE\xED\xB1\xEA\xCE\xAA <label>",
    "/A <disk> <part> <1/0>\t\xD0\xDE\xB8\xC4\xC4\xB3\xB4\xC5\xC5\xCC\xC9\xCF\xD6\xB8\xB6\xA8\xD6"
    "\xF7\xB7\xD6\xC7\xF8\xB5\xC4\xBC\xA4\xBB\xEE\xB1\xEA\xBC\xC7",
};

TEST(CommandLineHelp, IsSevenLinesJoinedBySingleCarriageReturns) {
  std::string expected;
  for (const char* line : kExpectedLines) {
    if (!expected.empty()) expected += '\r';
    expected += line;
  }
  EXPECT_EQ(buildCommandLineHelp(), expected);
  EXPECT_EQ(std::string(kHelpCaption), kExpectedLines[0]);
}

TEST(CommandLineHelp, ShownOnlyForALoneHelpWordThenTheWindowCloses) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"q", "/?"}, {"q", "/h"}, {"q", "/H"}}) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    EXPECT_TRUE(showHelpIfAsked(platform.ui, args)) << args[1];
    ASSERT_EQ(machine.messageBoxes().size(), 1u);
    EXPECT_EQ(machine.messageBoxes()[0].text, buildCommandLineHelp());
    EXPECT_EQ(machine.messageBoxes()[0].caption, kExpectedLines[0]);
    EXPECT_EQ(machine.messageBoxes()[0].style, 0x20u);
    // The close is queued after the box, so the run ends through the normal close path.
    EXPECT_EQ(machine.journal().back(), "requestClose");
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"q"}, {"q", "/?", "x"}, {"q", "?"}, {"q", "/help"}, {"q", "/LIST"}}) {
    SimulatedMachine machine;
    Platform platform = machine.platform();
    EXPECT_FALSE(showHelpIfAsked(platform.ui, args)) << args.size();
    EXPECT_TRUE(machine.messageBoxes().empty());
    EXPECT_EQ(machine.closeRequests(), 0u);
  }
}

}  // namespace
}  // namespace quenbolt
