#!/usr/bin/env bash
# A signed release, with a throwaway CA and code-signing certificate made for this run (no key is kept):
# signed from a PKCS#12 file it verifies against its CA and passes verify-release, and the password reaches
# osslsigncode alone, never in its arguments; the same key on a PKCS#11 token (SoftHSM) signs the same
# bytes; signing without a decision about time stamps is refused; time-stamped by a throwaway authority on
# 127.0.0.1 it verifies against that authority's root and no other; each kind of tampering fails
# verify-release and is named, and a checkout of another commit refuses; a signed release is not passed
# without a root, nor with another signer pinned; a maker's compiler flags and hand-configured build tree
# do not reach the release; and two signed releases from two folders are the same bytes.
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
    # Another customer of the same authority, and a key nobody vouches for.
    openssl req -newkey rsa:2048 -nodes -keyout other.key -out other.csr -subj "/CN=Another Customer"
    openssl x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out other.pem -days 2 -extfile sign.ext
    openssl req -x509 -newkey rsa:2048 -nodes -keyout stranger.key -out stranger.pem -days 2 -subj "/CN=Stranger"
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
# its environment or its arguments, or is still in the environment of the script that started it.
spy=$scratch/spy
mkdir "$spy"
for tool in cmake python3 osslsigncode; do
    # shellcheck disable=SC2016 # expanded by the spy when it runs, not here
    printf '#!/bin/sh\n[ -z "${RELEASE_SIGN_PASSWORD+set}" ] || echo "%s: in its environment" >>"%s"\n' "$tool" "$spy/leaks" >"$spy/$tool"
    # shellcheck disable=SC2016 # expanded by the spy when it runs, not here
    printf 'tr "\\0" "\\n" </proc/$PPID/environ | grep -q "^RELEASE_SIGN_PASSWORD=" && echo "the script that started %s: in its environment" >>"%s"\n' \
        "$tool" "$spy/leaks" >>"$spy/$tool"
    printf 'case "$*" in *"%s"*) echo "%s: in its arguments" >>"%s" ;; esac\nexec "%s" "$@"\n' \
        "$RELEASE_SIGN_PASSWORD" "$tool" "$spy/leaks" "$(command -v "$tool")" >>"$spy/$tool"
    chmod +x "$spy/$tool"
done
PATH=$spy:$PATH OSSLSIGNCODE=$spy/osslsigncode scripts/release --sign-pkcs12 "$keys/sign.p12" --no-timestamp \
    >"$scratch/release.txt" 2>&1 || { cat "$scratch/release.txt"; fail "a release signed from a PKCS#12 file"; }
[ ! -e "$spy/leaks" ] || fail "the password reached more than osslsigncode's pipe: $(sort -u "$spy/leaks" | tr '\n' ' ')"
signer=$(openssl x509 -in "$keys/sign.pem" -noout -fingerprint -sha256 | sed 's/.*=//' | tr 'A-F' 'a-f')
scripts/verify-release --ca "$keys/ca.pem" --signer-sha256 "$signer" >"$scratch/verify.txt" 2>&1 ||
    { cat "$scratch/verify.txt"; fail "the release signed from a PKCS#12 file does not verify with its signer pinned"; }
# Signatures nobody vouched for are not passed for checked ones, nor another customer's of the same root.
if scripts/verify-release >"$scratch/verify.txt" 2>&1 ||
    ! grep -q '^NOT VERIFIED: .*not checked against a root: give --ca ROOT.pem with --signer-sha256' "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a signed release passed without --ca, or was failed without saying what to give"
fi
scripts/verify-release --bytes-only >"$scratch/verify.txt" 2>&1 || { cat "$scratch/verify.txt"; fail "--bytes-only on a signed release"; }
other_signer=$(openssl x509 -in "$keys/other.pem" -noout -fingerprint -sha256 | sed 's/.*=//')
if scripts/verify-release --ca "$keys/ca.pem" --signer-sha256 "$other_signer" >"$scratch/verify.txt" 2>&1 ||
    ! grep -q '^DIFFERS: bin/Kestrane.exe: the first signature .*not the pinned signer' "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a release passed with another signer pinned"
fi
for program in Kestrane.exe Halvicor.exe; do
    verified=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "build/release/bin/$program" 2>&1 || true)
    grep -q '^Message digest algorithm *: SHA256' <<<"$verified" || fail "bin/$program is not signed with SHA-256"
done
cp -r build/release "$scratch/pkcs12"

# A signature nested into Kestrane's published one, and the rest of the release made to match it, as
# someone who controls the download would: the bytes all agree, and only the signatures can tell.
nest() { # folder to write, osslsigncode sign arguments...: the pkcs12 release with that signature nested
    local into=$1
    shift
    rm -rf "$into" "$scratch/nested"
    mkdir -p "$scratch/nested/signatures"
    osslsigncode sign -nest -h sha256 "$@" -in "$scratch/pkcs12/bin/Kestrane.exe" -out "$scratch/nested/Kestrane.exe" >/dev/null &&
        osslsigncode extract-signature -pem -in "$scratch/nested/Kestrane.exe" -out "$scratch/nested/signatures/Kestrane.exe.pem" >/dev/null &&
        cp "$scratch/pkcs12/signatures/Halvicor.exe.pem" "$scratch/nested/signatures/" &&
        scripts/release --out "$into" --attach-signatures "$scratch/nested" >/dev/null 2>&1
}

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
    ! grep -q '^DIFFERS: bin/Kestrane.exe: the first signature: its time stamp does not verify' "$stamped"; then
    cat "$stamped"
    fail "a time stamp verified against a root that is not its authority's"
fi
# A time stamp on the nested signature alone leaves the first one unstamped.
nest "$scratch/nested-stamp" -certs "$keys/sign.pem" -key "$keys/sign.key" -ts "http://127.0.0.1:$(cat "$scratch/tsa.port")/" ||
    fail "set-up: nesting a time-stamped signature"
if scripts/verify-release --ca "$keys/ca.pem" --tsa-ca "$keys/tsa-root.pem" "$scratch/nested-stamp" >"$stamped" 2>&1 ||
    ! grep -q '^DIFFERS: bin/Kestrane.exe: the first signature carries no time stamp' "$stamped"; then
    cat "$stamped"
    fail "a time stamp on a nested signature alone passed for the release's"
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

# A stranger's signature nested into Kestrane's published one.
nest "$scratch/tampered" -certs "$keys/stranger.pem" -key "$keys/stranger.key" -time 1767225600 ||
    fail "set-up: nesting a stranger's signature"
if scripts/verify-release --ca "$keys/ca.pem" "$scratch/tampered" >"$scratch/verify.txt" 2>&1 ||
    ! grep -q '^DIFFERS: bin/Kestrane.exe: nested signature 1 does not verify' "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a nested signature that does not verify passed, or was not named"
fi

# The tree as it stands, committed in a folder of its own.
committed_copy() { # folder
    mkdir "$1"
    tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$1"
    git -C "$1" init -q && git -C "$1" add -A && git -C "$1" -c user.name=t -c user.email=t@t commit -qm copy
}

# A maker's compiler flags and a build/windows configured by hand reach neither the release nor its check.
# The clean release may take the programs the test command built for these sources; the maker's builds its
# own, as one the test command kept would hide the maker's flags.
maker=$scratch/maker
committed_copy "$maker"
"$maker/scripts/release" >"$scratch/maker.txt" 2>&1 || { cat "$scratch/maker.txt"; fail "the maker's clean release"; }
mv "$maker/build/release" "$scratch/maker-clean"
unset HELPERS_RELEASE_CACHE
(cd "$maker" && export CFLAGS="-fno-inline -g" CXXFLAGS="-fno-inline -g" LDFLAGS=-g &&
    cmake --preset windows -DCMAKE_BUILD_TYPE=Debug >/dev/null && scripts/release) >"$scratch/maker.txt" 2>&1 ||
    { cat "$scratch/maker.txt"; fail "the release in the maker's shell"; }
diff -r "$scratch/maker-clean" "$maker/build/release" >/dev/null ||
    fail "a maker's CFLAGS, CXXFLAGS and a Debug build/windows changed the release: $(diff -rq "$scratch/maker-clean" "$maker/build/release" | head -3 | tr '\n' ' ')"
# The release's commit, with a change not yet committed, is named for what it is.
echo >>"$maker/README.md"
if "$maker/scripts/verify-release" "$scratch/maker-clean" >"$scratch/verify.txt" 2>&1 ||
    ! grep -q "this checkout is at the release's commit .*, with uncommitted changes" "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a checkout of the release's commit with uncommitted changes was told to check out that commit"
fi

# A checkout of another commit refuses, naming both.
other=$scratch/other
committed_copy "$other"
if "$other/scripts/verify-release" "$scratch/pkcs12" >"$scratch/verify.txt" 2>&1 ||
    ! grep -qF "built from $(scripts/release --made-from), and this checkout is at $("$other/scripts/release" --made-from)" \
        "$scratch/verify.txt"; then
    cat "$scratch/verify.txt"
    fail "a checkout of another commit did not refuse, naming both commits"
fi

scripts/release-parts/check-reproducible --sign-pkcs12 "$keys/sign.p12" --no-timestamp || fail "two signed releases from two folders differ"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "signed release checked"
