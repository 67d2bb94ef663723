#!/usr/bin/env bash
# GPT types and attributes written by the real program under Wine, on tables sfdisk made, judged by
# tools no one here wrote: sgdisk -v must find no problem, sfdisk --verify no error, sfdisk -J must
# show the new type or attributes, and the image may differ from before only in the entry's bytes
# of both arrays and the four CRC fields. Tables whose copies are not one table are refused.
# Usage: gpt_writes.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@" sgdisk

readonly WINDOWS='size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B
size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE
size=700MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC'
readonly BASIC=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 RECOVERY=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC
readonly LINUX=0FC63DAF-8483-4772-8E79-3D69D8477DE4

# A run that must end 0 and change only entries $4... of image $3, with the one re-read line.
written() {  # disk-number command-line image entry...
  local args
  read -r -a args <<<"$2"
  run_qb "${args[@]}"
  [ "$QB_STATUS" = 0 ] || { fail "$2: status $QB_STATUS"; show_output; }
  [ "$(tr -d '\r' <"$CASE_DIR/stderr.txt")" = "磁盘 $1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效" ] ||
    { fail "$2: standard error"; show_output; }
  local wrong
  wrong=$(gpt_judged "$3" "${@:4}")
  [ -z "$wrong" ] || fail "$2: $wrong"
}

# Disk 1, Windows' layout in 128 entries; disk 2, one basic data partition in entry 5 after empty
# entries; disk 3, Windows' layout under a hybrid MBR (an MBR entry for the data partition beside
# EE); disk 4, an MBR disk.
case_writes() {
  local d=()
  d[1]=$(new_image windows 1G)
  partition "${d[1]}" gpt <<<"$WINDOWS"
  d[2]=$(new_image entry5 256M)
  partition "${d[2]}" gpt <<<"5 : start=2048, size=100MiB, type=$BASIC"
  d[3]=$(new_image hybrid 1G)
  partition "${d[3]}" gpt <<<"$WINDOWS"
  sgdisk -h 3 "${d[3]}" >/dev/null
  d[4]=$(new_image mbr 16M)
  partition "${d[4]}" <<<'start=2048, size=8192, type=7'
  attach "${d[@]:1}"
  cp "${d[3]}" "$CASE_DIR/hybrid.mbr" && truncate -s 512 "$CASE_DIR/hybrid.mbr"

  written 1 "/M 1 3 2700" "${d[1]}" 2
  [ "$(listed "${d[1]}" 3)" = "$RECOVERY -" ] || fail "/M 1 3 2700: sfdisk lists $(listed "${d[1]}" 3)"
  written 1 "/G 1 3 0x8000000000000001" "${d[1]}" 2
  [ "$(listed "${d[1]}" 3)" = "$RECOVERY RequiredPartition GUID:63" ] || fail "/G: sfdisk lists $(listed "${d[1]}" 3)"
  written 2 "/M 2 1 $LINUX" "${d[2]}" 4
  [ "$(listed "${d[2]}" 1)" = "$LINUX -" ] || fail "/M 2 1 (GUID): sfdisk lists $(listed "${d[2]}" 1)"
  written 3 "/G 3 3 4000000000000000" "${d[3]}" 2
  [ "$(listed "${d[3]}" 3)" = "$BASIC GUID:62" ] || fail "/G 3 3: sfdisk lists $(listed "${d[3]}" 3)"
  cmp -s -n 512 "$CASE_DIR/hybrid.mbr" "${d[3]}" || fail "the hybrid MBR changed"
  # "/F" with two GPT types: every GPT partition of the first, on every disk, MBR disks untouched.
  run_qb /F 8300 0700
  [ "$QB_STATUS" = 0 ] || fail "/F 8300 0700: status $QB_STATUS"
  # shellcheck disable=SC2015  # fails when either test does
  [ -z "$(gpt_judged "${d[2]}" 4)" ] && [ "$(listed "${d[2]}" 1)" = "$BASIC -" ] || fail "/F 8300 0700: $(gpt_judged "${d[2]}" 4)"

  # Refused: what a GPT row or an MBR row does not take; nothing is written.
  err='磁盘 1 分区 3 是 GPT 分区，GPT 分区应为四位类型代码（如 0700）或完整的 GUID: 07' expect 2 "" /M 1 3 07
  err='分区标记无效: 1234（MBR 分区应为一到两位十六进制数字，GPT 分区应为四位类型代码（如 0700）或完整的 GUID）' \
    expect 2 "" /M 1 3 1234
  err='/G 只能用于 GPT 分区: 磁盘 4 分区 1 是 MBR 分区' expect 2 "" /G 4 1 1
  err='磁盘 4 分区 1 是 MBR 分区，MBR 分区应为一到两位十六进制数字: 0700' expect 2 "" /M 4 1 0700
}
e2e_case writes case_writes

# Disk 1 with a damaged backup header; disk 2 whose backup array holds another type in one entry,
# resealed as a tool would: the copies are not one table. Neither is written.
case_refusals() {
  local d1 d2
  d1=$(new_image damaged 256M)
  partition "$d1" gpt <<<"size=100MiB, type=$BASIC"
  put_bytes "$d1" $((256 * 1024 * 1024 - 512 + 0x40)) ff
  d2=$(new_image differ 256M)
  partition "$d2" gpt <<<"size=100MiB, type=$BASIC"
  python3 - "$d2" <<'EOF'
import struct, sys, zlib
with open(sys.argv[1], "r+b") as f:
    f.seek(512)
    alt = struct.unpack_from("<Q", f.read(92), 32)[0]
    f.seek(alt * 512)
    h = bytearray(f.read(92))
    array = struct.unpack_from("<Q", h, 72)[0]
    f.seek(array * 512)
    entries = bytearray(f.read(128 * 128))
    entries[0] ^= 1
    f.seek(array * 512)
    f.write(entries)
    struct.pack_into("<I", h, 88, zlib.crc32(bytes(entries)))
    h[16:20] = b"\0\0\0\0"
    struct.pack_into("<I", h, 16, zlib.crc32(bytes(h)))
    f.seek(alt * 512)
    f.write(h)
EOF
  attach "$d1" "$d2"
  err='磁盘 1 分区 1：GPT 分区项 未写入（备份 GPT 已损坏）' expect 1 "" /M 1 1 2700
  err='磁盘 2 分区 1：GPT 分区项 未写入（GPT 主表与备份表不一致）' expect 1 "" /G 2 1 1
}
e2e_case refusals case_refusals

e2e_finish
