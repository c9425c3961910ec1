#!/usr/bin/env bash
# The reproducibility check must be able to fail: two builds that differ in any one of the files it
# compares (either program, the archive, the SBOM, the checksums, a signature or a signed program's bytes
# without it) are reported as such, naming the file, with an exit code that stops the test command. And the
# release builds its first copy's programs without SOURCE_DATE_EPOCH, as the check asks it to.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
made=(release/bin/Kestrane.exe release/bin/Halvicor.exe release/package.zip release/package.spdx.json
    release/SHA256SUMS release/signatures/Kestrane.exe.pem release/signatures/Halvicor.exe.pem
    release/unsigned/Kestrane.exe release/unsigned/Halvicor.exe)
for differing in "${made[@]}"; do
    for copy in first second; do
        rm -rf "${scratch:?}/$copy"
        mkdir -p "$scratch/$copy/build/release/bin" "$scratch/$copy/build/release/signatures" \
            "$scratch/$copy/build/release/unsigned"
        for file in "${made[@]}"; do
            echo "the same bytes" >"$scratch/$copy/build/$file"
        done
    done
    echo "one more line" >>"$scratch/second/build/$differing"
    if scripts/release-parts/check-reproducible --compare "$scratch/first" "$scratch/second" >"$scratch/out.txt" ||
        ! grep -q "^NOT REPRODUCIBLE: $(basename "$differing")" "$scratch/out.txt"; then
        cat "$scratch/out.txt"
        echo "FAIL: two builds whose $(basename "$differing") differs were not reported as such"
        failures=$((failures + 1))
    fi
done
[ "$failures" -eq 0 ] && echo "ok: two builds that differ in any file fail the reproducibility check" || exit 1

# The check's first copy builds without SOURCE_DATE_EPOCH, so that a time the compiler or linker wrote
# shows as a difference: the release hands its build none where asked, and keeps it otherwise. A CMake
# that tells what it was given and stops stands in for the build.
mkdir "$scratch/spy"
# shellcheck disable=SC2016 # expanded by the spy when it runs
printf '#!/bin/sh
echo "${SOURCE_DATE_EPOCH-unset}" >>"%s"
exit 1
' "$scratch/given" >"$scratch/spy/cmake"
chmod +x "$scratch/spy/cmake"
for untimed in 1 ""; do
    env -u HELPERS_RELEASE_CACHE PATH="$scratch/spy:$PATH" SOURCE_DATE_EPOCH=1767225600 \
        HELPERS_RELEASE_UNTIMED_BUILD=$untimed scripts/release --out "$scratch/release" >/dev/null 2>&1 || true
done
given=$(paste -sd' ' "$scratch/given" 2>/dev/null || true)
[ "$given" = "unset 1767225600" ] || {
    echo "FAIL: the release's build was given SOURCE_DATE_EPOCH '$given', not 'unset' then '1767225600'"
    exit 1
}
echo "ok: the release builds without SOURCE_DATE_EPOCH where asked, and with it otherwise"
