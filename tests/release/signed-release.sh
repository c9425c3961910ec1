#!/usr/bin/env bash
# A signed release, with a throwaway CA and code-signing certificate made for this run (no key is kept):
# signed from a PKCS#12 file it verifies against its CA and passes verify-release; the same key on a
# PKCS#11 token (SoftHSM) signs the same bytes; a program changed after signing fails verify-release even
# with SHA256SUMS written again to match; and two signed releases from two folders are the same bytes.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Sources without git have no commit to take the signing time from.
[ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ] || export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1767225600}

keys=$scratch/keys
mkdir "$keys"
export RELEASE_SIGN_PASSWORD="a throwaway password"
(
    cd "$keys"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Test CA" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
    openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj "/CN=Throwaway Code Signing"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >sign.ext
    openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out sign.pem -days 2 -extfile sign.ext
    cat sign.pem ca.pem >chain.pem
    openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.p12 -passout env:RELEASE_SIGN_PASSWORD
    # The same key on a software token of its own.
    mkdir tokens
    printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$keys/tokens" >softhsm2.conf
    export SOFTHSM2_CONF=$keys/softhsm2.conf
    softhsm2-util --init-token --free --label release --so-pin 12345678 --pin "$RELEASE_SIGN_PASSWORD"
    openssl pkcs8 -topk8 -nocrypt -in sign.key -out sign.p8
    softhsm2-util --import sign.p8 --token release --label signing --id 01 --pin "$RELEASE_SIGN_PASSWORD"
) >"$scratch/keys.log" 2>&1 || { cat "$scratch/keys.log"; echo "set-up failed: making a throwaway CA, key and token"; exit 2; }
export SOFTHSM2_CONF=$keys/softhsm2.conf

scripts/release --sign-pkcs12 "$keys/sign.p12" >"$scratch/release.txt" 2>&1 || { cat "$scratch/release.txt"; fail "a release signed from a PKCS#12 file"; }
scripts/verify-release --ca "$keys/ca.pem" >"$scratch/verify.txt" 2>&1 || { cat "$scratch/verify.txt"; fail "the release signed from a PKCS#12 file does not verify"; }
cp -r build/release "$scratch/pkcs12"

scripts/release --sign-pkcs11 'pkcs11:token=release;object=signing;type=private' --sign-cert "$keys/chain.pem" \
    --pkcs11-module /usr/lib/softhsm/libsofthsm2.so >"$scratch/release.txt" 2>&1 || { cat "$scratch/release.txt"; fail "a release signed on a PKCS#11 token"; }
cmp -s build/release/SHA256SUMS "$scratch/pkcs12/SHA256SUMS" ||
    { diff build/release/SHA256SUMS "$scratch/pkcs12/SHA256SUMS"; fail "the same key signs other bytes on a PKCS#11 token"; }
! grep -rqF "$RELEASE_SIGN_PASSWORD" build/release "$scratch/release.txt" || fail "the password was written out"

# A program changed after signing, the archive and SHA256SUMS made again to match it.
tampered=$scratch/tampered
cp -r build/release "$tampered"
python3 - "$tampered"/*.zip <<'PY'
import sys, zipfile
archive = sys.argv[1]
entries = [(info, zipfile.ZipFile(archive).read(info)) for info in zipfile.ZipFile(archive).infolist()]
with zipfile.ZipFile(archive, "w") as out:
    for info, data in entries:
        out.writestr(info, data + b"\0" if info.filename == "bin/Kestrane.exe" else data)
PY
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$tampered"/*.zip "$tampered"
(cd "$tampered" && sha256sum $(cut -d' ' -f3 SHA256SUMS) >SHA256SUMS)
if scripts/verify-release --ca "$keys/ca.pem" "$tampered" >"$scratch/verify.txt" 2>&1 ||
    ! grep -q '^DIFFERS: bin/Kestrane.exe' "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a program changed after signing passed verify-release"
fi

scripts/check-reproducible --sign-pkcs12 "$keys/sign.p12" || fail "two signed releases from two folders differ"
[ "$failures" -eq 0 ] && echo "signed release checked" || { echo "$failures failure(s)"; exit 1; }
