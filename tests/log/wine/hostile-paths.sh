#!/usr/bin/env bash
# shellcheck disable=SC2016 # each case's set-up is eval'd by expect_untouched, its variables expanded there
# The Windows build under Wine with links and a foreign marker planted where the log goes. Wine shows the
# prefix's Unix links and owners through the Windows API: a linked folder as a reparse point, a linked file
# only in its final path, a file of another Unix user as owned by another account.
#   hostile-paths.sh BIN_DIR WORK_DIR
set -euo pipefail
unset CDPATH
# shellcheck source=scripts/wine/wine-scratch.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine/wine-scratch.sh"
wine_scratch_start "$1" "$2"
marker=$temp/qortavronotify
outside=$work/outside

state() { if [ -d "$1" ]; then ls -A "$1"; elif [ -e "$1" ]; then md5sum <"$1"; stat -c %Y.%y "$1"; else echo absent; fi; }
fresh() { rm -rf "$marker" "$outside"; mkdir -p "$outside"; echo "precious bytes" >"$outside/victim.txt"; }
run_driver() {
    local code=0
    wine "$bin/logdriver.exe" "m|1|planted" "e|2|ERROR: again:|5" </dev/null >"$work/out.txt" 2>&1 || code=$?
    [ "$code" -eq 0 ] || fail "$1: the driver exited with $code"
    [ ! -s "$work/out.txt" ] || fail "$1: the driver wrote to the console"
}
expect_untouched() { # case, victim, planting command...
    local name=$1 victim=$2 before failed_before=$failures
    shift 2
    fresh
    "$@"
    before=$(state "$victim")
    run_driver "$name"
    [ "$(state "$victim")" = "$before" ] || fail "$name: $victim was changed"
    [ "$failures" -ne "$failed_before" ] || echo "ok: $name"
}

expect_untouched "marker is a link to a real folder" "$outside" ln -s "$outside" "$marker"
expect_untouched "log file is a link to a file outside" "$outside/victim.txt" \
    eval 'mkdir "$marker" && ln -s "$outside/victim.txt" "$marker/LogDriver.txt"'
expect_untouched "log file is a dangling link" "$outside/created.txt" \
    eval 'mkdir "$marker" && ln -s "$outside/created.txt" "$marker/LogDriver.txt"'
expect_untouched "log file has a second hard link" "$outside/victim.txt" \
    eval 'mkdir "$marker" && ln "$outside/victim.txt" "$marker/LogDriver.txt"'
if [ "$(id -u)" -eq 0 ]; then
    expect_untouched "marker belongs to another user" "$marker" eval 'mkdir "$marker" && chown 65534:65534 "$marker"'
    expect_untouched "log file belongs to another user" "$marker/LogDriver.txt" \
        eval 'mkdir "$marker" && echo theirs >"$marker/LogDriver.txt" && chown 65534:65534 "$marker/LogDriver.txt"'
else
    echo "skipped: marker and log file of another user (giving them away needs root)"
fi

# The marker swapped for a link while the driver runs, then made again as a folder of its own: the link's
# target stays empty, and the records after the folder is back are written.
fresh
failed_before=$failures
mkdir "$marker" "$work/signals" "$work/elsewhere"
setup "the Windows path of the signals folder" winepath -w "$work/signals"
signals=$setup_output
wait_for() { wait_until 30 test -e "$1" || fail "$1 never appeared"; }
code=0
wine "$bin/logdriver.exe" "m|1|before" "pause|1|$signals" "m|2|through the link" "e|3|ERROR: again:|5" \
    "pause|2|$signals" "m|4|made again" </dev/null >"$work/out.txt" 2>&1 &
driver=$!
wait_for "$work/signals/paused-1"
mv "$marker" "$temp/moved-away"
ln -s "$work/elsewhere" "$marker"
touch "$work/signals/resume-1"
wait_for "$work/signals/paused-2"
rm "$marker"
mkdir "$marker"
touch "$work/signals/resume-2"
wait "$driver" || code=$?
{ [ "$code" -eq 0 ] && [ ! -s "$work/out.txt" ]; } || fail "marker swapped mid-run: exit $code, console: $(cat "$work/out.txt")"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "marker swapped mid-run: the link's target got $(ls -A "$work/elsewhere")"
records() { log_records "$1" | tr '\n' '|'; }
[ "$(records "$temp/moved-away/LogDriver.txt")" = "[7] ***** LogDriver Logs *****|[1] before|" ] ||
    fail "marker swapped mid-run: the moved folder holds $(records "$temp/moved-away/LogDriver.txt")"
[ "$(records "$marker/LogDriver.txt")" = "[4] made again|" ] ||
    fail "marker made again: it holds $(records "$marker/LogDriver.txt")"
rm -rf "$temp/moved-away"
[ "$failures" -ne "$failed_before" ] || echo "ok: marker swapped for a link mid-run, then made again"

# The temporary folder itself swapped mid-run for a link to a folder that holds a marker of its own: that
# marker is not the one the run began with, and gets nothing.
fresh
failed_before=$failures
mkdir "$marker" "$work/other-temp" "$work/other-temp/qortavronotify"
rm -f "$work/signals/"*
wine "$bin/logdriver.exe" "m|1|before" "pause|3|$signals" "m|2|into the other marker" </dev/null >"$work/out.txt" 2>&1 &
driver=$!
wait_for "$work/signals/paused-3"
mv "$temp" "$temp.away"
ln -s "$work/other-temp" "$temp"
touch "$work/signals/resume-3"
code=0
wait "$driver" || code=$?
rm "$temp"
mv "$temp.away" "$temp"
[ "$code" -eq 0 ] || fail "temporary folder swapped mid-run: exit $code, console: $(cat "$work/out.txt")"
[ -z "$(ls -A "$work/other-temp/qortavronotify")" ] ||
    fail "temporary folder swapped mid-run: the other marker got $(ls -A "$work/other-temp/qortavronotify")"
[ "$(records "$marker/LogDriver.txt")" = "[7] ***** LogDriver Logs *****|[1] before|" ] ||
    fail "temporary folder swapped mid-run: the marker holds $(records "$marker/LogDriver.txt")"
[ "$failures" -ne "$failed_before" ] || echo "ok: temporary folder swapped for a link mid-run"

# And an ordinary marker of the user's own still logs, so the cases above were not quiet for another reason.
fresh
mkdir "$marker"
run_driver "ordinary marker"
grep -q '\[1\] planted' "$marker/LogDriver.txt" 2>/dev/null || fail "ordinary marker: nothing was logged"
echo "ok: ordinary marker logs"

# The temporary folder reached through a linked folder, where the marker's final path is longer than any
# fixed buffer would hold: it still logs.
failed_before=$failures
long=$work/long/$(printf 'a%.0s' {1..200})/$(printf 'b%.0s' {1..200})/$(printf 'c%.0s' {1..200})
mkdir -p "$long/qortavronotify"
# The link itself as C:\t, so the temporary folder's own path is short wherever the checkout lies.
ln -s "$long" "$WINEPREFIX/drive_c/t"
short='C:\t'
for variable in TMP TEMP; do
    setup "$variable for the linked temporary folder" wine reg add 'HKCU\Environment' /v "$variable" /d "$short" /f
done
run_driver "long final path"
grep -q '\[1\] planted' "$long/qortavronotify/LogDriver.txt" 2>/dev/null || fail "long final path: nothing was logged"
[ "$failures" -ne "$failed_before" ] || echo "ok: a marker with a final path of $(($(wc -c <<<"$long") + 15)) characters logs"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all cases passed"
