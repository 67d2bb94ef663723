#pragma once
// The independent tools tests compare the program with (sfdisk, mkfs.fat, fsck.fat, fatlabel, xz),
// run through the shell. None runs on Windows: the tests that need one skip there, or without it.

#include "support/simulated_machine.h"

namespace quenbolt {
// Standard output and exit status of `command` run by sh, /usr/sbin and /sbin on its path; -1: no
// shell.
std::pair<std::string, int> runTool(const std::string& command);

// The layout Windows Setup makes, for a disk of 1 GiB: EFI system partition (100 MiB), Microsoft
// reserved (16 MiB), basic data (800 MiB, from sector 239616), recovery (100 MiB); 128 entries.
extern const char* const kWindowsGptScript;

// Partitions a sparse image of `bytes` from `script` (sfdisk's input) and lays what a GPT of 128
// entries holds (its first 34 and last 33 sectors) onto `machine` as disk `index`; false when
// sfdisk cannot.
bool sfdiskDisk(const std::string& script, std::uint64_t bytes, SimulatedMachine& machine,
                unsigned index);
}  // namespace quenbolt
