#!/usr/bin/env bash
# FAT32 labels written by the real program under Wine, judged by dosfstools. Under Wine no
# partition of an image gets a letter, so no file system driver keeps these labels: the program
# writes the boot sector, its backup and the root directory's label entry itself. fsck.fat must
# find the three in agreement, fatlabel must read the new label, and nothing else may change. A
# label FAT refuses leaves the image as it was.
# Usage: fat32_labels.sh <path to Quenbolt.exe or Quenbolt64.exe>
. "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
e2e_init "$@" fsck.fat fatlabel iconv

# The volume at sector $2 of image $1 as a file of its own, for the tools that take no offset.
volume_of() { dd if="$1" of="$CASE_DIR/volume.img" bs=512 skip="$2" count="$3" status=none; }

# The three label copies of the volume at sector $2 of image $1, hex, one a line: boot sector,
# backup boot sector, root-directory label entry (empty: no entry). Then a line for each byte of
# the image the last run changed outside those three places.
label_copies() {  # image start
  { "$e2e_work/sparse_cmp" "$1.before" "$1" || true; } | python3 -c '
import struct, sys
img, start = sys.argv[1], int(sys.argv[2]) * 512
with open(img, "rb") as f:
    f.seek(start)
    vol = f.read(1 << 20)
bps, spc, reserved, fats = struct.unpack_from("<HBHB", vol, 11)
fat_size, root = struct.unpack_from("<I", vol, 0x24)[0], struct.unpack_from("<I", vol, 0x2C)[0]
backup = struct.unpack_from("<H", vol, 0x32)[0] * bps
root_at = (reserved + fats * fat_size + (root - 2) * spc) * bps
entry = None
for at in range(root_at, root_at + spc * bps, 32):
    if vol[at] == 0:
        break
    if vol[at] != 0xE5 and vol[at + 11] != 0x0F and vol[at + 11] & 0x08:
        entry = at
        break
print(vol[0x47:0x52].hex())
print(vol[backup + 0x47:backup + 0x52].hex())
print(vol[entry:entry + 11].hex() if entry is not None else "")
allowed = set(range(0x47, 0x52)) | set(range(backup + 0x47, backup + 0x52))
allowed |= set(range(entry, entry + 32)) if entry is not None else set()
for line in sys.stdin:
    offset = int(line.split()[0]) - start
    if offset not in allowed:
        print("changed outside the label copies: image byte", offset + start)
' "$1" "$2"
}

# A label as the 11 bytes of a label field, GBK, blank-padded, in hex.
hexof() { python3 -c 'import sys; print(sys.argv[1].encode("gbk").ljust(11, b" ").hex())' "$1"; }

# Runs "/L disk part label" and checks that it ended 0 with nothing on standard error, that the
# three copies of the volume at `start` hold `field` (11 bytes, hex), that nothing else changed,
# that fsck.fat finds the volume clean (or, for a label above ASCII, which dosfstools calls
# invalid, at least the copies alike) and that fatlabel reads `shown`.
labelled() {  # image start sectors disk part label field shown
  run_qb /L "$4" "$5" "$6"
  # shellcheck disable=SC2015  # fails when either test does
  [ "$QB_STATUS" = 0 ] && [ ! -s "$CASE_DIR/stderr.txt" ] || { fail "/L $4 $5 $6: status $QB_STATUS"; show_output; }
  local copies want fsck rc=0
  copies=$(label_copies "$1" "$2")
  want=$(printf '%s\n%s\n%s' "$7" "$7" "$7")
  [ "$copies" = "$want" ] || fail "/L $4 $5 $6: the copies are"$'\n'"$copies"$'\n'"  not $7 each"
  volume_of "$1" "$2" "$3"
  fsck=$(fsck.fat -n "$CASE_DIR/volume.img" 2>&1) || rc=$?
  if [ "$(printf '%s' "$6" | LC_ALL=C tr -d '\000-\177' | wc -c)" = 0 ]; then
    [ "$rc" = 0 ] || fail "/L $4 $5 $6: fsck.fat -n (status $rc): $fsck"
  else
    ! grep -qi differ <<<"$fsck" || fail "/L $4 $5 $6: fsck.fat -n finds the copies differ: $fsck"
  fi
  # fatlabel shows the bytes as code page 850; turned back, they are GBK again.
  [ "$(LC_ALL=C.UTF-8 fatlabel "$CASE_DIR/volume.img" | iconv -f UTF-8 -t CP850 | iconv -f GBK -t UTF-8)" = "$8" ] ||
    fail "/L $4 $5 $6: fatlabel reads '$(LC_ALL=C.UTF-8 fatlabel "$CASE_DIR/volume.img")'"
}

# Disk 1, MBR: a FAT32 partition (0C), a hidden one (1B) whose backup boot sector is elsewhere than
# sector 6, an NTFS one without a file system. Disk 2, GPT: a basic data partition in entry 2.
case_labels() {
  local d1 d2
  d1=$(new_image mbr 128M)
  partition "$d1" <<<'start=2048, size=70000, type=c
start=73728, size=70000, type=1b
start=145408, size=8192, type=7'
  format_fat32 "$d1" 2048 70000 OLDLABEL
  mkfs.fat -F 32 -s 1 -b 3 -n HIDDENFAT --offset 73728 -h 73728 "$d1" 35000 >/dev/null 2>&1
  d2=$(new_image gpt 128M)
  partition "$d2" gpt <<<'2 : start=4096, size=70000, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7'
  format_fat32 "$d2" 4096 70000 GPTDATA
  attach "$d1" "$d2"

  # Refused by FAT's rules: a forbidden character, more than 11 bytes, a leading blank.
  err='磁盘 1 分区 1：卷标 未写入（卷标含有 FAT 不允许的字符）' expect 1 "" /L 1 1 a.b
  err='磁盘 1 分区 1：卷标 未写入（卷标超过 11 字节）' expect 1 "" /S 0C "longer than eleven"
  err='磁盘 1 分区 1：卷标 未写入（卷标含有 FAT 不允许的字符）' expect 1 "" /L 1 1 " lead"
  err='磁盘 1 分区 3：卷标 未写入（分区没有盘符）' expect 1 "" /L 1 3 ntfs
  # A character GBK cannot hold is refused before anything is read.
  err='参数含有 GBK 无法表示的字符: ?' expect 2 "" /L 1 1 한
  expect 0 "" /L 1 1 OLDLABEL                               # what all three copies hold already

  labelled "$d1" 2048 70000 1 1 "new label" "$(hexof 'NEW LABEL')" "NEW LABEL"
  labelled "$d1" 2048 70000 1 1 "数据ａβ" "$(hexof 数据ＡΒ)" "数据ＡΒ"   # upper case as Windows makes it
  labelled "$d1" 73728 70000 1 2 hidden "$(hexof HIDDEN)" "HIDDEN"   # backup at sector 3
  labelled "$d2" 4096 70000 2 1 gpt-data "$(hexof GPT-DATA)" "GPT-DATA"
}
e2e_case labels case_labels

e2e_finish
