#!/usr/bin/env bash
# Every batch command word and exit status of the real program under Wine, run after run on two
# disks, each run checked for the exact bytes it changed on both images and for what it said.
# Under Wine no partition has a drive letter: "/L" and "/S" write only FAT32 labels, themselves.
# Usage: batch_commands.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"

# Disk 1  slot 0  07, active                           list number 1, system number 1
#         slot 1  0F: EBR 10240 logical 07, EBR 16384 logical 0B      2 and 3,      3 and 4
#         slot 3  1B, FAT32 labelled HIDDENFAT                        4,            2
# Disk 2  slot 0  07
E1=10240 E2=16384
two_disks() {
  local d1 d2
  d1=$(new_image d1 128M)
  d2=$(new_image d2 64M)
  partition "$d1" <<<'1 : start=2048, size=8192, type=7, bootable
2 : start=10240, size=40960, type=f
4 : start=51200, size=79872, type=1b
5 : start=12288, size=4096, type=7
6 : start=18432, size=4096, type=b'
  format_fat32 "$d1" 51200 79872 HIDDENFAT
  partition "$d2" <<<'start=2048, size=20480, type=7'
  # sfdisk puts each EBR 2048 sectors before its partition; E1 and E2 rely on it.
  [ "$(byte_at "$d1" $((E1 * 512 + 450)))$(byte_at "$d1" $((E2 * 512 + 450)))" = 070b ]
  attach "$d1" "$d2"
}

# One run after another on the same disks, each checked against the bytes before it.
case_commands() {
  two_disks
  list 0 /list <<<'||1|1|07|NTFS|主，活动|4||
||1||0F|扩展 LBA|扩展|20||
||1|2|07|NTFS|逻辑|2||
||1|3|0B|FAT32|逻辑|2||
|HIDDENFAT|1|4|1B|隐藏 FAT32|主|39||
||2|1|07|NTFS|主|10||'
  expect 0 "1 T0:0 07 0c" /M 1 1 0C
  expect 0 "1 T$E1:0 07 0c" /m 1 2 0c                 # any case; the list's number
  expect 0 "1 T0:3 1b 1c" /M 1 4 1C                   # the primary listed after the logicals
  expect 0 "1 T$E2:0 0b 07" /M 1 3 7                  # one digit will do
  expect 0 "1 T$E2:0 07 0c, 2 T0:0 07 0c" /F 07 0c    # every disk, logical partitions too
  # Three tables of disk 1 written, and still one line for it.
  expect 0 "1 T0:0 0c 07, 1 T$E1:0 0c 07, 1 T$E2:0 0c 07, 2 T0:0 0c 07" /F 0C 07
  expect 0 "" /F 7 0C                                 # the list's text is "07": no match
  expect 0 "1 T0:1 0f 05" /f 0f 05                    # containers too
  list <<<'||1|1|07|NTFS|主，活动|4||
||1||05|扩展|扩展|20||
||1|2|07|NTFS|逻辑|2||
||1|3|07|NTFS|逻辑|2||
|HIDDENFAT|1|4|1C|隐藏 FAT32 LBA|主|39||
||2|1|07|NTFS|主|10||'
  # "/A" names a primary by its place among the primaries of the table; only its flag changes.
  expect 0 "1 B0:3 00 80" /A 1 2 1
  expect 0 "1 B0:0 80 00" /A 1 1 0
  expect 0 "1 B0:0 00 80" /a 01 1 1                   # the disk is read as a number
  expect 0 "" /A 1 1 1                                # already so: nothing written or said
  expect 0 "1 B0:3 80 00" /A 1 2 yes                  # anything but "1" clears
  err='找不到主分区: 磁盘 1 主分区 4' expect 3 "" /A 1 4 1
  expect 3 "" /A 1 3 1                                # a logical partition's number
  expect 3 "" /A 3 1 1
  # No letter, no FAT32: no way to set a label (FAT32 labels: fat32_labels.sh).
  err='磁盘 1 分区 2：卷标 未写入（分区没有盘符）' expect 1 "" /L 1 2 "my new label"
  expect 0 "" /L 1 4 HIDDENFAT                        # the label all its copies hold: nothing to do
  err='找不到分区: 磁盘 1 分区 0' expect 3 "" /L 1 0 x
  err='磁盘 1 分区 4：卷标 未写入（卷标含有 FAT 不允许的字符）' expect 1 "" /S 1c a.b
  expect 0 "" /S 0C data                              # no partition of the type
  err='扩展分区没有卷标: /S 0F' expect 2 "" /S 0f DATA
  expect 2 "" /S 05 DATA
  err='分区标记无效: 007（MBR 分区应为一到两位十六进制数字，GPT 分区应为四位类型代码（如 0700）或完整的 GUID）' \
    expect 2 "" /M 1 1 007
  for args in "/M 1 1 G7" "/F 07 XYZ" "/F G 07" "/M 1 1 07 x" "/Q" "/M" "/F 07" "/LIST x"; do
    # shellcheck disable=SC2086  # args is a command line: one argument a word
    expect 2 "" $args
  done
  err='无法识别的命令: M' expect 2 "" M 1 1 07
  err='参数个数不对: /M 需要 3 个参数' expect 2 "" /M 1 1
  err='参数个数不对: /? 不带参数' expect 2 "" "/?" x
  err='找不到分区: 磁盘 1 分区 5' expect 3 "" /M 1 5 07
  expect 3 "" /M 01 1 07                              # compared as text: "01" is no disk
  expect 3 "" /M 1 01 07
  expect 3 "" /M 3 1 07
  # Without a display the (hidden) window cannot be made, and nothing is done.
  DISPLAY='' err='无法创建主窗口，未做任何更改' expect 9 "" /M 1 1 0C
}
e2e_case commands case_commands

# Disk 1 cannot be written: each failure is a line, status 1, and disk 2 is written all the same.
case_write_fails() {
  two_disks
  chmod a-w "${IMAGES[1]}"
  [ "$(id -u)" != 0 ] || chattr +i "${IMAGES[1]}" 2>/dev/null || { echo "no chattr +i here"; exit 77; }
  (: >>"${IMAGES[1]}") 2>/dev/null && { echo "cannot make an image unwritable here"; exit 77; }
  local line='磁盘 1 分区 %s：分区标记 "0C" 未写入（打开磁盘失败）'
  # shellcheck disable=SC2059  # line is the format: %s takes the partition
  err=$(printf "$line" 1) expect 1 "" /M 1 1 0C
  # shellcheck disable=SC2059  # line is the format, once for each partition
  err=$(printf "$line\n" 1 2) expect 1 "2 T0:0 07 0c" /F 07 0C
}
e2e_case write_fails case_write_fails

e2e_finish
