#!/usr/bin/env bash
# A signed release, with a throwaway CA and code-signing certificate made for this run (no key is kept):
# signed from a PKCS#12 file it verifies against its CA and passes verify-release, and the password reaches
# osslsigncode alone, never in its arguments; the same key on a PKCS#11 token (SoftHSM) signs the same
# bytes; signing without a decision about time stamps is refused; time-stamped by a throwaway authority on
# 127.0.0.1 it verifies against that authority's root and no other; each kind of tampering fails
# verify-release and is named, and a checkout of another commit refuses; and two signed releases from two
# folders are the same bytes.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
scratch=$(mktemp -d)
authority=""
trap '[ -z "$authority" ] || kill "$authority" 2>/dev/null || true; rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Sources without git have no commit to take the signing time from.
[ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ] || export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1767225600}

keys=$scratch/keys
mkdir "$keys"
export RELEASE_SIGN_PASSWORD="a throwaway password" SOFTHSM2_CONF=$keys/softhsm2.conf
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
    softhsm2-util --init-token --free --label release --so-pin 12345678 --pin "$RELEASE_SIGN_PASSWORD"
    openssl pkcs8 -topk8 -nocrypt -in sign.key -out sign.p8
    softhsm2-util --import sign.p8 --token release --label signing --id 01 --pin "$RELEASE_SIGN_PASSWORD"
    # A time-stamp authority with a root of its own.
    openssl req -x509 -newkey rsa:2048 -nodes -keyout tsa-root.key -out tsa-root.pem -days 2 \
        -subj "/CN=Throwaway TSA Root" -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
    openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/CN=Throwaway Time Stamps"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n' >tsa.ext
    openssl x509 -req -in tsa.csr -CA tsa-root.pem -CAkey tsa-root.key -CAcreateserial -out tsa.pem -days 2 -extfile tsa.ext
    echo 01 >tsa.serial
    printf '[tsa]\ndefault_tsa = throwaway\n[throwaway]\nserial = %s\nsigner_cert = %s\ncerts = %s\nsigner_key = %s\n' \
        "$keys/tsa.serial" "$keys/tsa.pem" "$keys/tsa.pem" "$keys/tsa.key" >tsa.cnf
    printf 'signer_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256\ness_cert_id_alg = sha256\n' >>tsa.cnf
) >"$scratch/keys.log" 2>&1 || { cat "$scratch/keys.log"; echo "set-up failed: making a throwaway CA, key, token and time-stamp authority"; exit 2; }

# Each program the release starts by name (on PATH, or OSSLSIGNCODE) tells whether the password reached
# its environment or its arguments.
spy=$scratch/spy
mkdir "$spy"
for tool in cmake python3 osslsigncode; do
    # shellcheck disable=SC2016 # expanded by the spy when it runs, not here
    printf '#!/bin/sh\n[ -z "${RELEASE_SIGN_PASSWORD+set}" ] || echo "%s: in its environment" >>"%s"\n' "$tool" "$spy/leaks" >"$spy/$tool"
    printf 'case "$*" in *"%s"*) echo "%s: in its arguments" >>"%s" ;; esac\nexec "%s" "$@"\n' \
        "$RELEASE_SIGN_PASSWORD" "$tool" "$spy/leaks" "$(command -v "$tool")" >>"$spy/$tool"
    chmod +x "$spy/$tool"
done
PATH=$spy:$PATH OSSLSIGNCODE=$spy/osslsigncode scripts/release --sign-pkcs12 "$keys/sign.p12" --no-timestamp \
    >"$scratch/release.txt" 2>&1 || { cat "$scratch/release.txt"; fail "a release signed from a PKCS#12 file"; }
[ ! -e "$spy/leaks" ] || fail "the password reached more than osslsigncode's pipe: $(sort -u "$spy/leaks" | tr '\n' ' ')"
scripts/verify-release --ca "$keys/ca.pem" >"$scratch/verify.txt" 2>&1 || { cat "$scratch/verify.txt"; fail "the release signed from a PKCS#12 file does not verify"; }
for program in Kestrane.exe Halvicor.exe; do
    verified=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "build/release/bin/$program" 2>&1 || true)
    grep -q '^Message digest algorithm *: SHA256' <<<"$verified" || fail "bin/$program is not signed with SHA-256"
done
cp -r build/release "$scratch/pkcs12"

scripts/release --sign-pkcs11 'pkcs11:token=release;object=signing;type=private' --sign-cert "$keys/chain.pem" \
    --pkcs11-module /usr/lib/softhsm/libsofthsm2.so --no-timestamp >"$scratch/release.txt" 2>&1 ||
    { cat "$scratch/release.txt"; fail "a release signed on a PKCS#11 token"; }
cmp -s build/release/SHA256SUMS "$scratch/pkcs12/SHA256SUMS" ||
    { diff build/release/SHA256SUMS "$scratch/pkcs12/SHA256SUMS" || true; fail "the same key signs other bytes on a PKCS#11 token"; }
! grep -rqF "$RELEASE_SIGN_PASSWORD" build/release "$scratch/release.txt" || fail "the password was written out"

if scripts/release --sign-pkcs12 "$keys/sign.p12" >"$scratch/release.txt" 2>&1 ||
    ! grep -q 'without a time stamp.*--no-timestamp' "$scratch/release.txt"; then
    cat "$scratch/release.txt"
    fail "signing without --timestamp or --no-timestamp was not refused with the reason"
fi

# The authority stops by itself; the trap only makes it sooner.
tests/release/timestamp-authority.py "$keys/tsa.cnf" "$scratch/tsa.port" 2>"$scratch/tsa.log" &
authority=$!
for _ in $(seq 100); do [ -s "$scratch/tsa.port" ] || sleep 0.1; done
[ -s "$scratch/tsa.port" ] || { cat "$scratch/tsa.log"; echo "set-up failed: starting the time-stamp authority"; exit 2; }
stamped=$scratch/stamped.txt
if ! scripts/release --sign-pkcs12 "$keys/sign.p12" --timestamp "http://127.0.0.1:$(cat "$scratch/tsa.port")/" >"$stamped" 2>&1 ||
    ! scripts/verify-release --ca "$keys/ca.pem" --tsa-ca "$keys/tsa-root.pem" >>"$stamped" 2>&1 ||
    ! grep -q 'its time stamp against tsa-root.pem' "$stamped"; then
    cat "$stamped" "$scratch/tsa.log"
    fail "a time-stamped release does not verify with its authority's root"
fi
if scripts/verify-release --ca "$keys/ca.pem" --tsa-ca "$keys/ca.pem" >"$stamped" 2>&1 ||
    ! grep -q '^DIFFERS: bin/Kestrane.exe: its time stamp does not verify' "$stamped"; then
    cat "$stamped"
    fail "a time stamp verified against a root that is not its authority's"
fi
kill "$authority" 2>/dev/null || true

# Each tampering, SHA256SUMS written again to match, fails and is named.
tamper() {  # tamper KIND WHAT NAMED: NAMED is what verify-release must say of it
    rm -rf "$scratch/tampered"
    cp -r "$scratch/pkcs12" "$scratch/tampered"
    tests/release/tamper.py "$scratch/tampered" "$1"
    if scripts/verify-release --ca "$keys/ca.pem" "$scratch/tampered" >"$scratch/verify.txt" 2>&1 ||
        ! grep -qF "DIFFERS: $3" "$scratch/verify.txt"; then
        cat "$scratch/verify.txt"
        fail "$2 passed verify-release or was not named"
    fi
}
archive=$(basename "$scratch"/pkcs12/*.zip)
tamper recipe "a recipe given a custom action as the system account" "$archive: examples/installer/helpers.wxs differs"
tamper entry "an entry added to the archive" "$archive: bin/extra.cmd is an entry"
tamper program "a program changed after signing" "$archive: bin/Kestrane.exe differs"
tamper loose "the unpacked bin/Kestrane.exe swapped for another program" "bin/Kestrane.exe differs from this checkout's release"
tamper stray "a stray file in the release folder" "setup-helper.cmd is not part of the release"

# A checkout of another commit refuses, naming both.
other=$scratch/other
mkdir "$other"
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$other"
git -C "$other" init -q && git -C "$other" add -A && git -C "$other" -c user.name=t -c user.email=t@t commit -qm other
if "$other/scripts/verify-release" "$scratch/pkcs12" >"$scratch/verify.txt" 2>&1 ||
    ! grep -qF "built from $(scripts/release --made-from), and this checkout is at $("$other/scripts/release" --made-from)" \
        "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a checkout of another commit did not refuse, naming both commits"
fi

scripts/check-reproducible --sign-pkcs12 "$keys/sign.p12" --no-timestamp || fail "two signed releases from two folders differ"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "signed release checked"
