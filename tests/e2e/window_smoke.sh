#!/usr/bin/env bash
# The real Quenbolt.exe under Wine with a virtual screen, against a disk image:
#   - without arguments the window appears centred, the list holds the image's four partitions,
#     row 0 is selected (its editor fill put a text into the status line, which grew the window),
#     the partitions got temporary letters, and Escape ends the run without writing;
#   - "/?" shows the help box and never the main window;
#   - a batch command ends without a window, with exit status 0, having changed one byte;
#   - "/LIST" prints the list as UTF-8 to a pipe;
#   - after every run no temporary letter is left defined.
# A screenshot of the window is kept in the artifact folder; its path is printed.
#
# Usage: window_smoke.sh <Quenbolt.exe>     Exit 0 pass, 77 skip, anything else fail.
# Each case reports one line, "PASS <case>" or "FAIL <case>: <reason>"; the first failure ends
# the script.

set -uo pipefail

exe=${1:-}
[ -n "$exe" ] && [ -f "$exe" ] || { echo "no Quenbolt.exe given (or not built): $exe"; exit 77; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
export PATH=$PATH:/usr/sbin:/sbin
wine=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine

for tool in wineserver Xvfb xdotool import convert sfdisk mkfs.fat x86_64-w64-mingw32-gcc; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is missing"; exit 77; }
done
if [ "$(basename "$exe")" = Quenbolt.exe ] && ! "$wine" --runs-32; then
  echo "skipped: $exe is 32-bit: $("$wine" --why-not-32)"
  exit 77
fi

artifacts=${QUENBOLT_ARTIFACTS:-$(dirname "$exe")/e2e/window_smoke}
mkdir -p "$artifacts"
artifacts=$(cd "$artifacts" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quenbolt-window.XXXXXX")

export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko install prompts

xvfb_pid=""
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

current=setup
fail() { echo "FAIL $current: $*"; exit 1; }
begin() { current=$1; }
passed() { echo "PASS $current"; }

# ---- A virtual screen ---------------------------------------------------------------------
for n in $(seq 101 160); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$xvfb_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1 && break
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "skipped: no Xvfb display could be started"; exit 77; }

# ---- A disk image ---------------------------------------------------------------------------
#   slot 0  0C FAT32, active     row 0  "1"  40 MB
#   slot 1  0F container         row 1
#     EBR   07                   row 2  "2"
#   slot 2  1C hidden FAT32      row 3  "3"
image=$work/disk0.img
truncate -s 100M "$image"
printf 'label: dos\nstart=2048, size=81920, type=c, bootable\nstart=83968, size=61440, type=f\nstart=145408, size=40960, type=1c\nstart=86016, size=20480, type=7\n' |
  sfdisk -q "$image" || fail "sfdisk"
mkfs.fat -F 32 -s 1 -n SYSTEM --offset 2048 "$image" 40960 >/dev/null 2>&1 || fail "mkfs.fat"

# ---- A fresh prefix with the image as physical drive 0 -------------------------------------
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 </dev/null || fail "wineboot: $(tail -5 "$work/wineboot.log")"
ln -s "$image" "$WINEPREFIX/dosdevices/physicaldrive0"
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum' /v Count /t REG_DWORD /d 1 /f \
  >/dev/null 2>&1 || fail "reg add"
# Names made with DefineDosDevice live in the server: keep it running between the runs, so that a
# name one run leaves behind is still there for the check after it.
wineserver -p

# Prints every DOS device name that points at a partition device: a temporary letter.
cat >"$work/letters.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <string.h>
int main(void) {
  char name[3] = "A:", target[1024];
  for (char c = 'A'; c <= 'Z'; ++c) {
    name[0] = c;
    if (QueryDosDeviceA(name, target, sizeof target) && strstr(target, "\\Partition")) {
      printf("%s %s\n", name, target);
    }
  }
  return 0;
}
EOF
x86_64-w64-mingw32-gcc -O2 -static -o "$work/letters.exe" "$work/letters.c" || fail "building the letter check"
temporary_letters() { "$wine" "$work/letters.exe" 2>/dev/null | tr -d '\r'; }
expect_no_letters() {
  local left
  left=$(temporary_letters)
  [ -z "$left" ] || fail "$1: temporary letters left defined: $left"
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

# Fraction (0..1) of dark pixels in a band of the screenshot, `x` `y` relative to the client area.
dark_fraction() {  # shot left top x y width height
  convert "$1" -crop "$6x$7+$(($2 + $4))+$(($3 + $5))" +repage -colorspace gray -threshold 70% \
    -format '%[fx:1-mean]' info:
}
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# ---- 1. No arguments: the window ---------------------------------------------------------
begin window
cp "$image" "$work/before.img"
"$wine" "$exe" >"$work/run1.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 600); do
  window=$(visible_window "Quenbolt V1.0.9")
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$window" ] || fail "the main window did not appear: $(cat "$work/run1.log")"

# Start-up ends with row 0 selected; its status text creates the status line, which grows the
# window below its 374-pixel client area.
height=0
for _ in $(seq 300); do
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"
  height=${HEIGHT:-0}
  [ "$height" -gt 374 ] && break
  sleep 0.1
done
[ "$height" -gt 374 ] || fail "no status line: row 0 was never shown in the editor"
[ "${WIDTH:-0}" = 689 ] || fail "client width ${WIDTH:-?}, want 689"
screen_width=$(xdotool getdisplaygeometry | cut -d' ' -f1)
[ "$X" = $(((screen_width - WIDTH) / 2)) ] || fail "not centred: left $X"
sleep 1   # let the list finish painting

shot=$artifacts/window.png
import -window root "$shot" || fail "screenshot"
echo "screenshot: $shot"

# Row bands of the list: rows are 17 pixels apart, row 0 centred 45 pixels below the client top.
band() { dark_fraction "$shot" "$X" "$Y" 120 $((41 + 17 * $1)) 520 8; }
above "$(band 0)" 0.5 || fail "row 0 is not drawn selected (dark fraction $(band 0))"
for row in 1 2 3; do
  above "$(band "$row")" 0.003 || fail "row $row is empty"
done
above "$(band 4)" 0.001 && fail "a fifth row is shown"

letters=$(temporary_letters)
[ "$(printf '%s\n' "$letters" | grep -c 'Harddisk0')" = 3 ] ||
  fail "want three temporary letters while the window is open, found: $letters"

xdotool key Escape
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Escape did not end the run"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "exit status $rc after Escape"
cmp -s "$work/before.img" "$image" || fail "Escape wrote to the disk"
expect_no_letters "after Escape"
passed

# ---- 2. "/?": the help box, no main window ------------------------------------------------
begin help_box
"$wine" "$exe" "/?" >"$work/run2.log" 2>&1 &
pid=$!
help=""
for _ in $(seq 600); do
  help=$(visible_window "命令行参数")
  [ -n "$help" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$help" ] || fail "the help box did not appear"
[ -z "$(visible_window "Quenbolt V1.0.9")" ] || fail "the main window is shown with the help box"
import -window root "$artifacts/help.png" || true
xdotool key Return
for _ in $(seq 300); do
  [ -n "$(visible_window "Quenbolt V1.0.9")" ] && fail "the main window appeared after the help box"
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the run did not end after the help box"
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "exit status $rc after /?"
expect_no_letters "after /?"
passed

# ---- 3. A batch command: no window, one byte -----------------------------------------------
begin batch_without_window
cp "$image" "$work/before.img"
"$wine" "$exe" /M 1 1 0b >"$work/run3.log" 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  [ -z "$(visible_window "Quenbolt V1.0.9")" ] || fail "a batch run showed the window"
  sleep 0.1
done
wait "$pid"; rc=$?
[ "$rc" = 0 ] || fail "exit status $rc for /M 1 1 0b: $(cat "$work/run3.log")"
changes=$(cmp -l "$work/before.img" "$image" | awk '{ print $1, $2, $3 }')
# Offset 0x1C2 (451 counted from 1): the type byte of the first MBR entry, 0x0C -> 0x0B (octal).
[ "$changes" = "451 14 13" ] || fail "unexpected changes: $changes"
expect_no_letters "after /M"
passed

# ---- 4. "/LIST" to a pipe --------------------------------------------------------------------
begin list_to_pipe
listing=$("$wine" "$exe" /LIST 2>"$work/run4.err") || fail "/LIST exit status $?"
printf '%s\n' "$listing" | head -n 1 | grep -q '^盘符	卷标	磁盘' || fail "/LIST header: $listing"
[ "$(printf '%s\n' "$listing" | grep -c '	1C	')" = 1 ] || fail "/LIST rows: $listing"
expect_no_letters "after /LIST"
passed
