#!/bin/bash
# Runs the Win32 label check of platform_tests.exe under Wine, in a prefix of its own, against the
# prefix's drive C:, under a Western ANSI code page (1252: a locale Wine has no Chinese for). Wine
# keeps the label of C: in drive_c/.windows-label as UTF-8 and reads it when its server starts.
# Usage: wine_label_check.sh <path to platform_tests.exe>
set -euo pipefail
wine=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine
exe=$(realpath "$1")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

"$wine" wineboot -i >/dev/null 2>&1
label=$WINEPREFIX/drive_c/.windows-label
printf '卷标\n' >"$label"
{ wineserver -k; wineserver -w; } 2>/dev/null || true
QUENBOLT_WINE_LABEL_TEST=1 LANG=C.UTF-8 LC_ALL=C.UTF-8 "$wine" "$exe" --gtest_filter='VolumeLabelWin32Test.*'
wineserver -w 2>/dev/null || true
[ "$(cat "$label")" = 数据 ] || { echo "C: is labelled '$(cat "$label")' after the run, expected '数据'"; exit 1; }
