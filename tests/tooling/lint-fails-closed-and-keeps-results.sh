#!/usr/bin/env bash
# The lint's own behaviour, in a copy of the tree. It fails when a tool cannot do its work: with a
# .clang-format, then a .clang-tidy, that no longer parses, linting one clean file fails and names the
# tool, where the intact copy passes. And it checks only what changed: a second run over the same files
# checks none again and still reports the finding it kept, and a change to a header checks again the file
# that includes it, and only that one, in both builds.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
failures=0
fail() { echo "FAIL: $*"; cat "$copy/lint.txt"; failures=$((failures + 1)); }
lint_one() { "$copy/scripts/lint" console/OwnConsole.cpp scripts/lint >"$copy/lint.txt" 2>&1; }
lint_one || { cat "$copy/lint.txt"; echo "set-up failed: the intact copy's lint of one clean file"; exit 2; }
for config in .clang-format .clang-tidy; do
    cp "$copy/$config" "$copy/$config.intact"
    printf 'NoSuchKey: [\n' >>"$copy/$config"
    if lint_one || ! grep -q "^lint: ${config#.} failed" "$copy/lint.txt"; then
        fail "a $config that does not parse gave no failure of ${config#.}"
    fi
    mv "$copy/$config.intact" "$copy/$config"
done
[ "$failures" -ne 0 ] || echo "ok: a tool that cannot read its configuration fails the lint"

# The intact copy's run above kept OwnConsole.cpp's results; a failed run keeps nothing.
lint_two() { "$copy/scripts/lint" console/OwnConsole.cpp log/Utf8.cpp >"$copy/lint.txt" 2>&1 || true; }
# Both builds' clang-tidy runs say how many files they checked and how many results they kept.
tidied() { [ "$(grep -c "^   $1 checked, $2 kept from an earlier run$" "$copy/lint.txt")" -eq 2 ]; }
reported() { grep -q 'log/Utf8.cpp:.*cppcoreguidelines-init-variables' "$copy/lint.txt"; }
printf '\nint lintProbe() {\n    int value;\n    value = 1;\n    return value;\n}\n' >>"$copy/log/Utf8.cpp"

lint_two
{ tidied 1 1 && reported; } || fail "the first run did not check the new file alone and report its finding"
lint_two
{ tidied 0 2 && reported; } || fail "a second run with nothing changed checked again, or lost the finding it kept"
grep -q '^   kept from an earlier run$' "$copy/lint.txt" || fail "shellcheck and clang-format ran again over the same files"
echo '// A change to the header.' >>"$copy/console/OwnConsole.h"
lint_two
tidied 1 1 || fail "a change to a header did not check again the one file that includes it, and only it"
[ "$failures" -eq 0 ] || exit 1
echo "ok: the lint checks again only what changed, and keeps reporting what it found"
