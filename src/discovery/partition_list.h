#pragma once
// The partition list and the per-row stores kept beside it: the one shared store of the program.
// Each scan rebuilds all of it; afterwards only the rows' cells change.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/unreadable_disks.h"
#include "model/gpt_table.h"

namespace quenbolt {

// Column positions of a PartitionRow, in list order.
enum Column : std::size_t {
  kDriveLetterColumn = 0,  // "盘符"
  kLabelColumn,            // "卷标"
  kDiskColumn,             // "磁盘"
  kPartitionColumn,        // "分区"
  kTypeIdColumn,           // "分区标记"
  kFormatNameColumn,       // "分区格式"
  kKindColumn,             // "分区类型"
  kCapacityColumn,         // "容量（M）"
  kFreeSpaceColumn,        // "剩余空间（M）"
  kDiskTypeColumn,         // "磁盘类型"
  kColumnCount
};

// The column headers, in column order.
const std::array<std::string, kColumnCount>& columnHeaders();

// Kind texts of the "分区类型" column.
extern const char* const kKindPrimary;        // "主"
extern const char* const kKindPrimaryActive;  // "主，活动"
extern const char* const kKindExtended;       // "扩展"
extern const char* const kKindLogical;        // "逻辑"
extern const char* const kKindActiveSuffix;   // "，活动"
extern const char* const kKindGpt;            // "GPT"
extern const char* const kKindHiddenSuffix;   // "，隐藏"

// The kind column of a GPT row with `attributes`: "GPT", with "，隐藏" when bit 62 is set.
std::string gptKindText(std::uint64_t attributes);

struct PartitionRow {
  std::array<std::string, kColumnCount> cells;
  int imageIndex = -1;  // 0 once the row has a drive letter

  std::string& operator[](Column column) { return cells[column]; }
  const std::string& operator[](Column column) const { return cells[column]; }
};

// A primary partition (a used MBR entry that is no container).
struct PrimaryRecord {
  std::size_t row = 0;
  unsigned disk = 0;    // 0-based disk index
  unsigned number = 0;  // system partition number
  int flag = 0;         // 1 when the boot indicator was 0x80 at scan time
};

// A visited EBR.
struct LogicalRecord {
  std::size_t row = 0;
  unsigned disk = 0;
  unsigned number = 0;  // system partition number (primary count of the disk + visit count)
};

// A partition of a GUID partition table: its facts as scanned, which the GPT writer checks the
// disk against and takes the entry's place from, and what the row asks for. It has no
// PrimaryRecord and no MBR location (TableSectorOffset and TypeByteOffset are 0).
struct GptRecord {
  std::size_t row = 0;
  unsigned disk = 0;
  unsigned number = 0;      // system partition number: its place among the table's used entries
  std::uint32_t entry = 0;  // its index in the entry array
  Guid type{};              // as scanned
  std::uint64_t attributes = 0;
  GptCopy copy = GptCopy::Primary;  // the copy the scan could read
  GptHeader header;                 // that copy's header
  std::size_t sectorSize = kSectorSize;
  // What the row asks for; as scanned until an edit stages something else.
  Guid stagedType{};
  std::uint64_t stagedAttributes = 0;

  bool hidden() const { return (attributes >> kGptHiddenAttributeBit & 1) != 0; }
  bool staged() const { return stagedType != type || stagedAttributes != attributes; }
};

struct PartitionList {
  std::vector<PartitionRow> rows;
  // Beside each row, by row index:
  std::vector<std::uint64_t> TableSectorOffset;   // byte offset of the sector holding the entry
  std::vector<std::uint32_t> TypeByteOffset;      // position of the entry's type byte in it
  std::vector<std::string> BootSectorOffsetText;  // partition start as 12 hex digits
  std::vector<std::string> ScannedTypeId;         // type ID column as scanned
  std::vector<std::string> ScannedLabel;          // label column at the end of the scan
  std::vector<PrimaryRecord> PrimaryList;
  std::vector<LogicalRecord> LogicalList;
  std::vector<GptRecord> GptList;  // in row order
  // Beside the rows: the listed disks that gave none because they could not be read, ascending.
  std::vector<UnreadableDisk> unreadableDisks;
  // By row (missing entries are false): a command named this row's label. It is written then even
  // where the label column already shows it: the copy shown may be the only one that holds it (a
  // hidden FAT32 partition shows its boot sector's label, not the one the system keeps).
  std::vector<bool> LabelNamed;

  std::size_t size() const { return rows.size(); }
  void clear();
  // Puts `label` into the label column of `row` as a command names it.
  void nameLabel(std::size_t row, const std::string& label);
  // Whether the label of `row` is to be written: changed, or named by a command.
  bool labelStaged(std::size_t row) const;
  // The PrimaryRecord of `row`, or nullptr.
  const PrimaryRecord* primaryRecordOf(std::size_t row) const;
  // The GptRecord of `row`, or nullptr for a row of an MBR or EBR entry.
  const GptRecord* gptRecordOf(std::size_t row) const;
  GptRecord* gptRecordOf(std::size_t row);
  // Stages a new type for the GPT row of `record`: the record asks for it, and the type and
  // format columns show it as the list will once it is written.
  void stageGptType(GptRecord& record, const Guid& type);
  // Stages new attributes for the GPT row of `record`: the kind column shows "，隐藏" for bit 62.
  void stageGptAttributes(GptRecord& record, std::uint64_t attributes);
  // Whether `row` is a protective MBR entry (type EE as scanned): a GPT disk listed from its MBR
  // because neither copy of its table could be read.
  bool isProtectiveEntry(std::size_t row) const;
};

// The disk index (0-based) a row's "磁盘" cell names, or -1 when the cell is no disk number.
long diskIndexOfRow(const PartitionRow& row);

}  // namespace quenbolt
