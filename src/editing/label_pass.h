#pragma once
// The label pass of a commit: every staged label, through the system where a file system keeps
// it, into the sectors themselves where none does.

#include "discovery/partition_list.h"
#include "editing/change_report.h"
#include "platform/platform.h"

namespace quenbolt {

// For every row whose label is staged (changed, or named by a command), in list order:
// - with a drive letter, SetVolumeLabelW with the text as staged. When the file system refuses
//   it, nothing else is written. When it takes it, a row of the FAT32 label group or a GPT row
//   then gets, in its FAT32 boot sector and the backup, exactly the bytes the file system stored
//   (read back, in the OEM code page), or nothing and a failure when they cannot be had exactly.
// - without a letter, or where no file system is mounted (Windows does not recognise the volume),
//   a FAT32 partition of such a row gets all three copies written by the program itself; any
//   other partition cannot get a label (NoDriveLetter, NoFileSystem).
// Text holding a character GBK cannot hold is never written (NotGbkText).
void writeLabels(Platform& platform, const PartitionList& list, ChangeReport& report);

}  // namespace quenbolt
