#!/usr/bin/env bash
# Writes of the real program under Wine, judged by tools no one here wrote. GPT types and
# attributes, on tables sfdisk made: gpt_judged (sgdisk -v, sfdisk --verify, no byte changed but
# the entry's in both arrays and the CRC fields), and sfdisk -J must list what was written. FAT32
# labels: under Wine no partition gets a letter, so the program writes the boot sector, its backup
# and the root directory's label entry itself; fsck.fat must find the three alike, fatlabel must
# read the new label, and nothing else may change.
# Usage: judged_writes.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@" sgdisk fsck.fat fatlabel iconv

readonly LINUX=0FC63DAF-8483-4772-8E79-3D69D8477DE4

# A run that must end 0 and change only entry $4 of image $3, with the one re-read line, after
# which sfdisk -J lists partition $5 as $6 ("TYPE attrs").
written() {  # disk-number command-line image entry partition listing
  local args
  read -r -a args <<<"$2"
  run_qb "${args[@]}"
  [ "$QB_STATUS" = 0 ] || { fail "$2: status $QB_STATUS"; show_output; }
  [ "$(tr -d '\r' <"$CASE_DIR/stderr.txt")" = "磁盘 $1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效" ] ||
    { fail "$2: standard error"; show_output; }
  gpt_judged "$3" "$4"
  [ "$(listed "$3" "$5")" = "$6" ] || fail "$2: sfdisk lists $(listed "$3" "$5")"
}

# Each byte the last run changed in image $1 outside the label places of the volume at sector $2:
# the label field of its boot sector and of the backup, and the root directory's first sector
# (one sector a cluster, as these volumes are made).
changed_elsewhere() {  # image start
  changed_bytes "$1" | python3 -c '
import struct, sys
start = int(sys.argv[2]) * 512
with open(sys.argv[1], "rb") as f:
    f.seek(start)
    boot = f.read(512)
backup = struct.unpack_from("<H", boot, 0x32)[0] * 512
fats = boot[0x10] * struct.unpack_from("<I", boot, 0x24)[0]
root = (struct.unpack_from("<H", boot, 0x0E)[0] + fats) * 512
places = {*range(0x47, 0x52), *range(backup + 0x47, backup + 0x52), *range(root, root + 512)}
for line in sys.stdin:
    if int(line.split()[0]) - start not in places:
        print("image byte", line.split()[0], "changed outside the label places")
' "$1" "$2"
}

# Runs "/L disk part label" and checks that it ended 0 with nothing on standard error, that nothing
# changed but the label places, that fsck.fat finds the boot sector, its backup and the root
# directory's label entry alike and the volume clean, and that fatlabel reads `shown`.
labelled() {  # image start sectors disk part label shown
  run_qb /L "$4" "$5" "$6"
  # shellcheck disable=SC2015  # fails when either test does
  [ "$QB_STATUS" = 0 ] && [ ! -s "$CASE_DIR/stderr.txt" ] ||
    { fail "/L $4 $5 $6: status $QB_STATUS"; show_output; }
  local elsewhere fsck shown rc=0
  elsewhere=$(changed_elsewhere "$1" "$2") || elsewhere+=" cannot compare with the copy"
  [ -z "$elsewhere" ] || fail "/L $4 $5 $6: $elsewhere"
  dd if="$1" of="$CASE_DIR/volume.img" bs=512 skip="$2" count="$3" status=none
  fsck=$(fsck.fat -n "$CASE_DIR/volume.img" 2>&1) || rc=$?
  # dosfstools calls a label above ASCII invalid: then only copies that differ count against it.
  ! grep -qi differ <<<"$fsck" || fail "/L $4 $5 $6: fsck.fat -n finds the copies differ: $fsck"
  [ "$rc" = 0 ] || LC_ALL=C grep -q '[^ -~]' <<<"$6" ||
    fail "/L $4 $5 $6: fsck.fat -n (status $rc): $fsck"
  # fatlabel shows the bytes as code page 850; turned back, they are GBK again.
  shown=$(LC_ALL=C.UTF-8 fatlabel "$CASE_DIR/volume.img" | iconv -f UTF-8 -t CP850 |
    iconv -f GBK -t UTF-8)
  [ "$shown" = "$7" ] || fail "/L $4 $5 $6: fatlabel reads '$shown'"
}

# Disk 1, Windows' layout; disk 2, one basic data partition in entry 5 after empty entries, FAT32;
# disk 3, Windows' layout under a hybrid MBR (an MBR entry for the data partition beside EE);
# disk 4, MBR: a hidden FAT32 partition (1B) whose backup boot sector is elsewhere than sector 6.
case_writes() {
  local d=()
  d[1]=$(new_image windows 1G)
  partition "${d[1]}" gpt <<<"$WINDOWS_GPT"
  d[2]=$(new_image entry5 256M)
  partition "${d[2]}" gpt <<<"5 : start=2048, size=100MiB, type=$BASIC"
  format_fat32 "${d[2]}" 2048 204800 GPTDATA
  d[3]=$(new_image hybrid 1G)
  partition "${d[3]}" gpt <<<"$WINDOWS_GPT"
  sgdisk -h 3 "${d[3]}" >/dev/null
  d[4]=$(new_image mbr 64M)
  partition "${d[4]}" <<<'start=2048, size=70000, type=1b'
  mkfs.fat -F 32 -s 1 -b 3 -n HIDDENFAT --offset 2048 -h 2048 "${d[4]}" 35000 >/dev/null 2>&1
  attach "${d[@]:1}"
  cp "${d[3]}" "$CASE_DIR/hybrid.mbr" && truncate -s 512 "$CASE_DIR/hybrid.mbr"

  written 1 "/M 1 3 2700" "${d[1]}" 2 3 "$RECOVERY -"
  written 2 "/M 2 1 $LINUX" "${d[2]}" 4 1 "$LINUX -"
  written 3 "/G 3 3 4000000000000000" "${d[3]}" 2 3 "$BASIC GUID:62"
  cmp -s -n 512 "$CASE_DIR/hybrid.mbr" "${d[3]}" || fail "the hybrid MBR changed"
  # "/F" with two GPT types: every GPT partition of the first, on every disk.
  written 2 "/F 8300 0700" "${d[2]}" 4 1 "$BASIC -"
  # What a GPT row does not take, and an MBR row's attributes.
  local hint='GPT 分区应为四位类型代码（如 0700）或完整的 GUID'
  err="磁盘 1 分区 3 是 GPT 分区，$hint: 07" expect 2 "" /M 1 3 07
  err="分区标记无效: 1234（MBR 分区应为一到两位十六进制数字，$hint）" expect 2 "" /M 1 3 1234
  err='/G 只能用于 GPT 分区: 磁盘 4 分区 1 是 MBR 分区' expect 2 "" /G 4 1 1
  # Labels refused by FAT's rules, and a character GBK cannot hold before anything is read.
  err='磁盘 4 分区 1：卷标 未写入（卷标含有 FAT 不允许的字符）' expect 1 "" /L 4 1 a.b
  err='参数含有 GBK 无法表示的字符: ?' expect 2 "" /L 4 1 한
  labelled "${d[4]}" 2048 70000 4 1 "new label" "NEW LABEL"
  labelled "${d[4]}" 2048 70000 4 1 "数据ａβ" "数据ＡΒ"   # upper case as Windows makes it
  labelled "${d[2]}" 2048 204800 2 1 gpt-data "GPT-DATA"
}
e2e_case writes case_writes

# Disk 1's primary header damaged: the copy found where Wine's raw disk has it, at the image's
# end, is listed. Disk 2's backup header damaged; disk 3's backup another sound table's (disk 2's
# before the damage). None is written.
case_damaged() {
  local d=() k size=$((256 << 20))
  for k in 1 2 3; do
    d[k]=$(new_image "damaged$k" $size)
    partition "${d[k]}" gpt <<<"size=$((100 / k))MiB, type=$BASIC"
  done
  dd if="${d[2]}" of="${d[3]}" bs=512 skip=$((size / 512 - 33)) seek=$((size / 512 - 33)) \
    conv=notrunc status=none
  printf '\377' | dd of="${d[1]}" bs=1 seek=$((512 + 0x40)) conv=notrunc status=none
  printf '\377' | dd of="${d[2]}" bs=1 seek=$((size - 512 + 0x40)) conv=notrunc status=none
  attach "${d[@]:1}"
  list 0 <<<$'||1|1|0700|基本数据|GPT|100||\n||2|1|0700|基本数据|GPT|50||\n||3|1|0700|基本数据|GPT|33||'
  err='磁盘 1 分区 1：GPT 分区项 未写入（主 GPT 已损坏）' expect 1 "" /G 1 1 1
  err='磁盘 2 分区 1：GPT 分区项 未写入（备份 GPT 已损坏）' expect 1 "" /M 2 1 2700
  err='磁盘 3 分区 1：GPT 分区项 未写入（GPT 主表与备份表不一致）' expect 1 "" /M 3 1 2700
}
e2e_case damaged case_damaged

e2e_finish
