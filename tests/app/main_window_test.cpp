// Start-up and the main window on the standard machine: the order of start-up, the editor row,
// staging, colours, and what "确定" writes and tells.

#include <gtest/gtest.h>
#include <algorithm>
#include <utility>
#include "app/main_window_presenter.h"
#include "app/startup.h"
#include "cli/help_text.h"
#include "model/gpt_types.h"
#include "support/gpt_disk.h"
#include "support/standard_machine.h"

namespace quenbolt {
namespace {
using namespace standard;

// The main window as plain fields, raising the events the real controls raise (a changed field runs
// its handler, a selection change fills the editor for each row it touches) and playing the user
// through the presenter. Window-level calls go to the machine's log beside the disk accesses.
class FakeView : public MainWindowView {
 public:
  FakeView(std::vector<std::string>& log, MainWindowPresenter& presenter)
      : log_(log), presenter_(presenter) {}
  // Each key through the field's filter, at the caret; 0x08 erases.
  void typeIntoTypeId(const std::string& keys) {
    for (char c : keys) {
      if (!presenter_.filterTypeIdChar(static_cast<unsigned char>(c))) continue;
      if (c != '\b')
        typeId.insert(typeIdCaret_++, upperAscii(std::string(1, c)));
      else if (typeIdCaret_ > 0)
        typeId.erase(--typeIdCaret_, 1);
      presenter_.syncTypeChoice();
    }
  }
  void retypeTypeId(const std::string& keys) {
    typeIdCaret_ = typeId.size();
    typeIntoTypeId(std::string(typeId.size(), '\b') + keys);
  }
  void clickRow(int row) {  // -1: below the last row
    const int old = std::exchange(selected_, row);
    for (int touched : {old, row})
      if (old != row && touched >= 0) presenter_.fillEditor(static_cast<std::size_t>(touched));
    presenter_.keepSelection();
  }
  void choose(const std::string& id) {
    for (std::size_t i = 0; i < choices.size(); ++i)
      choice = typeChoiceId(choices[i]) == id ? static_cast<int>(i) : choice;
    presenter_.takeTypeChoice();
  }

  std::vector<WindowMenuItem> menu;
  std::vector<std::vector<std::string>> rows;
  std::string label, typeId, letter, activeCaption;
  std::size_t labelCaret = 0;
  std::vector<std::string> choices;
  int choice = -1;
  bool labelOn = true, activeOn = true, typeOn = true, active = false;

  void appendWindowMenuItem(const WindowMenuItem& item) override {
    log_.push_back("view menuItem");
    menu.push_back(item);
  }
  void showWindow() override { log_.push_back("view showWindow"); }
  void showRows(const PartitionList& list) override {
    log_.push_back("view showRows " + std::to_string(list.size()));
    selected_ = -1;
    rows.clear();
    for (const PartitionRow& row : list.rows) rows.emplace_back(row.cells.begin(), row.cells.end());
  }
  void updateRow(const PartitionList& list, std::size_t row) override {
    rows.at(row).assign(list.rows[row].cells.begin(), list.rows[row].cells.end());
  }
  int selectedRow() const override { return selected_; }
  void selectRow(std::size_t row) override {
    log_.push_back("view selectRow " + std::to_string(row));
    clickRow(static_cast<int>(row));
  }
  void setLabelEnabled(bool on) override { labelOn = on; }
  bool labelEnabled() const override { return labelOn; }
  void setActiveEnabled(bool on) override { activeOn = on; }
  bool activeEnabled() const override { return activeOn; }
  void setActiveChecked(bool on) override { active = on; }
  bool activeChecked() const override { return active; }
  void setActiveCaption(const std::string& text) override { activeCaption = text; }
  void setTypeEnabled(bool on) override { typeOn = on; }
  bool typeEnabled() const override { return typeOn; }
  void setDriveLetterText(const std::string& text) override { letter = text; }
  std::string labelText() const override { return label; }
  void setLabelText(const std::string& text) override {
    label = text;
    labelCaret = 0;
    presenter_.limitLabelText();
  }
  void setLabelCaret(std::size_t position) override {
    labelCaret = std::min(position, label.size());
  }
  std::string typeIdText() const override { return typeId; }
  void setTypeIdText(const std::string& text) override {
    typeId = upperAscii(text);
    typeIdCaret_ = 0;
    presenter_.syncTypeChoice();
  }
  std::size_t typeIdCaret() const override { return typeIdCaret_; }
  void setTypeIdCaret(std::size_t at) override { typeIdCaret_ = std::min(at, typeId.size()); }
  void addTypeChoice(const std::string& text) override {
    if (choices.empty()) log_.push_back("view addTypeChoice");
    choices.push_back(text);
  }
  void clearTypeChoices() override {
    choices.clear();
    choice = -1;
  }
  std::size_t typeChoiceCount() const override { return choices.size(); }
  std::string typeChoiceText(std::size_t index) const override { return choices.at(index); }
  int typeChoiceSelection() const override { return choice; }
  void selectTypeChoice(std::size_t index) override { choice = static_cast<int>(index); }
  void clearTypeChoice() override { choice = -1; }
  bool bootLabelFirstChecked() const override { return false; }

 private:
  std::vector<std::string>& log_;
  MainWindowPresenter& presenter_;
  int selected_ = -1;
  std::size_t typeIdCaret_ = 0;
};

class MainWindow : public testing::Test {
 protected:
  MainWindow() { build(machine); }
  CommandResult start(Lines args = {"Quenbolt.exe"},
                      bool forget = false) {  // as the program does: help step, sequence
    state.args = std::move(args);
    runHelpStep(platform, state);
    const CommandResult result = runStartup(platform, view, state);
    if (forget) machine.log.clear();
    return result;
  }
  std::string cell(int row, Column column) const { return state.list.rows.at(row)[column]; }
  void stage(int row, const std::string& type) {
    view.clickRow(row);
    view.retypeTypeId(type);
    presenter.stageRowEdit();
  }
  std::uint32_t colour(long row) const {  // 0x123456: the list's own, whatever it is
    std::uint32_t c = 0x123456;
    presenter.rowTextColour(row, c);
    return c;
  }
  std::size_t count(const std::string& line) const {
    return std::count(machine.log.begin(), machine.log.end(), line);
  }

  SimulatedMachine machine;
  Platform platform = machine.platform();
  MainWindowState state;
  FakeView view{machine.log, presenter};
  MainWindowPresenter presenter{platform, view, state};
};

TEST_F(MainWindow,
       WithoutArgumentsTheWindowShowsBeforeTheScansAndStartUpEndsWithRowZeroInTheEditor) {
  EXPECT_EQ(start().exitStatus, kExitDone);
  const Lines& log = machine.log;
  EXPECT_EQ(Lines(log.begin(), std::find(log.begin(), log.end(), "open 0 read ok")),
            (Lines{"view menuItem", "view menuItem", "view menuItem", "view showWindow",
                   "view addTypeChoice"}));
  EXPECT_EQ(Lines(log.end() - 3, log.end()),
            (Lines{"view showRows 7", "view selectRow 0", "status Offset: 000000100000"}));
  EXPECT_EQ(view.choices, TypeCatalogue().typeChoiceEntries());
  EXPECT_EQ(view.rows.at(rowH)[kDriveLetterColumn] + view.typeId + view.label, "H0CSYSTEM")
      << "scan, temporary letters, scan";
  EXPECT_EQ(count("requestClose") + machine.logged("write ").size() + machine.logged("box ").size(),
            0u);
  std::string menu;  // the window menu: a separator, then the help and About items
  for (const WindowMenuItem& item : view.menu)
    menu += item.text + "|" + hexText(item.id) + "|" + hexText(item.flags) + " ";
  EXPECT_EQ(menu, "|0x0|0x800 命令行参数(&P)|0x402|0x0 关于(&A)...|0x401|0x8 ");
}

TEST_F(MainWindow,
       ArgumentsKeepTheWindowHiddenALoneHelpSwitchShowsTheHelpFirstAndTheOld95FamilyCloses) {
  const struct {
    Lines args;
    Lines first;
  } cases[] = {
      {{"q", "/X"}, {"view menuItem"}},
      {{"q", "/?", "x"}, {"view menuItem"}},
      {{"q", "/h"}, {"box 命令行参数|" + buildCommandLineHelp() + "|0x20", "requestClose"}}};
  for (const auto& c : cases) {
    machine.log.clear();
    start(c.args);
    EXPECT_EQ(Lines(machine.log.begin(), machine.log.begin() + c.first.size()), c.first);
    EXPECT_EQ(count("requestClose"), c.first.size())
        << "the help's close, then start-up's for one argument";
    EXPECT_EQ(count("view showWindow"), 0u);
    EXPECT_EQ(state.list.size(), rowCount) << "start-up still scans";
  }
  // GetVersion of the 95/98/Millennium family: closes, start-up goes on.
  machine.rawVersion = 0x80000004;
  machine.log.clear();
  start();
  EXPECT_EQ(count("requestClose") + count("view showWindow") + count("view showRows 7"), 3u);
}

TEST_F(MainWindow, ABatchCommandWritesWithoutTheWindowAndTheLettersGoOnceAtTheClose) {
  EXPECT_EQ(start({"q", "/M", "1", "5", "17"}).exitStatus, kExitDone);
  EXPECT_EQ(count("view showWindow") + count("requestClose"), 2u)
      << "applyChanges' and the command step's requests";
  EXPECT_EQ(machine.disks[0].bytes(typeAt(0, 3), 1), "\x17");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(presenter.closeRequested());
  EXPECT_EQ(machine.logged("remove "), (Lines{"H: ok", "I: ok"}));
}

// Disk 2's table could not be read: it shows its protective EE entry, which has no active box.
TEST_F(MainWindow, TheEditorShowsWhatEachRowAllowsAndTheActiveBoxTheFlagTheScanFound) {
  machine.disks[1].put(typeAt(0, 0), std::string("\xEE"));
  start({"q"}, true);
  view.clickRow(rowG);
  EXPECT_FALSE(view.activeOn);
  view.clickRow(rowExtended);  // after the active row: its check mark must not stay
  EXPECT_FALSE(view.labelOn || view.activeOn || view.active);
  view.clickRow(rowE);
  EXPECT_TRUE(view.labelOn && !view.activeOn) << "a logical partition has no active flag";
  EXPECT_EQ(view.letter + machine.logged("status ").back(), "EOffset: 000006507E00");
  view.clickRow(-1);  // below the last row: the last row
  presenter.openDrive();
  view.clickRow(rowI);  // no letter: nothing to open
  presenter.openDrive();
  EXPECT_EQ(machine.logged("shell "), Lines{"G:"});
  view.clickRow(rowD);
  view.active = false;
  presenter.stageRowEdit();
  EXPECT_EQ(cell(rowD, kKindColumn) + view.rows[rowD][kKindColumn], "主主") << "staged, and shown";
  view.clickRow(rowE);
  view.clickRow(rowD);
  EXPECT_TRUE(view.active) << "what the disk holds, not what was staged";
  view.clickRow(rowH);
  view.active = true;
  presenter.stageRowEdit();
  EXPECT_EQ(cell(rowH, kKindColumn) + cell(rowI, kKindColumn) + cell(rowExtended, kKindColumn),
            "主，活动主扩展");
  EXPECT_TRUE(machine.logged("write ").empty()) << "staging writes nothing";
}

TEST_F(MainWindow, TheTypeFieldTakesTwoHexDigitsAndALoneOneIsStagedWithALeadingZeroAndItsName) {
  start({"q"}, true);
  view.clickRow(rowE);
  view.typeIntoTypeId(std::string("g \x16G-\r\x1b", 7));  // Ctrl+V is 0x16
  view.retypeTypeId("b");
  presenter.stageRowEdit();
  EXPECT_EQ(view.typeId + cell(rowE, kTypeIdColumn) + cell(rowE, kFormatNameColumn) +
                view.choices.at(view.choice),
            "0B0BFAT320B|FAT32");
  view.choose("17");
  EXPECT_EQ(view.typeId, "17");
  view.retypeTypeId("0C7");   // a third character is cut away
  view.setTypeIdText("0中");  // a paste past the filter: no half of a character stays
  EXPECT_EQ(view.typeId + view.choices.at(view.choice), "00C|FAT32 LBA");
  stage(rowE, "13");  // not in the catalogue: no name
  EXPECT_EQ(cell(rowE, kFormatNameColumn), "");
  stage(rowE, "");
  EXPECT_EQ(cell(rowE, kTypeIdColumn), "") << "an emptied field stages an empty ID";
}

// The field holds at most 32 bytes, never half a character, and not every label: left alone it
// stages none, so a row whose type alone changes keeps its label. A character GBK cannot hold
// comes out of the field marked: staged, it would be written as "?", so the row stages nothing.
TEST_F(MainWindow, TheLabelFieldStagesOnlyWhatTheUserChangedAndGbkCanHold) {
  start({"q"}, true);
  view.clickRow(rowE);
  EXPECT_EQ(view.label, kLongLabel.substr(0, 32));
  view.setLabelText(std::string(31, 'x') + "中");
  EXPECT_EQ(view.label, std::string(31, 'x'));
  view.clickRow(rowD);  // away, unstaged, and back
  stage(rowE, "0B");
  EXPECT_EQ(cell(rowE, kLabelColumn), kLongLabel);
  EXPECT_EQ(cell(rowE, kKindColumn), "逻辑") << "no active box, no kind staged";
  view.retypeTypeId("17");
  view.setLabelText("A\xFF");
  presenter.stageRowEdit();
  EXPECT_EQ(cell(rowE, kLabelColumn) + cell(rowE, kTypeIdColumn), kLongLabel + "0B");
  EXPECT_EQ(machine.logged("box "),
            Lines{"未修改|卷标含有 GBK 无法表示的字符，这一行没有修改。|0x30"});
  view.setLabelText("DATA");
  presenter.stageRowEdit();
  EXPECT_EQ(cell(rowE, kLabelColumn), "DATA");
}

// Typing in the list finds a row by its letter; where none has it, the selection and the editor
// stay.
TEST_F(MainWindow, TypingInTheListFindsARowByItsLetterOrKeepsTheSelection) {
  start({"q"}, true);
  EXPECT_EQ(presenter.findRow("f", 0, true, false), rowF);
  EXPECT_EQ(presenter.findRow("G", rowG, false, false), rowG);
  EXPECT_EQ(presenter.findRow("D", rowE, true, true), rowD) << "on from the top";
  EXPECT_EQ(presenter.findRow("D", rowE, true, false), -1);
  EXPECT_EQ(presenter.findRow("X", 0, true, true), -1);
  EXPECT_EQ(presenter.findRow("", rowI, true, false), rowI) << "an empty prefix fits the start";
}

// A GPT row: its box is "隐藏" (bits 62 and 63 together), its type a four-digit code from the GPT
// types' list, written into both copies of its table by "确定".
TEST_F(MainWindow, AGptRowStagesACodeOfTheGptListAndHiddenAsTwoAttributeBits) {
  putGpt(machine.addDisk(2, 1ull << 30),
         {{0, kBasicData, 2048, 206847}, {1, kRecovery, 206848, 411647, 1}});
  start({"q"}, true);
  const int recovery = rowCount + 1;
  view.clickRow(recovery);
  EXPECT_EQ(view.activeCaption + view.typeId + view.choices.at(view.choice),
            "隐藏2700" + gptTypeChoiceEntries()[3]);
  EXPECT_TRUE(view.activeOn && !view.active && view.typeOn);
  EXPECT_EQ(view.choices, gptTypeChoiceEntries());
  view.retypeTypeId("12");
  presenter.stageRowEdit();
  EXPECT_EQ(machine.logged("box "),
            Lines{"未修改|GPT 分区的分区标记应为列表中的四位类型代码，这一行没有修改。|0x30"});
  view.retypeTypeId("07001");  // a fifth digit is cut away
  view.active = true;
  presenter.stageRowEdit();
  EXPECT_EQ(cell(recovery, kTypeIdColumn) + cell(recovery, kFormatNameColumn) +
                cell(recovery, kKindColumn),
            "0700基本数据GPT，隐藏");
  EXPECT_EQ(colour(recovery), 0x0000FFu);
  view.clickRow(rowD);
  EXPECT_EQ(view.activeCaption + view.typeId, "活动0C");
  EXPECT_EQ(view.choices, TypeCatalogue().typeChoiceEntries());
  presenter.confirmChanges();  // bit 0 kept, 62 and 63 set
  EXPECT_EQ(entryAttributes(gptCopyAt(machine.disks[2], 1).array, 1), 0xC000000000000001);
}

TEST_F(MainWindow, ContainersAreGreyAndHiddenTypesRedAsStaged) {
  start({"q"}, true);
  EXPECT_EQ(std::make_tuple(colour(rowD), colour(rowExtended), colour(rowH), colour(99)),
            std::make_tuple(0x123456u, 0x808080u, 0x0000FFu, 0x123456u));
  std::uint32_t c = 0;
  EXPECT_EQ(presenter.rowTextColour(-1, c), 0x20)
      << "every row and cell, at the list's pre-paint stage";
  stage(rowE, "1b");
  stage(rowH, "c");
  state.list.rows[rowExtended][kKindColumn] = "扩展，活动";  // only the kind exactly "扩展" is grey
  EXPECT_EQ(std::make_tuple(colour(rowE), colour(rowH), colour(rowExtended)),
            std::make_tuple(0x0000FFu, 0x123456u, 0x123456u));
}

// "确定" writes what was staged and tells, in a box, of a table the system could not read again.
TEST_F(MainWindow, ConfirmWritesWhatWasStagedAndTellsATableNotReadAgain) {
  start({"q"}, true);
  machine.rereadFails = true;
  view.clickRow(rowD);
  view.setLabelText("数据");
  presenter.stageRowEdit();
  stage(rowE, "17");
  presenter.confirmChanges();
  EXPECT_EQ(machine.disks[0].bytes(kBootD + kFat32RootSector * 512, 11), "数据       ");
  EXPECT_EQ(machine.disks[0].bytes(typeAt(kEbr1, 0), 1), "\x17");
  EXPECT_EQ(machine.logged("box "),
            Lines{"提示|磁盘 1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效|0x40"});
  EXPECT_EQ(count("requestClose"), 1u);
}

TEST_F(MainWindow, ConfirmListsWhatFailedInOneBoxAndClosesOnlyOnceTheBoxIsGone) {
  start({"q"}, true);
  stage(rowI, "0B");
  stage(rowH, "0B");
  machine.disks[0].faults = {{FaultOn::OpenForWriting}};
  bool closedUnderTheBox = true;
  machine.whileBoxOpen = [&] { closedUnderTheBox = presenter.closeRequested(); };
  presenter.confirmChanges();
  EXPECT_EQ(machine.logged("box "),
            Lines{"写入失败|以下更改未能写入磁盘:\r\n磁盘 1 分区 4：分区标记 \"0B\" "
                  "未写入（打开磁盘失败）\r\n"
                  "磁盘 1 分区 5：分区标记 \"0B\" 未写入（打开磁盘失败）|0x30"});
  EXPECT_FALSE(closedUnderTheBox) << "the letters stay while the box is up";
  EXPECT_EQ(count("requestClose"), 2u) << "applyChanges' request, then the one that waited";
  EXPECT_TRUE(presenter.closeRequested() && machine.defined.empty());
}
}  // namespace
}  // namespace quenbolt
