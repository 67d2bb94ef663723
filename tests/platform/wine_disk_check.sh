#!/bin/bash
# Runs the Win32 raw-disk and label checks of platform_tests.exe under Wine, in a prefix of its
# own, against a scratch disk image and the prefix's drive C:.
# Usage: wine_disk_check.sh <path to platform_tests.exe>
set -euo pipefail
wine=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine
exe=$(realpath "$1")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# A sparse 5 GiB image: disk signature "QBLT", one entry (type 0C, 204800 sectors from 2048), and
# a marker sector at 4 GiB + 512 that only a 64-bit offset reaches.
image=$work/disk0.img size=$((5 << 30))
truncate -s $size "$image"
printf 'QBLT\0\0\0\0\0\0\x0c\0\0\0\0\x08\0\0\0\x20\x03\0' | dd of="$image" bs=1 seek=$((0x1B8)) conv=notrunc status=none
printf '\x55\xaa' | dd of="$image" bs=1 seek=$((0x1FE)) conv=notrunc status=none
head -c 512 /dev/zero | tr '\0' '\245' | dd of="$image" bs=1 seek=$(((1 << 32) + 512)) conv=notrunc status=none

"$wine" wineboot -i >/dev/null 2>&1
ln -sf "$image" "$WINEPREFIX/dosdevices/physicaldrive0"
printf 'REGEDIT4\r\n\r\n[%s]\r\n"Count"=dword:1\r\n"0"="USBSTOR\\\\Disk"\r\n"1"=dword:5\r\n' \
  'HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Disk\Enum' >"$work/disks.reg"
"$wine" regedit /S "Z:${work//\//\\}\\disks.reg"
QUENBOLT_WINE_DISK_TEST=$size "$wine" "$exe" --gtest_filter='RawDiskWin32Test.*'

# Labels under a Western ANSI code page (1252: a locale Wine has no Chinese for): Wine keeps the
# label of C: in drive_c/.windows-label as UTF-8 and reads it when its server starts.
label=$WINEPREFIX/drive_c/.windows-label
printf '卷标\n' >"$label"
{ wineserver -k; wineserver -w; } 2>/dev/null || true
QUENBOLT_WINE_LABEL_TEST=1 LANG=C.UTF-8 LC_ALL=C.UTF-8 "$wine" "$exe" --gtest_filter='VolumeLabelWin32Test.*'
wineserver -w 2>/dev/null || true
[ "$(cat "$label")" = 数据 ] || { echo "C: is labelled '$(cat "$label")' after the run, expected '数据'"; exit 1; }
