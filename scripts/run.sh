#!/usr/bin/env bash
# Builds Tarnel and opens it under Wine. Without a display it starts a virtual
# one, waits for the main window and writes a screenshot whose path it prints.
#   scripts/run.sh [x86_64|i686] [path to show first]     (x86_64 by default)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$TARNEL_ROOT"

arch=x86_64
if [ $# -gt 0 ] && { [ "$1" = x86_64 ] || [ "$1" = i686 ]; }; then
    arch=$1
    shift
fi
ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" xdotool imagemagick
# 64-bit Wine starts either kind of program; a 32-bit one needs the 32-bit half too.
[ "$arch" = i686 ] && ensure_32bit_wine
wine64=/usr/lib/wine/wine64

cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" --target tarnel
program="$TARNEL_ROOT/build/$arch/bin/tarnel.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    start_wine "$TARNEL_ROOT/build/$arch/wineprefix"
    exec "$wine64" "$program" "$@"
fi

trap 'stop_wine; stop_display' EXIT
start_display
start_wine "$TARNEL_ROOT/build/$arch/wineprefix"
# Wine's virtual desktop draws the caption and frame a screenshot wants.
"$wine64" explorer /desktop=Tarnel,1024x740 "$program" "$@" >/dev/null 2>&1 &

# A 32-bit start spends about 45 s in the i386 emulator before the window shows.
window=
for _ in $(seq 1 240); do
    window=$(xdotool search --name '^Tarnel$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "The main window did not appear." >&2
    exit 1
fi
sleep 2
screenshot="$TARNEL_ROOT/build/$arch/tarnel-screenshot.png"
import -window root -crop 1024x740+0+0 +repage "$screenshot"
echo "Tarnel ($arch) is running on the virtual display $DISPLAY; screenshot: $screenshot"
