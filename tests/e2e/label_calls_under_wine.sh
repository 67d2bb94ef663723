#!/usr/bin/env bash
# The Win32 volume-label calls of the program's build (its platform_tests.exe) under Wine, in a
# prefix of its own, on the prefix's drive C: and a Western ANSI code page (1252: a locale Wine has
# no Chinese for). Wine keeps the label of C: in drive_c/.windows-label as UTF-8 and reads it when
# its server starts.
set -euo pipefail
if [ "$(basename "$1")" = Quenbolt.exe ] && ! "$QUENBOLT_ROOT/scripts/wine" --runs-32; then
  echo "skipped: the 32-bit build: $("$QUENBOLT_ROOT/scripts/wine" --why-not-32)"; exit 77
fi
wine=$QUENBOLT_ROOT/scripts/wine
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
"$wine" wineboot -i >/dev/null 2>&1
label=$WINEPREFIX/drive_c/.windows-label
printf '卷标\n' >"$label"
{ wineserver -k; wineserver -w; } 2>/dev/null || true
QUENBOLT_WINE_LABEL_TEST=1 LANG=C.UTF-8 LC_ALL=C.UTF-8 "$wine" "$QUENBOLT_WIN32_BUILD/tests/platform_tests.exe" \
  --gtest_filter='VolumeLabelWin32Test.*'
wineserver -w 2>/dev/null || true
[ "$(cat "$label")" = 数据 ] || { echo "C: is labelled '$(cat "$label")' after the run, expected '数据'"; exit 1; }
