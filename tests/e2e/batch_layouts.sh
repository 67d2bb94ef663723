#!/usr/bin/env bash
# Disk layouts as the real program sees them under Wine, each case one machine of several disks:
# the "/LIST" rows, written out or, for GPT disks made by sfdisk, taken from `sfdisk -J`, and the
# exact bytes that commands then change on every disk. Type EE is never written (GPT writes:
# gpt_writes.sh).
# Usage: batch_layouts.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"

case_no_disks() {
  attach
  list </dev/null
  err='找不到分区: 磁盘 1 分区 1' expect 3 "" /M 1 1 07
  expect 0 "" /F 07 0C
}
e2e_case no_disks case_no_disks

# Disk 1 counted but not linked (Wine still opens physicaldrive0, as a device whose reads fail):
# it has no "no such partition", the disk is named, status 4. Disk 2 a dangling link: no disk
# with that number, as after a disk is removed, so no failure either; the disks after it keep
# their numbers. Disk 3's first boot indicator is 01 and disk 4 is blank: no rows, and no
# failure. "/F" still does its work on disk 5.
case_unreadable_disks() {
  local bad blank good
  bad=$(new_image bad 8M)
  blank=$(new_image blank 8M)
  good=$(new_image good 8M)
  put_entries "$bad" <<<$'0 0 07 2048 4096 01\n0 1 07 6144 4096'
  partition "$good" <<<'start=2048, size=8192, type=83'
  attach - dangling "$bad" "$blank" "$good"
  local one='磁盘 1 无法读取（读取第一个扇区失败，系统错误 66）'
  err="$one" list 4 <<<'||5|1|83|Linux|主|4||'
  expect 0 "5 T0:0 83 82" /M 5 1 82
  err=$one expect 4 "" /M 1 1 07
  err='找不到主分区: 磁盘 2 主分区 1' expect 3 "" /A 2 1 1
  err='找不到分区: 磁盘 3 分区 1' expect 3 "" /M 3 1 07
  err="$one" expect 4 "5 T0:0 82 83" /F 82 83
}
e2e_case unreadable_disks case_unreadable_disks

# 1  the second EBR of three holds a link in slot 0, to the third: the walk follows it at once,
#    so the second's own partition is not listed and no link is ever written;
# 2  hidden FAT32 partitions show the label of their boot sector, a Chinese one (GBK on disk) as
#    UTF-8; a visible FAT32 partition and a hidden one without a FAT32 boot sector show none;
# 3  sparse, above 4 GiB: an EBR at 0xFFFFFE00 whose partition starts 63 sectors later (the offset
#    carries into the high half), and a primary at 8 GiB;
# 4  the third EBR links back to the second; 5  an EBR links to itself: each listed once;
# 6  past the end of the image: a chain link, a container's first EBR and a hidden FAT32 boot
#    sector; those reads come back short and count as failed: no rows, no label;
# 7  300 EBRs, more than sfdisk makes: every one listed, the last one named;
# 8  on USB, FAT32: no label without a drive letter.
case_mbr_layouts() {
  local k d=() n=300
  d[1]=$(new_image link 64M)
  partition "${d[1]}" <<<$'1 : start=2048, size=4096, type=7\n2 : start=8192, size=30000, type=5
start=10240, size=2048, type=7\nstart=14336, size=2048, type=b\nstart=18432, size=2048, type=83'
  [ "$(byte_at "${d[1]}" $((16384 * 512 + 450)))" = 83 ]
  put_entries "${d[1]}" <<<'12288 0 05 8192 4096'
  d[2]=$(new_image labels 256M)
  partition "${d[2]}" <<<$'1 : start=2048, size=70000, type=1c\n2 : start=73728, size=150000, type=5
3 : start=225280, size=70000, type=b\n4 : start=296960, size=70000, type=bc
start=75776, size=70000, type=1b\nstart=149504, size=70000, type=1b'
  format_fat32 "${d[2]}" 2048 70000 PLACEHOLDR
  put_bytes "${d[2]}" $((2048 * 512 + 0x47)) "$(printf '数据盘     ' | iconv -t GBK | od -An -tx1 | tr -d ' \n')"
  format_fat32 "${d[2]}" 75776 70000 LOGICAL
  format_fat32 "${d[2]}" 225280 70000 VISIBLE
  format_fat32 "${d[2]}" 296960 70000 ACRONIS
  d[3]=$(new_image high 9G)
  put_entries "${d[3]}" <<'EOF'
0 0 07 2048 4096
0 1 0f 1048576 7551424
0 2 1c 16777216 70000
1048576 0 07 2048 4096
1048576 1 05 7340031 100000
8388607 0 1b 63 70000
8388607 1 05 7421424 10000
8470000 0 07 2048 4096
EOF
  format_fat32 "${d[3]}" 8388670 70000 CARRY
  format_fat32 "${d[3]}" 16777216 70000 HIGH
  d[4]=$(new_image loop 32M)
  put_entries "${d[4]}" <<<$'0 0 07 2048 4096\n0 1 0f 8192 40000\n8192 0 07 2048 2048\n8192 1 05 4096 8192
12288 0 0b 2048 2048\n12288 1 05 8192 8192\n16384 0 83 2048 2048\n16384 1 05 4096 8192'
  d[5]=$(new_image self 32M)
  put_entries "${d[5]}" <<<$'0 0 05 8192 40000\n8192 0 07 2048 2048\n8192 1 05 4096 8192
12288 0 0b 2048 2048\n12288 1 05 4096 8192'
  d[6]=$(new_image short 32M)
  put_entries "${d[6]}" <<<$'0 0 07 2048 4096\n0 1 0f 8192 100000\n0 2 1b 300000 70000\n0 3 05 400000 1000
8192 0 0b 2048 2048\n8192 1 05 200000 1000'
  d[7]=$(new_image chain 1G)
  for k in $(seq 1 $n); do
    echo "$((4096 * k + 4096)) 0 83 2048 2048"
    [ "$k" = "$n" ] || echo "$((4096 * k + 4096)) 1 05 $((k * 4096)) 2048"
  done | put_entries "${d[7]}"
  put_entries "${d[7]}" <<<$'0 0 07 2048 4096\n0 1 0f 8192 1228800'
  d[8]=$(new_image usb 64M)
  partition "${d[8]}" <<<'start=2048, size=79872, type=c'
  format_fat32 "${d[8]}" 2048 79872 USBDATA
  attach "${d[@]:1:7}" "usb:${d[8]}"
  { cat <<'EOF'
||1|1|07|NTFS|主|2||
||1||05|扩展|扩展|15||
||1|2|07|NTFS|逻辑|1||
||1|3|83|Linux|逻辑|1||
|数据盘|2|1|1C|隐藏 FAT32 LBA|主|34||
||2||05|扩展|扩展|73||
|LOGICAL|2|2|1B|隐藏 FAT32|逻辑|34||
||2|3|1B|隐藏 FAT32|逻辑|34||
||2|4|0B|FAT32|主|34||
|ACRONIS|2|5|BC|Acronis 安全分区|主|34||
||3|1|07|NTFS|主|2||
||3||0F|扩展 LBA|扩展|3687||
||3|2|07|NTFS|逻辑|2||
|CARRY|3|3|1B|隐藏 FAT32|逻辑|34||
||3|4|07|NTFS|逻辑|2||
|HIGH|3|5|1C|隐藏 FAT32 LBA|主|34||
||4|1|07|NTFS|主|2||
||4||0F|扩展 LBA|扩展|20||
||4|2|07|NTFS|逻辑|1||
||4|3|0B|FAT32|逻辑|1||
||4|4|83|Linux|逻辑|1||
||5||05|扩展|扩展|20||
||5|1|07|NTFS|逻辑|1||
||5|2|0B|FAT32|逻辑|1||
||6|1|07|NTFS|主|2||
||6||0F|扩展 LBA|扩展|49||
||6|2|0B|FAT32|逻辑|1||
||6|3|1B|隐藏 FAT32|主|34||
||6||05|扩展|扩展|0||
||7|1|07|NTFS|主|2||
||7||0F|扩展 LBA|扩展|600||
EOF
    for k in $(seq 2 $((n + 1))); do echo "||7|$k|83|Linux|逻辑|1||"; done
    echo '||8|1|0C|FAT32 LBA|主|39||'; } >rows.txt
  list <rows.txt
  expect 0 "1 T16384:0 83 0c" /M 1 3 0C
  expect 0 "3 T8388607:0 1b 0b" /M 3 3 0b
  expect 0 "3 T8470000:0 07 0c" /M 3 4 0C
  expect 0 "3 B0:2 00 80" /A 3 2 1                      # system number 2: the primary at 8 GiB
  expect 0 "4 T16384:0 83 82" /M 4 4 82
  expect 0 "5 T12288:0 0b 0c" /M 5 2 0c
  expect 0 "6 T0:2 1b 1c" /M 6 3 1c                     # its table is the MBR, which is there
  expect 1 "" /L 6 3 NEW
  expect 0 "7 T1232896:0 83 82" /M 7 301 82
  expect 0 "7 T8192:0 83 8e" /M 7 2 8e
  expect 0 "8 T0:0 0c 1c" /M 8 1 1c
  expect 0 "1 T0:1 05 0f, 2 T0:1 05 0f, 5 T0:0 05 0f, 6 T0:3 05 0f" /F 05 0F   # rows, no links
}
e2e_case mbr_layouts case_mbr_layouts

# GPT
# The rows of disk n as `sfdisk -J` describes the image, with the codes and names the list is to
# show; "k=label" gives row k a boot-sector label. MB: sectors / 2048, halves to even.
sfdisk_rows() {  # image disk [k=label]...
  sfdisk -J "$1" | python3 -c '
import json, sys
names = {"C12A7328-F81F-11D2-BA4B-00A0C93EC93B": "EF00|EFI 系统分区",
         "E3C9E316-0B5C-4DB8-817D-F92DF00215AE": "0C01|Microsoft 保留分区",
         "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7": "0700|基本数据",
         "DE94BBA4-06D1-4D40-A16A-BFD50179D6AC": "2700|Windows 恢复环境",
         "21686148-6449-6E6F-744E-656564454649": "EF02|BIOS 启动分区",
         "0FC63DAF-8483-4772-8E79-3D69D8477DE4": "8300|Linux 文件系统",
         "0657FD6D-A4AB-43C4-84E5-0933C84B4F4F": "8200|Linux 交换分区",
         "E6D6D379-F507-44C2-A23C-238F2A3DF928": "8E00|Linux LVM",
         "A19D880F-05FC-4D3B-A006-743F0F84911E": "FD00|Linux RAID"}
labels = dict(arg.split("=", 1) for arg in sys.argv[2:])
for n, p in enumerate(json.load(sys.stdin)["partitiontable"]["partitions"], 1):
    kind = "GPT，隐藏" if "GUID:62" in p.get("attrs", "") else "GPT"
    print("|".join(["", labels.get(str(n), ""), sys.argv[1], str(n), names.get(p["type"], p["type"] + "|"),
                    kind, str(round(p["size"] / 2048)), "", ""]))' "${@:2}"
}
spoil() { put_bytes "$1" "$2" "$(printf '%02x' $((0x$(byte_at "$1" "$2") ^ 0xff)))"; }  # a CRC fails

# 1  Windows' layout in 128 entries; 2  a Linux one, with a type no code names (shown whole);
# 3  used entries 3, 7 and 8, two of them hidden, one FAT32 with a label; 4  a hybrid MBR (EE
# beside an entry for the data partition), which shows the GPT; 5  the primary header, 6  the
# primary entry array damaged: the backup gives the same rows; 7  both headers damaged: one row
# of type EE from the MBR; 8  an MBR disk, the only one "/F 07 0C" may change.
case_gpt_disks() {
  local k args d=() win='size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B
size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE
size=800MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC'
  for k in 1 4 5 6 7; do d[k]=$(new_image "gpt$k" 1G); partition "${d[k]}" gpt <<<"$win"; done
  d[2]=$(new_image linux 2G)
  partition "${d[2]}" gpt <<'EOF'
size=1MiB, type=21686148-6449-6E6F-744E-656564454649
size=512MiB, type=0657FD6D-A4AB-43C4-84E5-0933C84B4F4F
size=700MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4
size=300MiB, type=E6D6D379-F507-44C2-A23C-238F2A3DF928
size=100MiB, type=A19D880F-05FC-4D3B-A006-743F0F84911E
size=3000, type=516E7CB6-6ECF-11D6-8FF8-00022D09712B
EOF
  d[3]=$(new_image gaps 512M)
  partition "${d[3]}" gpt <<'EOF'
3 : start=2048, size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
7 : start=133120, size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, attrs="GUID:62"
8 : start=264192, size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, attrs="GUID:62,GUID:63"
EOF
  format_fat32 "${d[3]}" 133120 131072 HIDDENDATA
  put_entries "${d[4]}" <<<'0 1 07 239616 1638400 80'
  d[8]=$(new_image mbr 16M)
  partition "${d[8]}" <<<'start=2048, size=8192, type=7'
  # shellcheck disable=SC2046  # no argument at all but on disk 3
  for k in 1 2 3 4 5 6; do sfdisk_rows "${d[k]}" $k $([ $k != 3 ] || echo 2=HIDDENDATA); done >rows.txt
  spoil "${d[5]}" $((512 + 0x40))                         # in the disk GUID
  spoil "${d[6]}" $((33 * 512 + 511))                     # in the last, unused entry
  spoil "${d[7]}" $((512 + 0x40))
  spoil "${d[7]}" $((1024 * 1024 * 1024 - 512 + 0x40))
  attach "${d[@]:1}"
  list < <(cat rows.txt; echo '||7|1|EE|GPT|主|1024||'; echo '||8|1|07|NTFS|主|4||')
  err='磁盘 1 分区 3 是 GPT 分区，GPT 分区应为四位类型代码（如 0700）或完整的 GUID: 07' expect 2 "" /M 1 3 07
  err='GPT 分区没有活动标记: 磁盘 1 分区 1' expect 2 "" /A 1 1 1
  err='分区标记 EE 是 GPT 保护分区的类型，不能写入或替换' expect 2 "" /F EE 07
  err='磁盘 7 分区 1 是 GPT 保护分区（EE），其分区标记不能修改' expect 2 "" /M 7 1 07
  err='GPT 保护分区（EE）没有活动标记: 磁盘 7 主分区 1' expect 2 "" /A 7 1 1
  for args in "/M 1 1 0C" "/A 1 3 0" "/F 07 EE" "/M 4 3 0C" "/A 4 3 1" "/M 2 6 83" "/M 8 1 ee"; do
    # shellcheck disable=SC2086  # args is a command line: one argument a word
    expect 2 "" $args
  done
  expect 0 "8 T0:0 07 0c" /F 07 0C                        # "0700" is no "07"
}
e2e_case gpt_disks case_gpt_disks

e2e_finish
