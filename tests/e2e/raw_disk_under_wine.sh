#!/usr/bin/env bash
# The Win32 raw-disk, registry and DOS-name paths against a sparse image linked as a physical drive,
# with the platform tests of the same build as the program given.
set -euo pipefail
wine=$QUENBOLT_ROOT/scripts/wine
if [ "$(basename "$1")" = Quenbolt.exe ] && ! "$wine" --runs-32; then
  echo "skipped: the 32-bit build: $("$wine" --why-not-32)"
  exit 77
fi
exec bash "$QUENBOLT_ROOT/tests/platform/wine_disk_check.sh" "$QUENBOLT_WIN32_BUILD/tests/platform_tests.exe"
