#!/usr/bin/env bash
# Builds Tarnel and opens it under Wine. Without a display it starts a virtual
# one, waits for the main window and writes a screenshot whose path it prints.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$TARNEL_ROOT"

ensure_packages "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" xdotool imagemagick

cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target tarnel
program="$TARNEL_ROOT/build/x86_64/bin/tarnel.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    start_wine "$TARNEL_ROOT/build/x86_64/wineprefix"
    exec "$WINE64" "$program"
fi

trap 'stop_wine; stop_display' EXIT
start_display
start_wine "$TARNEL_ROOT/build/x86_64/wineprefix"
# Wine's virtual desktop draws the caption and frame a screenshot wants.
"$WINE64" explorer /desktop=Tarnel,1024x740 "$program" >/dev/null 2>&1 &

window=
for _ in $(seq 1 120); do
    window=$(xdotool search --name '^Tarnel$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "The main window did not appear." >&2
    exit 1
fi
sleep 2
screenshot="$TARNEL_ROOT/build/x86_64/tarnel-screenshot.png"
import -window root -crop 1024x740+0+0 +repage "$screenshot"
echo "Tarnel is running on the virtual display $DISPLAY; screenshot: $screenshot"
