# Harness of the end-to-end scripts, sourced: the real program under Wine against disk images. A
# script calls `e2e_init "$@"`, then `e2e_case name function` for each case, then `e2e_finish`.
# One Wine prefix, one Xvfb and one wineserver, kept running with the desktop held open, serve
# all cases of a script: a fresh server per case costs seconds and hides nothing, since what one
# run leaves behind the next one meets. Each case runs in a subshell in a directory of its own and
# prints "PASS name", "SKIP name" or "FAIL name" and why. QUENBOLT_E2E_KEEP=1 keeps the files.
# shellcheck shell=bash
set -uo pipefail
export PATH=$PATH:/usr/sbin:/sbin
E2E_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QB_WINE=$E2E_LIB/../../../scripts/wine
e2e_passed=0 e2e_failed=0 e2e_skipped=0 e2e_work="" e2e_xvfb=""

e2e_cleanup() {
  [ -d "${WINEPREFIX:-/none}" ] && wineserver -k >/dev/null 2>&1
  [ -n "$e2e_xvfb" ] && kill "$e2e_xvfb" 2>/dev/null
  if [ "${QUENBOLT_E2E_KEEP:-0}" = 1 ]; then echo "kept: $e2e_work"; else rm -rf "$e2e_work"; fi
}

e2e_init() {  # <path to the program> [tool the script needs]...
  QB_EXE=${1:-}
  local c helper start=$SECONDS
  for c in wineserver Xvfb sfdisk mkfs.fat x86_64-w64-mingw32-gcc python3 "${@:2}"; do
    command -v "$c" >/dev/null 2>&1 || { echo "SKIP all: $c is not installed (scripts/setup)"; exit 77; }
  done
  [ -f "$QB_EXE" ] || { echo "FAIL all: no program at '$QB_EXE'"; exit 1; }
  QB_EXE=$(realpath "$QB_EXE")
  if [ "$(basename "$QB_EXE")" = Quenbolt.exe ] && ! "$QB_WINE" --runs-32; then
    echo "SKIP all: $QB_EXE is 32-bit: $("$QB_WINE" --why-not-32)"; exit 77
  fi
  e2e_work=$(mktemp -d "${TMPDIR:-/tmp}/quenbolt-e2e.XXXXXX")
  trap e2e_cleanup EXIT
  mkdir -p "$e2e_work/cases"
  x86_64-w64-mingw32-gcc -O2 -static -municode -o "$e2e_work/helper.exe" "$E2E_LIB/wine_helper.c" &
  helper=$!
  export WINEPREFIX=$e2e_work/prefix LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"   # no install prompts
  # Wine needs a display even for the hidden window of a batch run.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$e2e_work/display" >/dev/null 2>&1 &
  e2e_xvfb=$!
  for c in $(seq 100); do [ -s "$e2e_work/display" ] && break; sleep 0.1; done
  DISPLAY=:$(tr -dc 0-9 <"$e2e_work/display")
  export DISPLAY
  [ "$DISPLAY" != : ] || { echo "FAIL all: Xvfb did not start"; exit 1; }
  "$QB_WINE" wineboot -i >"$e2e_work/wineboot.log" 2>&1 </dev/null ||
    { cat "$e2e_work/wineboot.log"; echo "FAIL all: wineboot"; exit 1; }
  wait $helper || { echo "FAIL all: wine_helper.c"; exit 1; }
  fresh_server
  echo "prefix ready in $((SECONDS - start))s (display $DISPLAY)"
}

# A server kept running, its desktop held open; after a run that hung and was killed, a new one,
# without the drive letters that run could not remove.
fresh_server() {
  wineserver -k >/dev/null 2>&1; wineserver -w; wineserver -p
  "$QB_WINE" "$e2e_work/helper.exe" hold </dev/null >/dev/null 2>&1 &
}

e2e_finish() { echo "$e2e_passed passed, $e2e_failed failed, $e2e_skipped skipped"; [ "$e2e_failed" = 0 ]; }

e2e_case() {  # name function
  local name=$1 rc=0 start=$SECONDS
  CASE_DIR=$e2e_work/cases/$name
  mkdir -p "$CASE_DIR"
  # A set-up step that fails ends the case as failed, rather than leaving it silently shorter.
  # (The subshell is no part of an || list, where bash would ignore the trap.)
  (
    cd "$CASE_DIR" || exit 1
    case_failures=0
    set -E
    trap 'echo "  set-up command failed (line $LINENO): $BASH_COMMAND"; exit 1' ERR
    "$2"
    exit "$case_failures"
  ) >"$CASE_DIR/case.log" 2>&1
  rc=$?
  case $rc in
    0) e2e_passed=$((e2e_passed + 1)); echo "PASS $name ($((SECONDS - start))s)" ;;
    77) e2e_skipped=$((e2e_skipped + 1)); echo "SKIP $name"; sed 's/^/  /' "$CASE_DIR/case.log" ;;
    *) e2e_failed=$((e2e_failed + 1)); echo "FAIL $name ($((SECONDS - start))s)"; cat "$CASE_DIR/case.log"
      [ -n "${QUENBOLT_ARTIFACTS:-}" ] && mkdir -p "$QUENBOLT_ARTIFACTS/$name" &&
        cp "$CASE_DIR"/*.txt "$CASE_DIR"/*.log "$QUENBOLT_ARTIFACTS/$name/" 2>/dev/null ;;
  esac
  [ "$rc" = 0 ] && [ "${QUENBOLT_E2E_KEEP:-0}" != 1 ] && rm -rf "$CASE_DIR"
  return 0
}

new_image() { rm -f "$CASE_DIR/$1.img"; truncate -s "$2" "$CASE_DIR/$1.img"; echo "$CASE_DIR/$1.img"; }

# sfdisk's script on standard input, with a fixed disk identifier: the images are alike each run.
partition() {  # image [gpt]
  { echo "label: ${2:-dos}"
    [ "${2:-}" = gpt ] && echo 'label-id: 51424C54-0000-4000-8000-000000000001' || echo 'label-id: 0x51424c54'
    cat; } | sfdisk -q --no-reread --no-tell-kernel "$1" >/dev/null
}

format_fat32() {  # image start-sector sector-count label (one sector a cluster: 33 MB will do)
  mkfs.fat -F 32 -s 1 -i 51424c54 -n "$4" --offset "$2" -h "$2" "$1" "$(($3 / 2))" >/dev/null 2>&1
}

# Each byte of image $1 the last run changed, as "offset old new" (decimal, two hex digits each).
# Writes never make holes: only where the image holds data is read, and a 9 GiB sparse image is
# compared in milliseconds.
changed_bytes() {  # image
  python3 -c '
import os, sys
before = os.open(sys.argv[1] + ".before", os.O_RDONLY)
after = os.open(sys.argv[1], os.O_RDONLY)
pos = 0
while True:
    try:
        pos = os.lseek(after, pos, os.SEEK_DATA)
    except OSError:  # no data after pos
        break
    end = os.lseek(after, pos, os.SEEK_HOLE)
    for at in range(pos, end, 1 << 16):
        y = os.pread(after, min(1 << 16, end - at), at)
        x = os.pread(before, len(y), at)
        for i in range(len(y)) if x != y else ():
            if x[i] != y[i]:
                print(at + i, "%02x" % x[i], "%02x" % y[i])
    pos = end
' "$1"
}

# Partition entries (CHS zero), one "sector slot type start count [boot]" a line on standard input
# (type and boot in hex), each table sector with its signature.
put_entries() {  # image
  python3 -c '
import struct, sys
with open(sys.argv[1], "r+b") as f:
    for s, k, t, start, count, *boot in (line.split() for line in sys.stdin if line.strip()):
        f.seek(int(s) * 512 + 446 + 16 * int(k))
        f.write(struct.pack("<B3xB3xII", int((boot or ["0"])[0], 16), int(t, 16), int(start), int(count)))
        f.seek(int(s) * 512 + 510)
        f.write(b"\x55\xaa")' "$1"
}

# Makes the images physical drives 0, 1, ...: each argument an image, "-" for a disk the registry
# counts that is not there, "dangling" for a link to no file. Disk n, counted from 1 as the list
# does, is IMAGES[n].
attach() {
  IMAGES=()
  local n arg reg=$CASE_DIR/disks.reg
  local key='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Disk\Enum'
  rm -f "$WINEPREFIX"/dosdevices/physicaldrive*
  printf 'REGEDIT4\r\n\r\n[-%s]\r\n\r\n[%s]\r\n"Count"=dword:%08x\r\n' "$key" "$key" $# >"$reg"
  for ((n = 0; n < $#; n++)); do
    arg=${*:n+1:1}
    printf '"%d"="SCSI\\\\Disk&Ven_Quenbolt&Prod_Image\\\\%d"\r\n' $n $n >>"$reg"
    case $arg in
      -) ;;
      dangling) ln -s "$CASE_DIR/no-such.img" "$WINEPREFIX/dosdevices/physicaldrive$n" ;;
      *) ln -s "$arg" "$WINEPREFIX/dosdevices/physicaldrive$n"; IMAGES[n+1]=$arg ;;
    esac
  done
  cmp -s "$reg" "$e2e_work/disks.reg" && return 0   # the server keeps what it was given last
  "$QB_WINE" regedit /S "Z:${reg//\//\\}" </dev/null
  cp "$reg" "$e2e_work/disks.reg"
}

# Runs and checks. A check says what failed and lets the case go on; it must never trip the ERR
# trap meant for set-up (hence the `|| true` after pipelines that may fail).

fail() { echo "  $*"; case_failures=1; }

snapshot() { local n; for n in "${!IMAGES[@]}"; do cp --sparse=always "${IMAGES[n]}" "${IMAGES[n]}.before"; done; }

# The program's output goes to stdout.txt and stderr.txt, its status to QB_STATUS (124: hung).
run_qb() {
  snapshot; echo "\$ Quenbolt $*" >>"$CASE_DIR/commands.txt"; QB_STATUS=0
  timeout 60 "$QB_WINE" "$QB_EXE" "$@" </dev/null >"$CASE_DIR/stdout.txt" 2>"$CASE_DIR/stderr.txt" ||
    QB_STATUS=$?
  [ "$QB_STATUS" != 124 ] || fresh_server
}

show_output() {
  head -n 20 "$CASE_DIR/stdout.txt" | sed 's/^/  out| /'
  head -n 10 "$CASE_DIR/stderr.txt" | sed 's/^/  err| /'
}

# `expect status changes args...` runs the program with args; `check status changes what...`
# judges a run that has ended (a window's: what is "(window) ..."). Besides the status:
#   - each image changed in exactly the bytes given as "disk offset old new", separated by commas
#     (offset: bytes, or Ts:k the type byte and Bs:k the boot indicator of slot k of the table at
#     sector s), and in no other byte;
#   - standard error ends with a line for each disk that changed, in disk order, saying that
#     Windows could not be made to read it again (always so under Wine; a window says it in a
#     box); before them, exactly the lines in `err` when it is set, else none on status 0 and
#     one on any other;
#   - nothing on standard output, but for /LIST.
expect() { run_qb "${@:3}"; check "$@"; }

check() {  # status changes what...
  local status=$1 changes=$2 n want got notes="" others
  shift 2
  [ "$QB_STATUS" = "$status" ] || { fail "$*: exit status $QB_STATUS, expected $status"; show_output; }
  for n in "${!IMAGES[@]}"; do
    want=$(tr ',' '\n' <<<"$changes" | awk -v d="$n" '$1 == d {
      o = $2; split(substr(o, 2), s, ":")
      if (o ~ /^T/) o = s[1] * 512 + 450 + 16 * s[2]; else if (o ~ /^B/) o = s[1] * 512 + 446 + 16 * s[2]
      printf "%.0f %s %s\n", o, tolower($3), tolower($4) }' | sort -n)
    got=$(changed_bytes "${IMAGES[n]}") ||
      { fail "$*: cannot compare disk $n with its copy"; continue; }
    [ -n "$got" ] && [ "${1%% *}" != "(window)" ] &&
      notes+="磁盘 $n：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效"$'\n'
    [ "$got" = "$want" ] && continue
    fail "$*: disk $n changed not as expected (< expected, > actual: offset old new)"
    diff <(echo "$want") <(echo "$got") | grep '^[<>]' | head -20 | sed 's/^/    /' || true
  done
  got=$(tr -d '\r' <"$CASE_DIR/stderr.txt")
  n=$(grep -c . <<<"${notes%$'\n'}") || true
  others=$(head -n -"$n" <<<"$got")
  # shellcheck disable=SC2015  # fails when either test does
  [ "$(tail -n "$n" <<<"$got" | grep -v '^$')" = "${notes%$'\n'}" ] && ! grep -q '：分区表已写入，' <<<"$others" ||
    { fail "$*: re-read lines are not one for each changed disk, last"; show_output; }
  if [ -n "${err+set}" ]; then
    [ "$others" = "$err" ] || { fail "$*: standard error is not: $err"; show_output; }
  elif [ "$status" = 0 ]; then
    [ -z "$others" ] || { fail "$*: unexpected standard error"; show_output; }
  elif [ -z "$others" ] || [ "$(wc -l <<<"$others")" != 1 ]; then
    fail "$*: not one line on standard error"; show_output
  fi
  case ${1^^} in /LIST) ;; *) [ -s "$CASE_DIR/stdout.txt" ] && { fail "$*: standard output"; show_output; } ;; esac
  return 0
}

# The GPT of image $1, made by sfdisk (128 entries, the backup at the end), after a run: sgdisk -v
# finds no problem (it also finds copies that are not one table), sfdisk --verify no error, and no
# byte changed since the run's snapshot outside entries $2... (0-based, their type and attributes)
# of either array and the CRC fields of either header. What is wrong fails the case.
gpt_judged() {  # image entry...
  local words wrong bad='Caution|corrupt|ERROR|invalid|differ|match'
  wrong=$(changed_bytes "$1" | python3 -c '
import os, sys
last = os.path.getsize(sys.argv[1]) // 512 - 1
allowed = {h * 512 + o for h in (1, last) for o in (*range(16, 20), *range(88, 92))}
for at in (a * 512 + int(e) * 128 for a in (2, last - 32) for e in sys.argv[2:]):
    allowed |= {*range(at, at + 16), *range(at + 48, at + 56)}
for line in sys.stdin:
    if int(line.split()[0]) not in allowed:
        print("byte %s changed outside the entries and the CRC fields" % line.split()[0])
' "$@") || wrong+=" cannot compare with the copy"
  words=$(sgdisk -v "$1" 2>&1) || true
  grep -q 'No problems found' <<<"$words" && ! grep -qE "$bad" <<<"$words" ||
    wrong+=" sgdisk -v: $words"
  words=$(sfdisk --verify "$1" 2>&1) || true
  grep -q 'No errors detected' <<<"$words" && ! grep -qE "$bad" <<<"$words" ||
    wrong+=" sfdisk --verify: $words"
  [ -z "$wrong" ] || fail "$(basename "$1"): $wrong"
}

# Windows' layout in 128 entries, for sfdisk: EFI system, reserved, basic data, recovery.
readonly BASIC=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7 RECOVERY=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC
# shellcheck disable=SC2034  # for the scripts that source this file
readonly WINDOWS_GPT="size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B
size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE
size=700MiB, type=$BASIC
size=100MiB, type=$RECOVERY"

# The type and attributes sfdisk -J lists for partition $2 of image $1: "TYPE attrs".
listed() { sfdisk -J "$1" | python3 -c 'import json, sys
p = json.load(sys.stdin)["partitiontable"]["partitions"][int(sys.argv[1]) - 1]
print(p["type"], p.get("attrs", "-"))' "$2"; }

# `/LIST` (or the word given) changing nothing; its rows (cells joined by "|") on standard input.
list() {  # [status [word]]
  local want got
  want=$(echo "盘符|卷标|磁盘|分区|分区标记|分区格式|分区类型|容量（M）|剩余空间（M）|磁盘类型"; cat)
  expect "${1:-0}" "" "${2:-/LIST}"
  got=$(tr '\t' '|' <"$CASE_DIR/stdout.txt")
  [ "$got" = "$want" ] && return 0
  fail "listing differs (< expected, > actual)"
  diff <(echo "$want") <(echo "$got") | grep '^[<>]' | head -30 | sed 's/^/    /' || true
}
