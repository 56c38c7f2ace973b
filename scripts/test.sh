#!/usr/bin/env bash
# Builds both architectures and runs the whole test suite under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$TARNEL_ROOT"

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"

# The 32-bit build cannot run here, but it must configure, compile and link.
cmake --preset i686 >/dev/null
cmake --build --preset i686
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64

trap 'stop_wine; stop_display' EXIT
start_display
start_wine "$TARNEL_ROOT/build/x86_64/wineprefix"
ctest --preset x86_64 "$@"
