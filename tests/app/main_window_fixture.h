#pragma once
// A main window on a simulated machine, after a start-up without arguments:
//
//   row 0  C:  0C  "主，活动"  FAT32 "SYSTEM"        primary, system number 1, active
//   row 1      0F  "扩展"      container
//   row 2  D:  07  "逻辑"      label of 40 bytes     logical, system number 3
//   row 3  E:  1C  "主"        temporary letter      primary, system number 2

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_presenter.h"
#include "app/main_window_state.h"
#include "app/startup.h"
#include "fake_main_window_view.h"
#include "support/simulated_machine.h"
#include "support/table_sector_builder.h"

namespace quenbolt {

// The machine's window services, with a hook that runs while a message box is open (the box's
// own message loop is where a queued close request would arrive).
class HookedUi : public UiServices {
 public:
  explicit HookedUi(UiServices& inner) : inner_(inner) {}
  std::function<void()> whileMessageBoxOpen;

  void setCursor(Cursor cursor) override { inner_.setCursor(cursor); }
  void setStatusText(const std::string& text) override { inner_.setStatusText(text); }
  void requestClose() override { inner_.requestClose(); }
  void messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    inner_.messageBox(text, caption, style);
    if (whileMessageBoxOpen) whileMessageBoxOpen();
  }
  void shellOpen(const std::string& file) override { inner_.shellOpen(file); }

 private:
  UiServices& inner_;
};

constexpr std::uint64_t kStartC = 2048 * 512;
constexpr std::uint64_t kEbr = 22528 * 512;
constexpr std::uint64_t kStartHidden = 63488 * 512;

enum : int { kRowC, kRowContainer, kRowD, kRowHidden };

// Longer than the label field holds.
inline const std::string kLongLabel = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() {
    machine.setDiskCount(1);
    SimulatedDisk& disk = machine.addDisk(0, 64ull << 20);
    disk.setSector(0, TableSector()
                          .entry(0, 0x80, 0x0C, 2048, 20480)
                          .entry(1, 0x00, 0x0F, 22528, 40960)
                          .entry(2, 0x00, 0x1C, 63488, 20480)
                          .signature());
    disk.setSector(kEbr, TableSector().entry(0, 0x00, 0x07, 63, 20000).signature());
    disk.setSector(kStartC, fat32BootSector("SYSTEM"));
    disk.setSector(kStartHidden, fat32BootSector("HIDDEN"));
    machine.mountVolume('C', volume(kStartC, 20480, "SYSTEM", "FAT32"));
    machine.mountVolume('D', volume(kEbr + 63 * 512, 20000, kLongLabel, "NTFS"));
    machine.addPartitionDevice(0, 2, volume(kStartHidden, 20480, "HIDDEN", "FAT32"));
    view.attach(presenter);
  }

  static SimulatedVolume volume(std::uint64_t start, std::uint64_t sectors, const std::string& label,
                                const std::string& fileSystem) {
    SimulatedVolume v;
    v.startOffset = start;
    v.length = sectors * 512;
    v.label = label;
    v.fileSystem = fileSystem;
    return v;
  }

  // Start-up as the program runs it: help step, then the sequence.
  CommandResult start(std::vector<std::string> args = {"Quenbolt.exe"}) {
    state.args = std::move(args);
    runHelpStep(platform, state);
    return runStartup(platform, view, state);
  }

  // Starts without arguments and forgets what start-up did, so a test sees only its own acts.
  void startQuietly() {
    start();
    ASSERT_EQ(state.list.size(), 4u);
    machine.clearLogs();
    view.filledRows.clear();
  }

  const PartitionRow& row(int index) const { return state.list.rows.at(index); }

  // Selects `index`, retypes its ID and presses "修改".
  void stageTypeId(int index, const std::string& id) {
    view.clickRow(index);
    view.retypeTypeId(id);
    view.clickModify();
  }

  // The drop-down item for `id`, or -1.
  int choiceOf(const std::string& id) const {
    for (std::size_t i = 0; i < view.typeChoiceCount(); ++i) {
      if (typeChoiceId(view.typeChoiceText(i)) == id) return static_cast<int>(i);
    }
    return -1;
  }

  std::uint32_t colourOf(long index) const {
    std::uint32_t colour = 0x123456;  // the list's default, whatever it is
    presenter.rowTextColour(index, colour);
    return colour;
  }

  SimulatedMachine machine;
  Platform machinePlatform = machine.platform();
  HookedUi ui{machinePlatform.ui};
  Platform platform{machinePlatform.disks, machinePlatform.registry, machinePlatform.volumes,
                    machinePlatform.dosDevices, machinePlatform.system, ui};
  MainWindowState state;
  FakeMainWindowView view;
  MainWindowPresenter presenter{platform, view, state};
};

}  // namespace quenbolt
