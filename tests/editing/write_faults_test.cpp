// Every writer goes through one read-modify-write path; whichever step of it fails, no byte
// changes on the disk, the handle is closed, the failure is recorded, and the next change is
// still made.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "editing/boot_sector_label_writer.h"
#include "editing/table_writers.h"
#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;

using Run = void (*)(Platform&, PartitionList&, ChangeReport&);

struct WriterCase {
  const char* name;
  Row row;               // the change on disk 0 that meets the fault
  ChangeKind kind;
  std::uint64_t sector;  // the sector it reads and writes on disk 0
  Run run;               // stages that change and one on disk 1, then writes
  std::uint64_t disk1Offset;  // where the disk-1 change lands, and what it writes
  const char* disk1Bytes;
};

struct FaultCase {
  const char* name;
  std::function<void(SimulatedDisk&, std::uint64_t)> plant;
  FailureReason reason;
  std::function<std::vector<std::string>(const std::string& hexOffset)> journal;
};

const WriterCase kWriters[] = {
    {"TypeInMbr", kRowD, ChangeKind::TypeId, kMbr,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       list.rows[kRowD][kTypeIdColumn] = "1B";
       list.rows[kRowF][kTypeIdColumn] = "1C";
       writeTypeIds(platform, list, report);
     },
     typeByte(kMbr, 0), "\x1C"},
    {"ActiveFlag", kRowD, ChangeKind::ActiveFlag, kMbr,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       list.rows[kRowD][kKindColumn] = kKindPrimaryActive;
       list.rows[kRowF][kKindColumn] = kKindPrimaryActive;
       writeActiveFlags(platform, list, report);
     },
     bootIndicator(kMbr, 0), "\x80"},
    {"BootSectorLabel", kRowD, ChangeKind::BootSectorLabel, kBootD,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       writeBootSectorLabel(platform, list, kRowD, "NEW", report);
       writeBootSectorLabel(platform, list, kRowF, "spare2", report);
     },
     kBootF + 0x47, "SPARE2     "},
};

std::vector<std::string> opened(const std::string& hex, std::vector<std::string> middle) {
  std::vector<std::string> lines{"open 0 readwrite ok", "read 0 " + hex + " 512"};
  lines.insert(lines.end(), middle.begin(), middle.end());
  lines.push_back("close 0");
  return lines;
}

const FaultCase kFaults[] = {
    {"OpenFails", [](SimulatedDisk& disk, std::uint64_t) { disk.failOpen(); },
     FailureReason::OpenFailed,
     [](const std::string&) { return std::vector<std::string>{"open 0 readwrite failed"}; }},
    {"ReadFails", [](SimulatedDisk& disk, std::uint64_t at) { disk.failRead(at); },
     FailureReason::ReadFailed,
     [](const std::string& hex) {
       return std::vector<std::string>{"open 0 readwrite ok", "read 0 " + hex + " failed",
                                       "close 0"};
     }},
    // Past the end of an image Wine's ReadFile "succeeds" with 0 bytes.
    {"ReadReturnsNothing", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortRead(at, 0); },
     FailureReason::ReadFailed,
     [](const std::string& hex) {
       return std::vector<std::string>{"open 0 readwrite ok", "read 0 " + hex + " 0", "close 0"};
     }},
    {"ReadIsShort", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortRead(at, 511); },
     FailureReason::ReadFailed,
     [](const std::string& hex) {
       return std::vector<std::string>{"open 0 readwrite ok", "read 0 " + hex + " 511",
                                       "close 0"};
     }},
    {"WriteFails", [](SimulatedDisk& disk, std::uint64_t at) { disk.failWrite(at); },
     FailureReason::WriteFailed,
     [](const std::string& hex) { return opened(hex, {"write 0 " + hex + " failed"}); }},
    // Only the first 64 bytes, which hold nothing that changes, reach the disk.
    {"WriteIsShort", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortWrite(at, 64); },
     FailureReason::WriteFailed,
     [](const std::string& hex) { return opened(hex, {"write 0 " + hex + " 64"}); }},
};

class WriteFaults : public EditingBench,
                    public ::testing::WithParamInterface<std::tuple<WriterCase, FaultCase>> {};

TEST_P(WriteFaults, ChangeNoByteAreRecordedAndDoNotStopTheNextChange) {
  const WriterCase& writer = std::get<0>(GetParam());
  const FaultCase& fault = std::get<1>(GetParam());
  fault.plant(machine.disk(0), writer.sector);

  ChangeReport report;
  writer.run(platform, list, report);

  EXPECT_THAT(report.failures,
              ::testing::ElementsAre(IsFailure(writer.row, writer.kind, fault.reason)));
  std::vector<std::string> expected = fault.journal(hexOf(writer.sector));
  const std::vector<std::string> disk1 =
      readModifyWrite(1, writer.kind == ChangeKind::BootSectorLabel ? kBootF : kMbr);
  expected.insert(expected.end(), disk1.begin(), disk1.end());
  EXPECT_EQ(diskAndLabelJournal(machine), expected);
  expectDisks(beforeWith({{1, {{writer.disk1Offset, writer.disk1Bytes}}}}));
  EXPECT_EQ(machine.openHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryWriterEveryStep, WriteFaults,
    ::testing::Combine(::testing::ValuesIn(kWriters), ::testing::ValuesIn(kFaults)),
    [](const ::testing::TestParamInfo<WriteFaults::ParamType>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace quenbolt
