#!/usr/bin/env bash
# The release package as an installer author gets it: scripts/release writes an archive that holds exactly
# the programs, the recipes and README.txt; its programs are the ones the tests ran; its checksums check.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
scripts/release >build/release.out || { cat build/release.out; echo "FAIL: scripts/release failed"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
archives=(build/release/*.zip)
[ ${#archives[@]} -eq 1 ] || fail "build/release holds ${#archives[@]} archives"
archive=${archives[0]}
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $(basename "$archive") == qortavro-helpers-$version*-win-x64.zip ]] || fail "$archive is not named for version $version"

expected=$'README.txt\nbin/Halvicor.exe\nbin/Kestrane.exe\nexamples/installer/helpers.nsi\nexamples/installer/helpers.wxs'
listed=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$archive")
[ "$listed" = "$expected" ] || fail "the archive holds: $(tr '\n' ' ' <<<"$listed")"
for program in Kestrane.exe Halvicor.exe; do
    python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' \
        "$archive" "bin/$program" | cmp -s - "build/windows/bin/$program" ||
        fail "bin/$program in the archive is not build/windows/bin/$program"
done
(cd build/release && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
grep -q '^Using the helpers in an installer' build/release/README.txt || fail "README.txt lacks the installer section"
cat build/release.out
[ "$failures" -eq 0 ] && echo "release package checked" || { echo "$failures failure(s)"; exit 1; }
