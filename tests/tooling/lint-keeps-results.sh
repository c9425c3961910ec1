#!/usr/bin/env bash
# The lint checks only what changed: in a copy of the tree, a second run over the same files checks none
# again and still reports the finding it kept, and a change to a header checks again the file that
# includes it, and only that one, in both builds.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
failures=0
fail() { echo "FAIL: $*"; cat "$copy/lint.txt"; failures=$((failures + 1)); }
lint_two() { "$copy/scripts/lint" console/OwnConsole.cpp log/Utf8.cpp >"$copy/lint.txt" 2>&1 || true; }
# Both builds' clang-tidy runs say how many files they checked and how many results they kept.
tidied() { [ "$(grep -c "^   $1 checked, $2 kept from an earlier run$" "$copy/lint.txt")" -eq 2 ]; }
reported() { grep -q 'log/Utf8.cpp:.*cppcoreguidelines-init-variables' "$copy/lint.txt"; }
printf '\nint lintProbe() {\n    int value;\n    value = 1;\n    return value;\n}\n' >>"$copy/log/Utf8.cpp"

lint_two
{ tidied 2 0 && reported; } || fail "the first run did not check both files and report the finding"
lint_two
{ tidied 0 2 && reported; } || fail "a second run with nothing changed checked again, or lost the finding it kept"
grep -q '^   kept from an earlier run$' "$copy/lint.txt" || fail "shellcheck and clang-format ran again over the same files"
echo '// A change to the header.' >>"$copy/console/OwnConsole.h"
lint_two
tidied 1 1 || fail "a change to a header did not check again the one file that includes it, and only it"
[ "$failures" -eq 0 ] || exit 1
echo "ok: the lint checks again only what changed, and keeps reporting what it found"
