# Shared steps of the README's commands: packages, the 32-bit Wine, display and Wine prefix.

TARNEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WINE_TEMPLATE="$TARNEL_ROOT/build/wine-template"

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

# qemu's entry for i386 programs, as its own binfmt table gives it; the kernel
# reads the \x escapes itself.
QEMU_I386_BINFMT=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
BINFMT_DIR=/proc/sys/fs/binfmt_misc

can_run_32bit_wine() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# 32-bit Windows programs run under Debian's 32-bit Wine. Where the kernel
# cannot execute 32-bit programs itself, binfmt_misc hands them to qemu's i386
# emulator. As root (or with sudo that asks for no password) this is set up
# here; otherwise the steps to run as root are printed and nothing is done.
ensure_32bit_wine() {
    local steps=()
    dpkg --print-foreign-architectures | grep -qx i386 || steps+=("dpkg --add-architecture i386")
    local package missing=()
    for package in wine32 qemu-user-static; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        steps+=("apt-get update" "DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}")
    fi
    if [ ${#steps[@]} -eq 0 ] && can_run_32bit_wine; then return 0; fi

    local register="mountpoint -q $BINFMT_DIR || mount -t binfmt_misc binfmt_misc $BINFMT_DIR; if [ -e $BINFMT_DIR/qemu-i386 ]; then echo 1 > $BINFMT_DIR/qemu-i386; else printf '%s\\n' '$QEMU_I386_BINFMT' > $BINFMT_DIR/register; fi"
    if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
        echo "The 32-bit test run needs these steps, run as root:" >&2
        [ ${#steps[@]} -eq 0 ] || printf '  %s\n' "${steps[@]}" >&2
        echo "and, where /usr/lib/wine/wine --version then fails (the kernel runs no 32-bit programs):" >&2
        echo "  $register" >&2
        return 1
    fi
    local step
    for step in "${steps[@]}"; do
        echo "Running: $step"
        as_root bash -c "$step" >/dev/null
    done
    if can_run_32bit_wine; then return 0; fi

    echo "The kernel cannot run 32-bit programs: handing them to qemu's i386 emulator"
    as_root bash -c "$register"
    if ! can_run_32bit_wine; then
        echo "32-bit Wine still does not run (/usr/lib/wine/wine --version fails)" >&2
        return 1
    fi
}

# Starts a private X server when there is no display; sets DISPLAY and XVFB_PID.
start_display() {
    XVFB_PID=
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    local number_file
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$number_file" ] && break
        sleep 0.1
    done
    if [ ! -s "$number_file" ]; then
        rm -f "$number_file"
        echo "no X display could be started" >&2
        return 1
    fi
    export DISPLAY=":$(head -n 1 "$number_file")"
    rm -f "$number_file"
}

stop_display() {
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
    return 0
}

# Uses the Wine prefix given, made from the shared template when it does not
# exist yet (an existing one keeps its settings between runs), and keeps one
# Wine server for the run.
start_wine() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating Wine prefix $WINEPREFIX"
        "$TARNEL_ROOT/cmake/wine-prefix.sh" "$WINE_TEMPLATE" "$WINEPREFIX"
    fi
    # A persistent server saves a Wine start-up per program.
    wineserver -p >/dev/null 2>&1 || true
}

stop_wine() {
    wineserver -k >/dev/null 2>&1 || true
    return 0
}
