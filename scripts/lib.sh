# Shared steps of the README's commands: packages, display and Wine prefix.

TARNEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WINE64=/usr/lib/wine/wine64

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages of the list that are missing, and only those.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

BUILD_PACKAGES=(cmake make python3 googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686)
RUN_PACKAGES=(wine wine64 fonts-wine xvfb xauth x11-utils)

# Starts a private X server when there is no display; sets DISPLAY and XVFB_PID.
start_display() {
    XVFB_PID=
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    local number
    for number in $(seq 91 140); do
        [ -e "/tmp/.X${number}-lock" ] && continue
        Xvfb ":${number}" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 50); do
            if DISPLAY=":${number}" xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=":${number}"
                return
            fi
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
    done
    echo "no X display could be started" >&2
    return 1
}

stop_display() {
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
    return 0
}

# Creates the build's private Wine prefix once and keeps one Wine server for the run.
start_wine() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating Wine prefix $WINEPREFIX"
        "$WINE64" wineboot --init >/dev/null 2>&1
        # A crashing program ends at once instead of waiting in the debugger.
        local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        "$WINE64" reg add "$aedebug" /v Debugger /t REG_SZ /d "no-debugger.exe" /f >/dev/null 2>&1
        "$WINE64" reg add "$aedebug" /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
        # With no window manager, managed windows make Wine wait about two
        # seconds whenever one is hidden; unmanaged ones do not.
        "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    fi
    # A persistent server saves a Wine start-up per test program.
    wineserver -p >/dev/null 2>&1 || true
}

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    return 0
}
