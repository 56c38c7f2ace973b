#!/usr/bin/env bash
# Builds and runs the benchmark (huge directories, the Handles page, the Find boxes, snapshots) under Wine on a virtual display.
#   scripts/bench.sh [directories|handles|find|snapshot] [n ...]   (default: every part, sizes 1000 10000 30000)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$TARNEL_ROOT"

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target namespace_bench

trap 'stop_wine; stop_display' EXIT
start_display
start_wine "$TARNEL_ROOT/build/x86_64/wineprefix"
"$TARNEL_ROOT/build/x86_64/wine-run.sh" "$TARNEL_ROOT/build/x86_64/bin/namespace_bench.exe" "$@"
