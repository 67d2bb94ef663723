#!/usr/bin/env bash
# Disk layouts as the real Quenbolt.exe sees them under Wine: several disks, disks that cannot be
# opened, long and looping EBR chains, a link in slot 0, hidden FAT32 labels, offsets above 4 GiB
# and tables that lie past the end of an image. Each case checks the "/LIST" rows and the exact
# bytes a command then changes.
# Usage: batch_layouts.sh <path to Quenbolt.exe>

. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@"

type_byte() { echo $(($1 * 512 + 450 + 16 * ${2:-0})); }   # table sector, slot
boot_byte() { echo $(($1 * 512 + 446 + 16 * ${2:-0})); }

list_and_check() {  # rows on standard input
  run_qb /LIST
  expect_status 0
  expect_rows
  expect_unchanged
}

# ---------------------------------------------------------------------------------------------

# Two disks, the second on USB: numbering starts again on each disk, a FAT32 partition that is not
# hidden shows no label without a drive letter, and once made hidden it shows its boot label.
case_two_disks() {
  local d0 d1
  d0=$(new_image d0 64M)
  partition "$d0" <<'EOF'
start=2048, size=8192, type=7, bootable
start=10240, size=8192, type=83
EOF
  d1=$(new_image d1 64M)
  partition "$d1" <<<'start=2048, size=79872, type=c'
  format_fat32 "$d1" 2048 79872 USBDATA
  attach "$d0" "usb:$d1"
  snapshot
  list_and_check <<'EOF'
||1|1|07|NTFS|主，活动|4||
||1|2|83|Linux|主|4||
||2|1|0C|FAT32 LBA|主|39||
EOF
  run_qb /M 2 1 1c
  expect_status 0
  expect_changes "$d0"
  expect_changes "$d1" "$(type_byte 0 0) 0c 1c"
  run_qb /LIST
  expect_rows <<'EOF'
||1|1|07|NTFS|主，活动|4||
||1|2|83|Linux|主|4||
|USBDATA|2|1|1C|隐藏 FAT32 LBA|主|39||
EOF
}
e2e_case two_disks_one_usb case_two_disks

# No disk in the registry: a header and no rows, and nothing to name.
case_no_disks() {
  attach
  run_qb /LIST
  expect_status 0
  [ "$(wc -l <"$CASE_DIR/stdout.txt")" = 1 ] || { fail "expected the header line alone"; show_output; }
  run_qb /M 1 1 07
  expect_status 3
  run_qb /F 07 0C
  expect_status 0
}
e2e_case no_disks case_no_disks

# A disk the registry lists but that has no link (on Windows: any disk, for a program not run as
# administrator) beside a readable one: the readable disk's rows, one line naming the other and
# why, status 4; naming a partition on it is status 4 too, and nothing is written. A blank disk
# (a first sector of zeros) is no failure: it only has no rows.
case_unreadable_disk() {
  local good blank
  good=$(new_image good 8M)
  partition "$good" <<<'start=2048, size=8192, type=83'
  blank=$(new_image blank 8M)
  attach "$good" -
  snapshot
  run_qb /LIST
  expect_status 4
  expect_rows <<<'||1|1|83|Linux|主|4||'
  expect_stderr_lines '磁盘 2 无法读取（设备不存在）'
  run_qb /M 2 1 07
  expect_status 4
  expect_stderr_lines '磁盘 2 无法读取（设备不存在）'
  expect_unchanged
  attach "$blank" "$good"
  snapshot
  run_qb /LIST
  expect_status 0
  expect_rows <<<'||2|1|83|Linux|主|4||'
  expect_stderr_empty
  expect_unchanged
}
e2e_case unreadable_disk_beside_readable case_unreadable_disk

# Count 4: disk 1 not there, disk 2 a dangling link, disk 3 an MBR whose first boot indicator is
# 0x01 (no rows at all, and no failure), disk 4 sound. Disk 4 keeps its number.
case_missing_disks() {
  local bad good
  bad=$(new_image bad 8M)
  partition "$bad" <<'EOF'
start=2048, size=4096, type=7
start=6144, size=4096, type=7
EOF
  put_bytes "$bad" 446 01
  good=$(new_image good 8M)
  partition "$good" <<<'start=2048, size=8192, type=83'
  attach - dangling "$bad" "$good"
  snapshot
  run_qb /LIST
  expect_status 4
  expect_rows <<<'||4|1|83|Linux|主|4||'
  # Without a link Wine still opens physicaldrive0, as a device of its own whose reads fail with
  # error 66; physicaldrive1 leads nowhere.
  expect_stderr_lines '磁盘 1 无法读取（读取第一个扇区失败，系统错误 66）' \
    '磁盘 2 无法读取（设备不存在）'
  run_qb /M 4 1 82
  expect_status 0
  expect_stderr_lines "$(not_reread 4)"
  expect_changes "$good" "$(type_byte 0 0) 83 82"
  expect_changes "$bad"
  run_qb /M 1 1 07
  expect_status 4
  run_qb /M 3 1 07
  expect_status 3
  expect_changes "$bad"
}
e2e_case missing_and_invalid_disks case_missing_disks

# A chain of 300 EBRs, far longer than any real disk holds (sfdisk stops at 60 partitions, so it
# is written here directly): every EBR is listed and the last can still be named.
case_long_chain() {
  local d k ebr base=8192 n=300 rows
  d=$(new_image d0 1G)
  put_signature "$d" 0
  put_entry "$d" 0 0 00 07 2048 4096
  put_entry "$d" 0 1 00 0f $base $((n * 4096))
  rows="||1|1|07|NTFS|主|2||
||1||0F|扩展 LBA|扩展|$((n * 2))||"
  for k in $(seq 1 $n); do
    ebr=$((base + (k - 1) * 4096))
    put_ebr "$d" $ebr 83 2048 2048 $((k < n ? k * 4096 : 0))
    rows+=$'\n'"||1|$((k + 1))|83|Linux|逻辑|1||"
  done
  attach "$d"
  snapshot
  list_and_check <<<"$rows"
  run_qb /M 1 $((n + 1)) 82
  expect_status 0
  run_qb /M 1 2 8e
  expect_status 0
  expect_changes "$d" "$(type_byte $((base + (n - 1) * 4096))) 83 82" "$(type_byte $base) 83 8e"
}
e2e_case chain_of_300_ebrs case_long_chain

# The second EBR of a chain of three holds a link in slot 0 to the third: the walk follows it at
# once, so the second EBR's own partition is not listed and its link entry is never written.
case_slot0_link() {
  local d base=8192
  d=$(new_image d0 64M)
  partition "$d" <<EOF
1 : start=2048, size=4096, type=7
2 : start=$base, size=30000, type=5
start=$((base + 2048)), size=2048, type=7
start=$((base + 6144)), size=2048, type=b
start=$((base + 10240)), size=2048, type=83
EOF
  local ebr2=$((base + 4096)) ebr3=$((base + 8192))
  [ "$(byte_at "$d" "$(type_byte $ebr3)")" = 83 ]
  # Entry 0 of the second EBR becomes a link (type 05, start counted from the container).
  put_entry "$d" $ebr2 0 00 05 $((ebr3 - base)) 4096
  attach "$d"
  snapshot
  list_and_check <<'EOF'
||1|1|07|NTFS|主|2||
||1||05|扩展|扩展|15||
||1|2|07|NTFS|逻辑|1||
||1|3|83|Linux|逻辑|1||
EOF
  run_qb /M 1 3 0C
  expect_status 0
  run_qb /F 05 0F      # the MBR container only: the slot-0 link is no row
  expect_status 0
  expect_changes "$d" "$(type_byte $ebr3) 83 0c" "$(type_byte 0 1) 05 0f"
}
e2e_case slot0_link case_slot0_link

# Hidden FAT32 partitions show the label of their boot sector, Chinese labels as UTF-8; a visible
# FAT32 partition and a hidden one without a FAT32 boot sector show none.
case_hidden_labels() {
  local d
  d=$(new_image d0 256M)
  partition "$d" <<'EOF'
1 : start=2048, size=70000, type=1c
2 : start=73728, size=150000, type=5
3 : start=225280, size=70000, type=b
4 : start=296960, size=70000, type=bc
start=75776, size=70000, type=1b
start=149504, size=70000, type=1b
EOF
  format_fat32 "$d" 2048 70000 PLACEHOLDR
  put_boot_label "$d" 2048 "数据盘"
  format_fat32 "$d" 75776 70000 LOGICAL
  format_fat32 "$d" 225280 70000 VISIBLE
  format_fat32 "$d" 296960 70000 ACRONIS
  attach "$d"
  snapshot
  list_and_check <<'EOF'
|数据盘|1|1|1C|隐藏 FAT32 LBA|主|34||
||1||05|扩展|扩展|73||
|LOGICAL|1|2|1B|隐藏 FAT32|逻辑|34||
||1|3|1B|隐藏 FAT32|逻辑|34||
||1|4|0B|FAT32|主|34||
|ACRONIS|1|5|BC|Acronis 安全分区|主|34||
EOF
}
e2e_case hidden_fat32_labels case_hidden_labels

# Tables and boot sectors above 4 GiB in a sparse image: an EBR at 0xFFFFFE00 whose partition
# starts 63 sectors later (the offset carries into the high half) and a primary at 8 GiB.
case_above_4gib() {
  local d base=1048576 ebr2=8388607 ebr3=8470000 high=16777216
  d=$(new_image d0 9G)
  put_signature "$d" 0
  put_entry "$d" 0 0 00 07 2048 4096
  put_entry "$d" 0 1 00 0f $base $((8600000 - base))
  put_entry "$d" 0 2 00 1c $high 70000
  put_signature "$d" $base
  put_entry "$d" $base 0 00 07 2048 4096
  put_entry "$d" $base 1 00 05 $((ebr2 - base)) 100000
  put_signature "$d" $ebr2
  put_entry "$d" $ebr2 0 00 1b 63 70000
  put_entry "$d" $ebr2 1 00 05 $((ebr3 - base)) 10000
  put_signature "$d" $ebr3
  put_entry "$d" $ebr3 0 00 07 2048 4096
  format_fat32 "$d" $((ebr2 + 63)) 70000 CARRY
  format_fat32 "$d" $high 70000 HIGH
  attach "$d"
  snapshot
  list_and_check <<'EOF'
||1|1|07|NTFS|主|2||
||1||0F|扩展 LBA|扩展|3687||
||1|2|07|NTFS|逻辑|2||
|CARRY|1|3|1B|隐藏 FAT32|逻辑|34||
||1|4|07|NTFS|逻辑|2||
|HIGH|1|5|1C|隐藏 FAT32 LBA|主|34||
EOF
  run_qb /M 1 3 0b
  expect_status 0
  run_qb /M 1 4 0C
  expect_status 0
  run_qb /A 1 2 1      # system number 2: the primary at 8 GiB
  expect_status 0
  expect_changes "$d" "$(type_byte $ebr2) 1b 0b" "$(type_byte $ebr3) 07 0c" "$(boot_byte 0 2) 00 80"
}
e2e_case offsets_above_4gib case_above_4gib

# Chains that loop: the third EBR links back to the second; on a second disk an EBR links to
# itself. Each EBR is listed once and the program ends.
case_ebr_loop() {
  local d0 d1 base=8192
  d0=$(new_image d0 32M)
  put_signature "$d0" 0
  put_entry "$d0" 0 0 00 07 2048 4096
  put_entry "$d0" 0 1 00 0f $base 40000
  put_signature "$d0" $base
  put_entry "$d0" $base 0 00 07 2048 2048
  put_entry "$d0" $base 1 00 05 4096 8192
  put_signature "$d0" $((base + 4096))
  put_entry "$d0" $((base + 4096)) 0 00 0b 2048 2048
  put_entry "$d0" $((base + 4096)) 1 00 05 8192 8192
  put_signature "$d0" $((base + 8192))
  put_entry "$d0" $((base + 8192)) 0 00 83 2048 2048
  put_entry "$d0" $((base + 8192)) 1 00 05 4096 8192
  d1=$(new_image d1 32M)
  put_signature "$d1" 0
  put_entry "$d1" 0 0 00 05 $base 40000
  put_signature "$d1" $base
  put_entry "$d1" $base 0 00 07 2048 2048
  put_entry "$d1" $base 1 00 05 4096 8192
  put_signature "$d1" $((base + 4096))
  put_entry "$d1" $((base + 4096)) 0 00 0b 2048 2048
  put_entry "$d1" $((base + 4096)) 1 00 05 4096 8192
  attach "$d0" "$d1"
  snapshot
  list_and_check <<'EOF'
||1|1|07|NTFS|主|2||
||1||0F|扩展 LBA|扩展|20||
||1|2|07|NTFS|逻辑|1||
||1|3|0B|FAT32|逻辑|1||
||1|4|83|Linux|逻辑|1||
||2||05|扩展|扩展|20||
||2|1|07|NTFS|逻辑|1||
||2|2|0B|FAT32|逻辑|1||
EOF
  run_qb /M 1 4 82
  expect_status 0
  run_qb /M 2 2 0c
  expect_status 0
  expect_changes "$d0" "$(type_byte $((base + 8192))) 83 82"
  expect_changes "$d1" "$(type_byte $((base + 4096))) 0b 0c"
}
e2e_case ebr_loops case_ebr_loop

# Past the end of the image: a chain link, a container's first EBR and a hidden FAT32 boot
# sector. Those reads come back short and count as failed: no rows from them, no label, and
# nothing is ever written there.
case_short_reads() {
  local d base=8192
  d=$(new_image d0 32M)          # 65536 sectors
  put_signature "$d" 0
  put_entry "$d" 0 0 00 07 2048 4096
  put_entry "$d" 0 1 00 0f $base 100000
  put_entry "$d" 0 2 00 1b 300000 70000
  put_entry "$d" 0 3 00 05 400000 1000
  put_signature "$d" $base
  put_entry "$d" $base 0 00 0b 2048 2048
  put_entry "$d" $base 1 00 05 200000 1000
  attach "$d"
  snapshot
  list_and_check <<'EOF'
||1|1|07|NTFS|主|2||
||1||0F|扩展 LBA|扩展|49||
||1|2|0B|FAT32|逻辑|1||
||1|3|1B|隐藏 FAT32|主|34||
||1||05|扩展|扩展|0||
EOF
  run_qb /M 1 3 1c       # its table is the MBR, which is there
  expect_status 0
  run_qb /L 1 3 NEW      # no letter, and its boot sector is not there either
  expect_status 1
  expect_changes "$d" "$(type_byte 0 2) 1b 1c"
}
e2e_case reads_past_end_of_image case_short_reads

e2e_finish
