// Every writer goes through one read-modify-write path; whichever step of it fails, no byte
// changes on the disk, the handle is closed, the failure is recorded, and the next change is
// still made.
#include <functional>
#include <tuple>

#include "editing/boot_sector_label_writer.h"
#include "editing/table_writers.h"
#include "editing_bench.h"

namespace quenbolt {
namespace {

using namespace bench;

struct WriterCase {
  const char* name;
  ChangeKind kind;       // of the change to row D, which meets the fault
  std::uint64_t sector;  // the sector that change reads and writes on disk 0
  ByteChange disk1;      // the change staged after it, on disk 1
  // The devices the two changes go through, as the journal names them, and the sector on each:
  // the disks themselves, or the volumes of the rows' letters.
  const char* device0;
  const char* device1;
  std::uint64_t at;
  void (*run)(Platform&, PartitionList&, ChangeReport&);  // stages both, then writes
};

const WriterCase kWriters[] = {
    {"TypeInMbr", ChangeKind::TypeId, kMbr, {1, typeByte(kMbr, 0), "\x1C"}, "0", "1", kMbr,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       list.rows[kRowD][kTypeIdColumn] = "1B";
       list.rows[kRowF][kTypeIdColumn] = "1C";
       writeTypeIds(platform, list, report);
     }},
    {"ActiveFlag", ChangeKind::ActiveFlag, kMbr, {1, bootIndicator(kMbr, 0), "\x80"}, "0", "1", kMbr,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       list.rows[kRowD][kKindColumn] = kKindPrimaryActive;
       list.rows[kRowF][kKindColumn] = kKindPrimaryActive;
       writeActiveFlags(platform, list, report);
     }},
    {"BootSectorLabel", ChangeKind::BootSectorLabel, kBootD, {1, kBootF + 0x47, "SPARE2     "}, "D:", "F:", 0,
     [](Platform& platform, PartitionList& list, ChangeReport& report) {
       writeBootSectorLabel(platform, list, kRowD, "NEW", report);
       writeBootSectorLabel(platform, list, kRowF, "spare2", report);
     }},
};

struct FaultCase {
  const char* name;
  std::function<void(SimulatedDisk&, std::uint64_t)> plant;
  FailureReason reason;
  const char* read;   // what the journal says of the read and the write ("" for none)
  const char* write;
};

const FaultCase kFaults[] = {
    {"OpenFails", [](SimulatedDisk& disk, std::uint64_t) { disk.failOpen(); }, FailureReason::OpenFailed, "", ""},
    {"ReadFails", [](SimulatedDisk& disk, std::uint64_t at) { disk.failRead(at); },
     FailureReason::ReadFailed, "failed", ""},
    // Past the end of an image Wine's ReadFile "succeeds" with 0 bytes.
    {"ReadReturnsNothing", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortRead(at, 0); },
     FailureReason::ReadFailed, "0", ""},
    {"ReadIsShort", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortRead(at, 511); },
     FailureReason::ReadFailed, "511", ""},
    {"WriteFails", [](SimulatedDisk& disk, std::uint64_t at) { disk.failWrite(at); },
     FailureReason::WriteFailed, "512", "failed"},
    // Only the first 64 bytes, which hold nothing that changes, reach the disk.
    {"WriteIsShort", [](SimulatedDisk& disk, std::uint64_t at) { disk.shortWrite(at, 64); },
     FailureReason::WriteFailed, "512", "64"},
};

class WriteFaults : public EditingBench,
                    public ::testing::WithParamInterface<std::tuple<WriterCase, FaultCase>> {};

TEST_P(WriteFaults, ChangeNoByteAreRecordedAndDoNotStopTheNextChange) {
  const auto& [writer, fault] = GetParam();
  fault.plant(machine.disk(0), writer.sector);

  ChangeReport report;
  writer.run(platform, list, report);

  EXPECT_THAT(report.failures, ::testing::ElementsAre(IsFailure(kRowD, writer.kind, fault.reason)));
  const std::vector<std::string> faulty =
      fault.reason == FailureReason::OpenFailed
          ? std::vector<std::string>{std::string("open ") + writer.device0 + " readwrite failed"}
          : deviceCycle(writer.device0, writer.at, fault.read, fault.write);
  EXPECT_EQ(journal(), concat({faulty, deviceCycle(writer.device1, writer.at)}));
  expectOnly({writer.disk1});
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
