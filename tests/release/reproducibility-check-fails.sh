#!/usr/bin/env bash
# The reproducibility check must be able to fail: two builds whose programs differ in one byte are
# reported as such, with an exit code that stops the test command.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for copy in first second; do
    mkdir -p "$scratch/$copy/build/windows/bin" "$scratch/$copy/build/release"
    for made in windows/bin/Kestrane.exe windows/bin/Halvicor.exe release/package.zip; do
        echo "the same bytes" >"$scratch/$copy/build/$made"
    done
done
echo "one more line" >>"$scratch/second/build/windows/bin/Halvicor.exe"
if scripts/check-reproducible --compare "$scratch/first" "$scratch/second" >"$scratch/out.txt"; then
    cat "$scratch/out.txt"
    echo "FAIL: two builds that differ passed the reproducibility check"
    exit 1
fi
grep -q '^NOT REPRODUCIBLE: Halvicor.exe' "$scratch/out.txt" || {
    cat "$scratch/out.txt"
    echo "FAIL: the check failed without naming Halvicor.exe"
    exit 1
}
echo "ok: two builds that differ fail the reproducibility check"
