#!/bin/sh
# Makes PREFIX a fresh Wine prefix, copied from TEMPLATE; the template is made
# first when it is missing. The copy links the template's files instead of
# copying them (a prefix holds over a gigabyte of DLLs that nothing writes);
# the registry files, which the Wine server rewrites, are real copies.
#
#   wine-prefix.sh TEMPLATE PREFIX
set -eu
template=$1
prefix=$2
wine64=/usr/lib/wine/wine64

make_template() {
    rm -rf "$template.new"
    mkdir -p "$template.new"
    export WINEPREFIX="$template.new" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    "$wine64" wineboot --init >/dev/null 2>&1
    settings=$(mktemp --suffix=.reg)
    # A crashing program ends at once instead of waiting in the debugger.
    # With no window manager, managed windows make Wine wait about two
    # seconds whenever one is hidden; unmanaged ones do not.
    cat >"$settings" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="no-debugger.exe"
"Auto"="1"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
    "$wine64" regedit /S "$settings" >/dev/null 2>&1
    rm -f "$settings"
    wineserver -w
    mv "$template.new" "$template"
}

mkdir -p "$(dirname "$template")"
(
    flock 9
    [ -f "$template/system.reg" ] || make_template
) 9>"$template.lock"

rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cp -al "$template" "$prefix"
for registry in "$template"/*.reg; do
    rm -f "$prefix/$(basename "$registry")"
    cp "$registry" "$prefix/"
done
