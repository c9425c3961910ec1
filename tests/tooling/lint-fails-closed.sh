#!/usr/bin/env bash
# The lint fails when a tool cannot do its work: in a copy of the tree whose .clang-format, then
# .clang-tidy, no longer parses, linting one clean file fails and names the tool, where the intact copy
# passes.
set -euo pipefail
unset CDPATH
cd "$(dirname "$0")/../.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
failures=0
lint_one() { "$copy/scripts/lint" console/OwnConsole.cpp scripts/lint >"$copy/lint.txt" 2>&1; }
lint_one || { cat "$copy/lint.txt"; echo "set-up failed: the intact copy's lint of one clean file"; exit 2; }
for config in .clang-format .clang-tidy; do
    cp "$copy/$config" "$copy/$config.intact"
    printf 'NoSuchKey: [\n' >>"$copy/$config"
    if lint_one || ! grep -q "^lint: ${config#.} failed" "$copy/lint.txt"; then
        cat "$copy/lint.txt"
        echo "FAIL: a $config that does not parse gave no failure of ${config#.}"
        failures=$((failures + 1))
    fi
    mv "$copy/$config.intact" "$copy/$config"
done
[ "$failures" -eq 0 ] || exit 1
echo "ok: a tool that cannot read its configuration fails the lint"
