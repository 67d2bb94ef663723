#!/usr/bin/env bash
# Batch runs of the real program under Wine, each checked for the exact bytes it changed on every
# image, its status and what it said. The command words and statuses on two disks; then what only
# Wine's raw disks show: a disk number gap, a disk that cannot be read or written, tables and boot
# sectors above 4 GiB, reads past the end of an image. Under Wine no partition has a drive letter:
# "/L" and "/S" write only FAT32 labels, themselves. GPT disks and labels: judged_writes.sh.
# Usage: batch_commands.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"

# Disk 1  slot 0  07, active                           list number 1, system number 1
#         slot 1  0F: EBR 10240 logical 07, EBR 16384 logical 0B      2 and 3,      3 and 4
#         slot 3  1B                                                  4,            2
# Disk 2  slot 0  07
E1=10240   # sfdisk puts each EBR 2048 sectors before its partition
two_disks() {
  local d1 d2
  d1=$(new_image d1 128M)
  d2=$(new_image d2 64M)
  partition "$d1" <<<'1 : start=2048, size=8192, type=7, bootable
2 : start=10240, size=40960, type=f
4 : start=51200, size=79872, type=1b
5 : start=12288, size=4096, type=7
6 : start=18432, size=4096, type=b'
  partition "$d2" <<<'start=2048, size=20480, type=7'
  attach "$d1" "$d2"
}

# One run after another on the same disks, each checked against the bytes before it; the statuses
# with their line on standard error (4 in mbr_layouts).
case_commands() {
  two_disks
  # Two tables of disk 1 written, and still one line for it.
  expect 0 "1 T0:0 07 0c, 1 T$E1:0 07 0c, 2 T0:0 07 0c" /F 07 0C
  expect 0 "1 T0:3 1b 1c" /M 1 4 1C                   # the primary listed after the logicals
  # "/A" names a primary by its place among the primaries of the table; only its flag changes.
  expect 0 "1 B0:3 00 80" /A 1 2 1
  err='找不到主分区: 磁盘 1 主分区 4' expect 3 "" /A 1 4 1
  # No letter under Wine: no way to set a label but in a FAT32 boot sector (judged_writes.sh).
  err='磁盘 1 分区 2：卷标 未写入（分区没有盘符）' expect 1 "" /L 1 2 "my new label"
  err='扩展分区没有卷标: /S 0F' expect 2 "" /S 0f DATA
  err='无法识别的命令: M' expect 2 "" M 1 1 07
  err='参数个数不对: /M 需要 3 个参数' expect 2 "" /M 1 1
  err='参数个数不对: /? 不带参数' expect 2 "" "/?" x
  # Without a display the (hidden) window cannot be made, and nothing is done.
  DISPLAY='' err='无法创建主窗口，未做任何更改' expect 9 "" /M 1 1 0C
}
e2e_case commands case_commands

# 1  counted but not linked (Wine still opens physicaldrive0, as a device whose reads fail): the
#    disk is named, status 4, and disk 3 is listed and written all the same;
# 2  a dangling link: no disk with that number, as after a disk is removed, so no failure; the
#    disks after it keep their numbers;
# 3  sparse, above 4 GiB: an EBR at 0xFFFFFE00 whose partition starts 63 sectors later (the offset
#    carries into the high half), a hidden FAT32 primary at 8 GiB with a Chinese label (GBK on
#    disk, UTF-8 in the list); past the image's end, a chain link and a hidden FAT32 boot sector,
#    whose reads come back short and count as failed: no row, no label.
case_mbr_layouts() {
  local high
  high=$(new_image high 9G)
  put_entries "$high" <<'EOF'
0 0 07 2048 4096
0 1 0f 1048576 7551424
0 2 1c 16777216 70000
0 3 1b 20000000 70000
1048576 0 07 2048 4096
1048576 1 05 7340031 100000
8388607 0 1b 63 70000
8388607 1 05 7421424 10000
8470000 0 07 2048 4096
8470000 1 05 19000000 1000
EOF
  format_fat32 "$high" 8388670 70000 CARRY
  format_fat32 "$high" 16777216 70000 PLACEHOLDR
  printf '数据盘     ' | iconv -t GBK |
    dd of="$high" bs=1 seek=$((16777216 * 512 + 0x47)) conv=notrunc status=none
  attach - dangling "$high"
  local one='磁盘 1 无法读取（读取第一个扇区失败，系统错误 66）'
  err="$one" list 4 <<'EOF'
||3|1|07|NTFS|主|2||
||3||0F|扩展 LBA|扩展|3687||
||3|2|07|NTFS|逻辑|2||
|CARRY|3|3|1B|隐藏 FAT32|逻辑|34||
||3|4|07|NTFS|逻辑|2||
|数据盘|3|5|1C|隐藏 FAT32 LBA|主|34||
||3|6|1B|隐藏 FAT32|主|34||
EOF
  err=$one expect 4 "" /M 1 1 07
  err='找不到主分区: 磁盘 2 主分区 1' expect 3 "" /A 2 1 1
  expect 0 "3 T8388607:0 1b 0b" /M 3 3 0b
  expect 0 "3 T8470000:0 07 0c" /M 3 4 0C
  expect 0 "3 B0:2 00 80" /A 3 2 1                      # system number 2: the primary at 8 GiB
  expect 0 "3 T0:3 1b 1c" /M 3 6 1c                     # its table is the MBR, which is there
  err='磁盘 3 分区 6：卷标 未写入（读取扇区失败）' expect 1 "" /L 3 6 NEW   # not a zero sector
  err="$one" expect 4 "3 T8470000:0 0c 0b" /F 0C 0B
}
e2e_case mbr_layouts case_mbr_layouts

e2e_finish
