#!/usr/bin/env bash
# The Win32 raw-disk, registry and DOS-name paths against a sparse image linked as a physical drive.
set -euo pipefail
exec bash "$QUENBOLT_ROOT/tests/platform/wine_disk_check.sh" "$QUENBOLT_WIN32_BUILD/tests/platform_tests.exe"
