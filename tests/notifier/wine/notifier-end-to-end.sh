#!/usr/bin/env bash
# Halvicor.exe 1 and 0 under Wine, logging on, with a hidden top-level window of another process listening.
#   notifier-end-to-end.sh BIN_DIR WORK_DIR
set -euo pipefail
unset CDPATH
# shellcheck source=scripts/wine/wine-scratch.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine/wine-scratch.sh"
wine_scratch_start "$1" "$2"
mkdir -p "$temp/qortavronotify"
log=$temp/qortavronotify/Halvicor.txt
heard=$work/heard.txt

# The listener ends by itself after two minutes, so that a broken run leaves nothing behind; it is
# stopped as soon as it has heard what it will hear.
setup "the Windows path of the listener's file" winepath -w "$heard"
wine "$bin/listener.exe" "$setup_output" 120 </dev/null >/dev/null 2>&1 &
listener=$!
heard_lines() { [ "$(tr -d '\r' 2>/dev/null <"$heard" | wc -l)" -ge "$1" ]; }
wait_until 30 heard_lines 1 || { echo "set-up failed: the listener's window never came up" >&2; exit 2; }

for argument in 1 0; do
    set +e
    wine "$bin/Halvicor.exe" "$argument" </dev/null >"$work/console.txt" 2>&1
    code=$?
    set -e
    [ "$code" -eq 1 ] || fail "Halvicor.exe $argument exited with $code"
    [ ! -s "$work/console.txt" ] || fail "Halvicor.exe $argument wrote to the console"
done
# A broadcast is sent, not posted: it returns once the window has handled it. The wait only bounds a
# listener that heard less than it should, which the comparison below then shows.
wait_until 10 heard_lines 3 || true
kill "$listener" 2>/dev/null || true

# Wine delivers a broadcast without BSF_QUERY only when lParam is not a pointer: the node change reaches
# the window, each record-carrying broadcast is refused per window with ERROR_MESSAGE_SYNC_ONLY (1159)
# while the call still reports 1. On Windows the records are sent, and reach the window too.
printf 'ready\nwParam=0x7 lParam=0\nwParam=0x7 lParam=0\n' >"$work/heard.expected"
tr -d '\r' <"$heard" >"$work/heard.actual"
diff -u "$work/heard.expected" "$work/heard.actual" || fail "what the listener heard"
cat >"$work/log.expected" <<'RECORDS'
[55] ***** QORTavroNotifier Logs *****
[64] Broadcasting on device addition
[21] DBT_DEVNODES_CHANGED Status:1, ErrorCode:0
[39] AM_KSCATEGORY_CAPTURE Status:1, ErrorCode:1159
[52] AM_KSCATEGORY_VIDEO Status:1, ErrorCode:1159
[55] ***** QORTavroNotifier Logs *****
[68] Broadcasting on device removal
[21] DBT_DEVNODES_CHANGED Status:1, ErrorCode:0
[39] AM_KSCATEGORY_CAPTURE Status:1, ErrorCode:1159
[52] AM_KSCATEGORY_VIDEO Status:1, ErrorCode:1159
RECORDS
sed -e 's/\r$//' -e 's/^\[ *[0-9]*\] [0-9-]* [0-9:.]* //' "$log" >"$work/log.actual"
diff -u "$work/log.expected" "$work/log.actual" || fail "the log"
echo "log ($log):"
cat "$log"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all checks passed"
