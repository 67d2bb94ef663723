#!/usr/bin/env bash
# The Win32 volume-label calls under Wine in a Western code page: the platform tests of the
# program's build.
if [ "$(basename "$1")" = Quenbolt.exe ] && ! "$QUENBOLT_ROOT/scripts/wine" --runs-32; then
  echo "skipped: the 32-bit build: $("$QUENBOLT_ROOT/scripts/wine" --why-not-32)"; exit 77
fi
exec bash "$QUENBOLT_ROOT/tests/platform/wine_label_check.sh" "$QUENBOLT_WIN32_BUILD/tests/platform_tests.exe"
