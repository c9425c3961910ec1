# shellcheck shell=bash disable=SC2034 # the variables it sets are for the script that sources it
# Sourced by the scripts of Wine's 32-bit part: where its cached Debian root lies, and which programs need it.
# The root holds Wine's 32-bit half at the very version of the machine's wine64, which it must match, and
# qemu's user-mode emulator for i386 code; it is the user's own, kept between runs, never installed.

# Sets wine32_version and wine32_root; asked only where the root is needed, as dpkg takes a while to answer.
wine32_locate() {
    wine32_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)
    wine32_root=${XDG_CACHE_HOME:-$HOME/.cache}/installer-helpers/wine-32-bit-${wine32_version:-none}
}

# True when the root is there and whole: the fetch marks it only once it has checked it.
wine32_fetched() { [ -f "$wine32_root/.fetched" ]; }

# True for a 32-bit x86 Windows program: "MZ", and its PE header's machine is i386 (0x14c). Every Windows
# program a test starts asks this, so the header is read in one go where it lies in the first kilobyte.
is_pe32() { # file
    local bytes header
    [ -f "$1" ] || return 1
    # shellcheck disable=SC2207 # od's numbers, split at white space
    bytes=($(od -An -v -t u1 -N 1024 "$1" 2>/dev/null))
    [ "${#bytes[@]}" -ge 64 ] && [ "${bytes[0]}" -eq 77 ] && [ "${bytes[1]}" -eq 90 ] || return 1
    header=$((bytes[60] + bytes[61] * 256 + bytes[62] * 65536 + bytes[63] * 16777216))
    # shellcheck disable=SC2207 # as above
    [ $((header + 5)) -lt "${#bytes[@]}" ] || bytes=($(od -An -v -t u1 -j "$header" -N 6 "$1") 0 0 0 0 0 0) header=0
    [ "${bytes[header + 4]}" -eq 76 ] && [ "${bytes[header + 5]}" -eq 1 ]
}
