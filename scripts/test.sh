#!/usr/bin/env bash
# Builds both architectures and runs the whole test suite on both under Wine:
# the 64-bit programs under 64-bit Wine, the 32-bit ones under 32-bit Wine
# (through qemu's i386 emulator where the kernel cannot run them itself).
# Exits non-zero when anything fails on either architecture.
#   scripts/test.sh [ctest options...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$TARNEL_ROOT"

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
ensure_32bit_wine

for arch in i686 x86_64; do
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch"
done

# Each test program gets a Wine prefix and a virtual display of its own
# (cmake/wine-run.sh.in), so the programs run two at a time.
failed=()
for arch in x86_64 i686; do
    echo "== Tests on $arch"
    ctest --preset "$arch" "$@" || failed+=("$arch")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Tests failed on: ${failed[*]}" >&2
    exit 1
fi
