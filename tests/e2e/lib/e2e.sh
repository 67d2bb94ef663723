# Shared harness of the end-to-end scripts: the real Quenbolt.exe under Wine against disk images.
# Sourced, never run. A script calls e2e_init with its arguments, runs its cases with e2e_case and
# ends with e2e_finish:
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/e2e.sh"
#   e2e_init "$@"
#   case_sets_type() {
#     local d; d=$(new_image d0 64M)
#     partition "$d" <<<'start=2048, size=8192, type=7'
#     attach "$d"; snapshot
#     run_qb /M 1 1 0C
#     expect_status 0
#     expect_changes "$d" "450 07 0c"
#   }
#   e2e_case m_sets_type case_sets_type
#   e2e_finish
#
# Every case runs in a subshell of its own, in a directory of its own, against a freshly started
# wineserver; one Wine prefix and one Xvfb serve all cases of a script. A case prints
# "PASS name" or "FAIL name" followed by the reasons; e2e_finish exits 1 when any case failed.
#
# Environment: QUENBOLT_ROOT (repository root), QUENBOLT_ARTIFACTS (where a failed case leaves
# its program output), QUENBOLT_E2E_KEEP=1 keeps the work directory for a look afterwards.

set -uo pipefail
export PATH=$PATH:/usr/sbin:/sbin

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Wine is reached only through the project's helper, which picks the loader the host can run.
QB_WINE=$(cd "$E2E_LIB_DIR/../../.." && pwd)/scripts/wine
QB_REG_KEY='HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum'

e2e_passed=0 e2e_failed=0 e2e_skipped=0
e2e_work="" e2e_xvfb_pid=""

# ---------------------------------------------------------------------------------------------
# Set-up and tear-down

e2e_skip_script() {  # reason: the machine cannot run these cases at all
  echo "SKIP all: $1"
  exit 77
}

e2e_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  [ -n "$e2e_xvfb_pid" ] && kill "$e2e_xvfb_pid" 2>/dev/null
  if [ -n "$e2e_work" ] && [ -d "$e2e_work" ]; then
    # Images made unwritable for a case must be writable again before they can go.
    chattr -R -i "$e2e_work/cases" >/dev/null 2>&1 || true
    if [ "${QUENBOLT_E2E_KEEP:-0}" = 1 ]; then
      echo "kept: $e2e_work"
    else
      rm -rf "$e2e_work"
    fi
  fi
}

# Starts Xvfb on a display it picks itself. Wine cannot create even a hidden window without a
# display, and the program makes its (hidden) main window in batch mode too.
e2e_start_xvfb() {
  local fd_file=$e2e_work/display i
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >"$e2e_work/xvfb.log" 2>&1 &
  e2e_xvfb_pid=$!
  for i in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { cat "$e2e_work/xvfb.log"; echo "Xvfb did not start"; exit 1; }
  export DISPLAY=:$(tr -dc 0-9 <"$fd_file")
}

e2e_init() {  # <path to Quenbolt.exe>
  QB_EXE=${1:-}
  local c
  for c in wineserver Xvfb sfdisk mkfs.fat cc; do
    command -v "$c" >/dev/null 2>&1 || e2e_skip_script "$c is not installed (scripts/setup installs it)"
  done
  if [ -z "$QB_EXE" ] || [ ! -f "$QB_EXE" ]; then
    echo "FAIL all: no program at '${QB_EXE}'"
    exit 1
  fi
  QB_EXE=$(realpath "$QB_EXE")
  case $(basename "$QB_EXE") in
    Quenbolt.exe) "$QB_WINE" --runs-32 || e2e_skip_script "$QB_EXE is 32-bit: $("$QB_WINE" --why-not-32)" ;;
  esac

  e2e_work=$(mktemp -d "${TMPDIR:-/tmp}/quenbolt-e2e.XXXXXX")
  trap e2e_cleanup EXIT
  mkdir -p "$e2e_work/cases"
  cc -O2 -o "$e2e_work/sparse_cmp" "$E2E_LIB_DIR/sparse_cmp.c" || { echo "cannot build sparse_cmp"; exit 1; }

  export WINEPREFIX=$e2e_work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  e2e_start_xvfb
  local start=$SECONDS
  if ! "$QB_WINE" wineboot -i >"$e2e_work/wineboot.log" 2>&1 </dev/null; then
    cat "$e2e_work/wineboot.log"
    echo "FAIL all: wineboot"
    exit 1
  fi
  wineserver -w
  echo "prefix ready in $((SECONDS - start))s (display $DISPLAY)"
}

e2e_finish() {
  echo "$e2e_passed passed, $e2e_failed failed, $e2e_skipped skipped"
  [ "$e2e_failed" = 0 ]
}

# Runs one case: the function, in a subshell, in the case's own directory, against a wineserver
# started afresh, so that DOS device names one run defined cannot leak into the next.
e2e_case() {  # name function
  local name=$1 fn=$2 rc=0
  CASE_DIR=$e2e_work/cases/$name
  mkdir -p "$CASE_DIR"
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -f "$WINEPREFIX"/dosdevices/physicaldrive*
  # Not part of an || list: bash would then ignore the ERR trap inside the subshell.
  (
    cd "$CASE_DIR" || exit 1
    case_failures=0
    # A set-up step that fails is the case's failure, not a silently shorter case.
    set -E
    trap 'echo "  set-up command failed (line $LINENO): $BASH_COMMAND" >&2; exit 1' ERR
    "$fn"
    exit "$case_failures"
  ) >"$CASE_DIR/case.log" 2>&1
  rc=$?
  case $rc in
    0) e2e_passed=$((e2e_passed + 1)); echo "PASS $name" ;;
    77) e2e_skipped=$((e2e_skipped + 1)); echo "SKIP $name"; sed 's/^/  /' "$CASE_DIR/case.log" ;;
    *)
      e2e_failed=$((e2e_failed + 1))
      echo "FAIL $name"
      cat "$CASE_DIR/case.log"
      if [ -n "${QUENBOLT_ARTIFACTS:-}" ]; then
        mkdir -p "$QUENBOLT_ARTIFACTS/$name"
        cp "$CASE_DIR"/*.txt "$CASE_DIR/case.log" "$QUENBOLT_ARTIFACTS/$name/" 2>/dev/null
      fi
      ;;
  esac
  # The images of a passed case are of no further use; a long script would fill the disk.
  if [ "$rc" = 0 ] && [ "${QUENBOLT_E2E_KEEP:-0}" != 1 ]; then
    chattr -R -i "$CASE_DIR" >/dev/null 2>&1 || true
    rm -rf "$CASE_DIR"
  fi
}

skip_case() {  # reason
  echo "$1"
  exit 77
}

# ---------------------------------------------------------------------------------------------
# Disk images

new_image() {  # name size (as truncate takes it: 64M, 5G) -> prints the path
  local path=$CASE_DIR/$1.img
  rm -f "$path"
  truncate -s "$2" "$path"
  echo "$path"
}

# Writes a DOS partition table with sfdisk from its script on standard input. A fixed disk
# identifier keeps the images alike from run to run.
partition() {  # image
  { echo 'label: dos'; echo 'label-id: 0x51424c54'; cat; } |
    sfdisk -q --no-reread --no-tell-kernel "$1" >/dev/null
}

# Formats a stretch of the image as FAT32 with the given label (one sector per cluster, so a
# 33 MB stretch is enough) and a fixed volume serial.
format_fat32() {  # image start-sector sector-count label
  mkfs.fat -F 32 -s 1 -i 51424c54 -n "$4" --offset "$2" -h "$2" "$1" "$(($3 / 2))" >/dev/null 2>&1
}

# Writes raw bytes given as hex pairs ("55 aa" or "55aa") at a byte offset.
put_bytes() {  # image offset hex...
  local img=$1 off=$2 hex esc=""
  shift 2
  hex=$(echo "$*" | tr -d ' ')
  while [ -n "$hex" ]; do
    esc+="\\x${hex:0:2}"
    hex=${hex:2}
  done
  printf "$esc" | dd of="$img" bs=1 seek="$off" conv=notrunc status=none
}

le32() {  # value -> eight hex digits, little-endian
  local v=$1
  printf '%02x%02x%02x%02x' $((v & 255)) $(((v >> 8) & 255)) $(((v >> 16) & 255)) $(((v >> 24) & 255))
}

# Writes one 16-byte partition entry (CHS fields zero) into the table sector at `sector`.
put_entry() {  # image sector slot boot-hex type-hex start count
  put_bytes "$1" $(($2 * 512 + 446 + 16 * $3)) "$4 000000 $5 000000 $(le32 "$6") $(le32 "$7")"
}

# Writes an EBR's two entries and signature in one go: the logical partition (start counted from
# the EBR) and the link to the next EBR (start counted from the container; 0 ends the chain).
put_ebr() {  # image sector type-hex start count link-start
  put_bytes "$1" $(($2 * 512 + 446)) "00 000000 $3 000000 $(le32 "$4") $(le32 "$5")" \
    "00 000000 $([ "$6" = 0 ] && echo 00 || echo 05) 000000 $(le32 "$6") $(le32 "$5")" \
    "$(printf '0%.0s' $(seq 64))" 55aa
}

put_signature() {  # image sector
  put_bytes "$1" $(($2 * 512 + 510)) 55aa
}

byte_at() {  # image offset -> two hex digits
  od -An -tx1 -j "$2" -N1 "$1" | tr -d ' \n'
}

# Writes GBK bytes of a UTF-8 text as the 11-byte label of the FAT32 boot sector at `sector`
# (blank-padded), the way a Chinese Windows leaves it.
put_boot_label() {  # image sector text
  local hex
  hex=$(printf '%s' "$3" | iconv -f UTF-8 -t GBK | od -An -tx1 | tr -d ' \n')
  while [ ${#hex} -lt 22 ]; do hex+=20; done
  put_bytes "$1" $(($2 * 512 + 0x47)) "${hex:0:22}"
}

# Makes an image unwritable even for root (the program then cannot open it for writing).
make_read_only() {  # image
  chmod a-w "$1"
  if [ "$(id -u)" = 0 ]; then
    chattr +i "$1" 2>/dev/null || skip_case "cannot make $1 immutable here (chattr +i)"
  fi
  if (: >>"$1") 2>/dev/null; then skip_case "cannot make $1 unwritable here"; fi
}

# ---------------------------------------------------------------------------------------------
# The machine: physical drives and their registry values

# Makes the images the machine's physical drives, in order: \\.\PHYSICALDRIVE0 is the first.
# Each argument is an image path, "usb:<path>" for a disk on USB mass storage, "-" for a disk the
# registry counts but that is not there, or "dangling" for a link to a file that does not exist.
attach() {
  ATTACHED=()
  local n=0 arg img path
  local reg=$CASE_DIR/disks.reg
  {
    printf 'REGEDIT4\r\n\r\n[-%s]\r\n\r\n[%s]\r\n' "${QB_REG_KEY/HKLM/HKEY_LOCAL_MACHINE}" \
      "${QB_REG_KEY/HKLM/HKEY_LOCAL_MACHINE}"
    printf '"Count"=dword:%08x\r\n' "$#"
    for arg in "$@"; do
      case $arg in
        usb:*) path='USBSTOR\\Disk&Ven_Quenbolt&Prod_Image&Rev_1.00\\'"$n" ;;
        *) path='SCSI\\Disk&Ven_Quenbolt&Prod_Image\\'"$n" ;;
      esac
      printf '"%d"="%s"\r\n' "$n" "$path"
      n=$((n + 1))
    done
  } >"$reg"
  "$QB_WINE" regedit /S "Z:${reg//\//\\}" </dev/null
  n=0
  for arg in "$@"; do
    img=${arg#usb:}
    case $img in
      -) ;;
      dangling) ln -sfn "$CASE_DIR/no-such-image.img" "$WINEPREFIX/dosdevices/physicaldrive$n" ;;
      *)
        ln -sfn "$img" "$WINEPREFIX/dosdevices/physicaldrive$n"
        ATTACHED+=("$img")
        ;;
    esac
    n=$((n + 1))
  done
}

# Keeps a copy of every attached image (instant: sparse copies) to compare with after the run.
snapshot() {
  local img
  for img in "${ATTACHED[@]}"; do cp --sparse=always "$img" "$img.before"; done
}

# ---------------------------------------------------------------------------------------------
# Running the program

# Runs Quenbolt.exe with the arguments; sets QB_STATUS, and leaves standard output and standard
# error in stdout.txt and stderr.txt of the case directory. A run that hangs is ended after a
# minute (status 124).
run_qb() {
  QB_STATUS=0
  echo "\$ Quenbolt.exe $*" >>"$CASE_DIR/commands.txt"
  timeout 60 "$QB_WINE" "$QB_EXE" "$@" </dev/null >"$CASE_DIR/stdout.txt" 2>"$CASE_DIR/stderr.txt" ||
    QB_STATUS=$?
}

# ---------------------------------------------------------------------------------------------
# Checks: each records a failure with its reason and lets the case go on.

fail() {
  echo "  $*"
  case_failures=1
}

show_output() {
  echo "  --- stdout ---"
  sed 's/^/  | /' "$CASE_DIR/stdout.txt" | head -40
  echo "  --- stderr ---"
  sed 's/^/  | /' "$CASE_DIR/stderr.txt" | head -20
}

expect_status() {  # status
  if [ "$QB_STATUS" != "$1" ]; then
    fail "exit status $QB_STATUS, expected $1 ($(tail -n1 "$CASE_DIR/commands.txt"))"
    show_output
  fi
}

# Exactly these bytes differ from the snapshot, each given as "offset old new" (decimal offset,
# hex bytes); every other byte of the image is as it was.
expect_changes() {  # image ["offset old new"]...
  local img=$1
  shift
  local want got
  want=$(for c in "$@"; do echo "$c"; done | awk 'NF { print $1, tolower($2), tolower($3) }' | sort -n)
  local rc=0
  got=$("$e2e_work/sparse_cmp" "$img.before" "$img") || rc=$?
  if [ "$rc" -gt 1 ]; then fail "$(basename "$img"): cannot compare with its snapshot"; return; fi
  if [ "$got" != "$want" ]; then
    fail "$(basename "$img"): bytes changed not as expected"
    diff <(echo "$want") <(echo "$got") | sed -n 's/^</    expected:/p; s/^>/    actual:  /p' | head -20
    [ -z "$want" ] && echo "    expected: no change"
    [ -z "$got" ] && echo "    actual:   no change"
  fi
}

expect_unchanged() {  # [image]... (default: every attached image)
  local img
  [ $# -gt 0 ] || set -- "${ATTACHED[@]}"
  for img in "$@"; do expect_changes "$img"; done
}

# The rows of the "/LIST" output, without the header line. Rows come on standard input, one per
# line, cells separated by "|" instead of tabs for readability.
expect_rows() {
  local want got
  want=$(tr '|' '\t')
  got=$(tail -n +2 "$CASE_DIR/stdout.txt")
  if [ "$got" != "$want" ]; then
    fail "listing differs (< expected, > actual; tabs shown as |)"
    diff <(echo "$want" | tr '\t' '|') <(echo "$got" | tr '\t' '|') | sed 's/^/    /' | head -30
  fi
}

expect_stdout_empty() {
  [ -s "$CASE_DIR/stdout.txt" ] && { fail "unexpected standard output"; show_output; }
  return 0
}

expect_stderr_has() {  # fixed text
  grep -qF -- "$1" "$CASE_DIR/stderr.txt" || { fail "standard error lacks '$1'"; show_output; }
}

expect_stderr_empty() {
  [ -s "$CASE_DIR/stderr.txt" ] && { fail "unexpected standard error"; show_output; }
  return 0
}

# Standard error is exactly these lines, and nothing else.
expect_stderr_lines() {  # line...
  local want got
  want=$(printf '%s\n' "$@")
  got=$(tr -d '\r' <"$CASE_DIR/stderr.txt")
  [ "$got" = "$want" ] || { fail "standard error is not as expected: $(printf "'%s' " "$@")"; show_output; }
}

# The line of a run that wrote the table of disk n (counted from 1): under Wine the system cannot
# be asked to read a disk that is an image file again (IOCTL_DISK_UPDATE_PROPERTIES fails with
# error 50), so every run that writes a table says so, once for each disk it wrote.
not_reread() {  # disk
  echo "磁盘 $1：分区表已写入，但系统未能重新读取，重新启动 Windows 后生效"
}
