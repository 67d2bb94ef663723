#!/bin/bash
# Runs the Win32 raw-disk and label checks of platform_tests.exe under Wine against a scratch disk
# image and the prefix's drive C:.
# Usage: wine_disk_check.sh <path to platform_tests.exe>
# Makes and removes its own prefix and image.
set -euo pipefail
wine=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine

exe=$(realpath "$1")
work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A sparse 5 GiB image: MBR with disk signature "QBLT" and one FAT32 entry, and a marker sector
# at 4 GiB + 512 that only a 64-bit offset reaches.
image="$work/disk0.img"
size=$((5 * 1024 * 1024 * 1024))
truncate -s "$size" "$image"
printf 'QBLT' | dd of="$image" bs=1 seek=$((0x1B8)) conv=notrunc status=none
# Entry 0: not active, type 0x0C, start sector 2048, 204800 sectors.
printf '\x00\x00\x00\x00\x0c\x00\x00\x00\x00\x08\x00\x00\x00\x20\x03\x00' |
  dd of="$image" bs=1 seek=$((0x1BE)) conv=notrunc status=none
printf '\x55\xaa' | dd of="$image" bs=1 seek=$((0x1FE)) conv=notrunc status=none
head -c 512 /dev/zero | tr '\0' '\245' |
  dd of="$image" bs=1 seek=$(((1 << 32) + 512)) conv=notrunc status=none

"$wine" wineboot -i >/dev/null 2>&1
ln -sf "$image" "$WINEPREFIX/dosdevices/physicaldrive0"
key='HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum'
"$wine" reg add "$key" /v Count /t REG_DWORD /d 1 /f >/dev/null
"$wine" reg add "$key" /v 0 /t REG_SZ /d 'USBSTOR\Disk' /f >/dev/null
"$wine" reg add "$key" /v 1 /t REG_DWORD /d 5 /f >/dev/null

QUENBOLT_WINE_DISK_TEST=$size "$wine" "$exe" --gtest_filter='RawDiskWin32Test.*'

# Labels under a Western ANSI code page (1252: a locale Wine has no Chinese for): Wine keeps the
# label of C: in drive_c/.windows-label as UTF-8 and reads it when its server starts.
label_file=$WINEPREFIX/drive_c/.windows-label
printf '卷标\n' >"$label_file"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
QUENBOLT_WINE_LABEL_TEST=1 LANG=C.UTF-8 LC_ALL=C.UTF-8 "$wine" "$exe" --gtest_filter='VolumeLabelWin32Test.*'
wineserver -w 2>/dev/null || true
if [ "$(cat "$label_file" 2>/dev/null)" != "数据" ]; then
  echo "C: is labelled '$(cat "$label_file" 2>/dev/null)' after the run, expected '数据'"
  exit 1
fi
