# shellcheck shell=bash disable=SC2034 # the variables it sets are for the script that sources it
# Sourced by the scripts of Wine's 32-bit part: where its cached Debian root lies, and which programs need it.
# The root holds Wine's 32-bit half at the very version of the machine's wine64, which it must match, and
# qemu's user-mode emulator for i386 code; it is the user's own, kept between runs, never installed.

wine32_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
wine32_root=${XDG_CACHE_HOME:-$HOME/.cache}/installer-helpers/wine-32-bit-${wine32_version:-none}

# True when the root is there and whole: the fetch marks it only once it has checked it.
wine32_fetched() { [ -f "$wine32_root/.fetched" ]; }

# True for a 32-bit x86 Windows program: its PE header's machine is i386 (0x14c).
is_pe32() { # file
    local header machine
    [ -f "$1" ] && [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 1
    header=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    machine=$(od -An -t x1 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
    [ "$machine" = 4c01 ]
}
