#!/usr/bin/env bash
# GPT disks as the real program sees them under Wine: images partitioned by sfdisk, whose "/LIST"
# rows must agree with `sfdisk -J` of the same image (number, type code, kind, capacity, in
# order); damaged copies of the table; a hybrid MBR; and every command that would write a GPT
# entry or type EE, which must end with status 2, one line on standard error and the image
# byte-identical.
# Usage: gpt_disks.sh <path to Quenbolt.exe>

. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"
command -v python3 >/dev/null 2>&1 || e2e_skip_script "python3 is not installed"

# Writes a GPT with sfdisk from its script on standard input (128 entries unless it says).
partition_gpt() {  # image
  { echo 'label: gpt'; echo 'label-id: 51424C54-0000-4000-8000-000000000001'; cat; } |
    sfdisk -q --no-reread --no-tell-kernel "$1" >/dev/null
}

WINDOWS_LAYOUT='size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B
size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE
size=800MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7
size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC'

# The "/LIST" rows of disk <number> as `sfdisk -J` describes the image, with the type codes and
# names the program is to show; "<n>=<label>" arguments give row n its boot-sector label.
# Capacity: sectors / 2048, halves to even. Letter, free space and disk type stay empty under Wine.
sfdisk_rows() {  # image disk-number [n=label]...
  sfdisk -J "$1" | python3 -c '
import json, sys
codes = {
    "C12A7328-F81F-11D2-BA4B-00A0C93EC93B": ("EF00", "EFI 系统分区"),
    "E3C9E316-0B5C-4DB8-817D-F92DF00215AE": ("0C01", "Microsoft 保留分区"),
    "EBD0A0A2-B9E5-4433-87C0-68B4B72699C7": ("0700", "基本数据"),
    "DE94BBA4-06D1-4D40-A16A-BFD50179D6AC": ("2700", "Windows 恢复环境"),
    "21686148-6449-6E6F-744E-656564454649": ("EF02", "BIOS 启动分区"),
    "0FC63DAF-8483-4772-8E79-3D69D8477DE4": ("8300", "Linux 文件系统"),
    "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F": ("8200", "Linux 交换分区"),
    "E6D6D379-F507-44C2-A23C-238F2A3DF928": ("8E00", "Linux LVM"),
    "A19D880F-05FC-4D3B-A006-743F0F84911E": ("FD00", "Linux RAID"),
}
disk = sys.argv[1]
labels = dict(arg.split("=", 1) for arg in sys.argv[2:])
for n, p in enumerate(json.load(sys.stdin)["partitiontable"]["partitions"], 1):
    code, name = codes.get(p["type"], (p["type"], ""))
    kind = "GPT，隐藏" if "GUID:62" in p.get("attrs", "") else "GPT"
    mb, rest = divmod(p["size"], 2048)
    if 2 * rest > 2048 or (2 * rest == 2048 and mb % 2):
        mb += 1
    print("|".join(["", labels.get(str(n), ""), disk, str(n), code, name, kind, str(mb), "", ""]))
' "${@:2}"
}

list_and_check() {  # rows on standard input
  run_qb /LIST
  expect_status 0
  expect_rows
  expect_unchanged
}

# A command that must be refused: status 2, one line on standard error, no byte changed.
expect_refused() {  # command...
  run_qb "$@"
  expect_status 2
  [ "$(wc -l <"$CASE_DIR/stderr.txt")" = 1 ] || { fail "$*: expected one line on standard error"; show_output; }
  expect_unchanged
}

# Flips one byte, so that the CRC over it no longer matches.
spoil() {  # image offset
  put_bytes "$1" "$2" "$(printf '%02x' $((0x$(byte_at "$1" "$2") ^ 0xff)))"
}

# ---------------------------------------------------------------------------------------------

# The layout Windows Setup makes, in 128 entries; nothing may write its table or its EE entry.
case_windows() {
  local d
  d=$(new_image d0 1G)
  partition_gpt "$d" <<<"$WINDOWS_LAYOUT"
  attach "$d"
  snapshot
  list_and_check < <(sfdisk_rows "$d" 1)
  expect_refused /M 1 3 07
  expect_refused /M 1 1 0C
  expect_refused /A 1 1 1
  expect_refused /A 1 3 0
  expect_refused /F EE 07
  expect_refused /F 07 EE
  run_qb /F 07 0C     # "0700" is no "07": nothing matches
  expect_status 0
  expect_unchanged
}
e2e_case windows_layout case_windows

# A Linux layout, with a type no code names (shown as its GUID), on a 2 GiB disk.
case_linux() {
  local d
  d=$(new_image d0 2G)
  partition_gpt "$d" <<'LAYOUT'
size=1MiB, type=21686148-6449-6E6F-744E-656564454649
size=512MiB, type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F
size=700MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4
size=300MiB, type=E6D6D379-F507-44C2-A23C-238F2A3DF928
size=100MiB, type=A19D880F-05FC-4D3B-A006-743F0F84911E
size=3000, type=516E7CB6-6ECF-11D6-8FF8-00022D09712B
LAYOUT
  attach "$d"
  snapshot
  list_and_check < <(sfdisk_rows "$d" 1)
}
e2e_case linux_layout case_linux

# Used entries 3, 7 and 8 of 128, two of them hidden; the hidden FAT32 one shows the label of its
# boot sector, the hidden one without FAT32 shows none. Numbers count used entries only.
case_hidden_and_gaps() {
  local d start
  d=$(new_image d0 512M)
  partition_gpt "$d" <<'LAYOUT'
3 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7
7 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs="GUID:62"
8 : size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7, attrs="GUID:62,GUID:63"
LAYOUT
  start=$(sfdisk -J "$d" | python3 -c 'import json, sys; print(json.load(sys.stdin)["partitiontable"]["partitions"][1]["start"])')
  format_fat32 "$d" "$start" 131072 HIDDENDATA
  attach "$d"
  snapshot
  list_and_check < <(sfdisk_rows "$d" 1 2=HIDDENDATA)
}
e2e_case hidden_entries_and_gaps case_hidden_and_gaps

# A damaged primary header or primary array: the backup copy gives the same rows.
case_damaged_primary() {
  local d
  d=$(new_image d0 1G)
  partition_gpt "$d" <<<"$WINDOWS_LAYOUT"
  sfdisk_rows "$d" 1 >rows.txt
  spoil "$d" $((512 + 0x40))              # in the disk GUID: the header CRC fails
  attach "$d"
  snapshot
  list_and_check <rows.txt
  partition_gpt "$d" <<<"$WINDOWS_LAYOUT"
  spoil "$d" $((33 * 512 + 511))          # in the last, unused entry: the array CRC fails
  snapshot
  list_and_check <rows.txt
}
e2e_case damaged_primary_copy case_damaged_primary

# Both headers damaged: the disk is shown from its MBR, one row of type EE, which no command may
# change; the MBR disk beside it is changed by /F as ever.
case_both_copies_damaged() {
  local d m
  d=$(new_image d0 1G)
  partition_gpt "$d" <<<"$WINDOWS_LAYOUT"
  spoil "$d" $((512 + 0x40))
  spoil "$d" $((1024 * 1024 * 1024 - 512 + 0x40))
  m=$(new_image m1 16M)
  partition "$m" <<<'start=2048, size=8192, type=7'
  attach "$d" "$m"
  snapshot
  list_and_check <<'ROWS'
||1|1|EE|GPT|主|1024||
||2|1|07|NTFS|主|4||
ROWS
  expect_refused /M 1 1 07
  expect_refused /M 2 1 ee
  expect_refused /F EE 07
  run_qb /F 07 0C
  expect_status 0
  expect_changes "$d"
  expect_changes "$m" "450 07 0c"
}
e2e_case both_copies_damaged case_both_copies_damaged

# A hybrid MBR (EE beside an entry mapping the basic data partition): the GPT is shown.
case_hybrid() {
  local d
  d=$(new_image d0 1G)
  partition_gpt "$d" <<<"$WINDOWS_LAYOUT"
  put_entry "$d" 0 1 80 07 239616 1638400
  attach "$d"
  snapshot
  list_and_check < <(sfdisk_rows "$d" 1)
  expect_refused /M 1 3 0C
  expect_refused /A 1 3 1
}
e2e_case hybrid_mbr case_hybrid

e2e_finish
