#!/usr/bin/env bash
# The release package as an installer author gets it: scripts/release writes an archive that holds exactly
# the programs, the recipes, README.txt and the third-party notices; its programs are the ones the tests
# ran; its checksums check; it names the commit it was made from.
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

# Exactly these entries, in this order, each with its fixed time and permissions (unpacked on Linux or
# macOS, an entry without them would be mode 0000).
expected=$'README.txt 644\nTHIRD-PARTY-NOTICES.txt 644\nbin/Halvicor.exe 755\nbin/Kestrane.exe 755\nexamples/installer/helpers.iss 644\nexamples/installer/helpers.nsi 644\nexamples/installer/helpers.wxs 644'
listed=$(python3 -c 'import sys, zipfile
for e in zipfile.ZipFile(sys.argv[1]).infolist():
    fixed = e.date_time == (1980, 1, 1, 0, 0, 0) and e.external_attr >> 28 == 8  # a regular file
    print(e.filename, oct(e.external_attr >> 16 & 0o777)[2:] if fixed else "not fixed")' "$archive")
[ "$listed" = "$expected" ] || fail "the archive holds, in order: $(tr '\n' ' ' <<<"$listed")"
for program in Kestrane.exe Halvicor.exe; do
    python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' \
        "$archive" "bin/$program" | cmp -s - "build/windows/bin/$program" ||
        fail "bin/$program in the archive is not build/windows/bin/$program"
done
(cd build/release && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
scripts/verify-release >build/verify.out 2>&1 || { cat build/verify.out; fail "verify-release of the unsigned release"; }
sbom=qortavro-helpers-$version.spdx.json
python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert d["spdxVersion"] == "SPDX-2.3"' "build/release/$sbom" ||
    fail "no SPDX 2.3 document $sbom"
[ "$(cut -d' ' -f3 build/release/SHA256SUMS | sort)" = "$(printf '%s\n' bin/Halvicor.exe bin/Kestrane.exe "$(basename "$archive")" "$sbom" | sort)" ] ||
    fail "SHA256SUMS names: $(cut -d' ' -f3 build/release/SHA256SUMS | tr '\n' ' ')"
readme=build/release/README.txt
for section in 'Using the helpers in an installer' 'Diagnostic log' 'The release' 'Known limitations' 'Supported Windows'; do
    grep -q "^$section"$'\r'"\$" "$readme" || fail "README.txt lacks the section $section"
done
# Plain text for Notepad: CR LF, none of Markdown's marks, nothing of the developers' tree or tests.
! grep -qv $'\r$' "$readme" || fail "README.txt has a line without CR LF: $(grep -v $'\r$' "$readme" | head -1)"
for mark in '`' '**' '](' '|' '<!--' 'scripts/' 'build/' 'tests/' 'docs/' 'test command'; do
    ! grep -qF -- "$mark" "$readme" || fail "README.txt holds $mark: $(grep -F -- "$mark" "$readme" | head -1)"
done
# What an author needs to weigh the release: it was tested under Wine, never on Windows.
readme_words=$(tr -d '\r' <"$readme" | tr '\n' ' ')
grep -qF 'built and tested under Wine 8.0 on Debian, never on Windows itself' <<<"$readme_words" ||
    fail "README.txt does not say that the programs were tested under Wine, never on Windows"
made_from=$(scripts/release --made-from)
grep -qF "Made from $made_from." "$readme" || fail "README.txt does not name $made_from"
grep -qF "\"built from $made_from\"" "build/release/$sbom" || fail "the SBOM does not name $made_from"
# What the static libraries' licences ask to ship: winpthreads' own text and the GCC runtime's exception.
notices=$(tr -d '\r' <build/release/THIRD-PARTY-NOTICES.txt)
for notice in 'Files: mingw-w64-libraries/winpthreads/\*' '^License: expat' 'GCC RUNTIME LIBRARY EXCEPTION' 'Version 3.1, 31 March 2009'; do
    grep -q "$notice" <<<"$notices" || fail "THIRD-PARTY-NOTICES.txt lacks $notice"
done
grep -q 'notices are in THIRD-PARTY-NOTICES.txt' "build/release/$sbom" || fail "the SBOM does not point to the notices"
# Each program by its own hash, linked statically with the runtime and the threads library.
python3 - "build/release/$sbom" build/release/bin <<'PY' || fail "the SBOM's programs"
import hashlib, json, sys
document, bin_dir = json.load(open(sys.argv[1])), sys.argv[2]
packages = {p["SPDXID"]: p for p in document["packages"]}
links = {(r["spdxElementId"], r["relatedSpdxElement"]) for r in document["relationships"]
         if r["relationshipType"] == "STATIC_LINK"}
for name in ("Kestrane", "Halvicor"):
    hashed = hashlib.sha256(open(f"{bin_dir}/{name}.exe", "rb").read()).hexdigest()
    given = packages[f"SPDXRef-{name}"]["checksums"][0]["checksumValue"]
    if given != hashed:
        sys.exit(f"{name}.exe: the SBOM gives {given}, the file is {hashed}")
    for linked in ("Libstdcxx", "Winpthreads"):
        if (f"SPDXRef-{name}", f"SPDXRef-{linked}") not in links:
            sys.exit(f"{name}.exe: no static link to {linked}")
PY

# The recipes' documented build commands, run on the unpacked archive from a folder of another name.
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
mkdir -p "$copy/unpacked archive" "$copy/elsewhere"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$copy/unpacked archive"
(cd "$copy/elsewhere" && recipes="../unpacked archive/examples/installer" &&
    wixl -a x64 -D HelpersDir=../../bin -o helpers.msi "$recipes/helpers.wxs" &&
    makensis -V1 -DHelpersDir='..\..\bin' -DOUTPUT="$PWD/helpers-setup.exe" "$recipes/helpers.nsi") >"$copy/recipes.txt" 2>&1 ||
    fail "the recipes' build commands on the unpacked archive: $(tail -3 "$copy/recipes.txt")"
# The documented commands as cmd.exe runs them in a folder whose path holds a space.
python3 tests/release/documented-commands.py README.md "$copy/unpacked archive/examples/installer/helpers.nsi" \
    "$copy/unpacked archive/examples/installer/helpers.iss" || fail "a documented command splits a folder with a space"
rm -rf "${copy:?}"/*

# The archive's name tells the state of the sources: a copy committed, then changed, then without git.
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
git -C "$copy" init -q && git -C "$copy" add -A && git -C "$copy" -c user.name=t -c user.email=t@t commit -qm t
named() { [ "$("$copy/scripts/release" --name)" = "qortavro-helpers-$version$1-win-x64.zip" ] || fail "$2 named $("$copy/scripts/release" --name)"; }
named "" "a clean checkout"
echo >>"$copy/README.md"
named -dirty "a checkout with an uncommitted change"
rm -rf "$copy/.git"
named -unchecked "sources without git"
cat build/release.out
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "release package checked"
