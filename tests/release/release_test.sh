#!/usr/bin/env bash
# scripts/release run twice, into two build trees and two output folders, must give byte-identical
# zips; unpacked, the sums check out and the guide is what Notepad reads well (UTF-8 with BOM, CRLF
# line ends) and covers every batch command and every exit status of the README's table.
# Prints one line per case: PASS/FAIL <name>.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quenbolt-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # name command...
  if "${@:2}" >"$work/$1.log" 2>&1; then echo "PASS $1"; else
    echo "FAIL $1"; tail -n 20 "$work/$1.log" | sed 's/^/  /'; failures=$((failures + 1))
  fi
}

release_twice() {
  local n
  for n in 1 2; do QUENBOLT_BUILD_ROOT=$work/build$n QUENBOLT_DIST=$work/dist$n "$root/scripts/release" || return 1; done
}
check builds_twice release_twice
zip=$(ls "$work"/dist1/Quenbolt-*.zip 2>/dev/null)
check same_bytes_twice cmp "$zip" "$work/dist2/$(basename "$zip")"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
entries() { [ "$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")" = \
  "Quenbolt.exe Quenbolt64.exe guide-zh_CN.txt SHA256SUMS" ]; }
check entries entries
# shellcheck disable=SC2016  # $1 is the inner shell's: the unpacked folder
check sums_check_out sh -c 'cd "$1" && sha256sum -c SHA256SUMS' - "$work/unpacked"

guide=$work/unpacked/guide-zh_CN.txt
notepad_text() {
  [ "$(head -c 3 "$guide" | od -An -tx1 | tr -d ' ')" = efbbbf ] || { echo "no UTF-8 BOM"; return 1; }
  [ "$(grep -c $'\r$' "$guide")" = "$(wc -l <"$guide")" ] || { echo "a line does not end in CRLF"; return 1; }
  iconv -f UTF-8 -t UTF-16 "$guide" >/dev/null || { echo "not UTF-8"; return 1; }
}
check guide_for_notepad notepad_text
covers_everything() {
  local word missing=0
  for word in /M /F /L /S /A /G /LIST "/?" 管理员 Quenbolt.exe Quenbolt64.exe "Windows PE"; do
    grep -qF -- "$word" "$guide" || { echo "the guide never mentions $word"; missing=1; }
  done
  # shellcheck disable=SC2013  # the statuses are numbers, one a line
  for word in $(sed -n '/^| status | meaning |/,/^$/s/^| \([0-9]*\) |.*/\1/p' "$root/README.md"); do
    grep -qE "^\| *$word *\|" "$guide" || { echo "the guide's exit-status table lacks $word"; missing=1; }
  done
  return $missing
}
check guide_covers_commands_and_statuses covers_everything
[ $failures = 0 ]
