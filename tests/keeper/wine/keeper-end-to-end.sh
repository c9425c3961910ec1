#!/usr/bin/env bash
# Kestrane.exe under Wine against a real audio server (see scripts/wine/audio-lab.sh): the defaults it records,
# the takeover it sees, the set-default calls it makes, and what Wine reports afterwards.
#   keeper-end-to-end.sh BIN_DIR WORK_DIR [SCENARIO...]
set -euo pipefail
unset CDPATH
bin_dir=$1
work_dir=$2
shift 2
scenarios=(quiet takeover separate-roles unregistered)
[ $# -eq 0 ] || scenarios=("$@")
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../scripts" && pwd)

# shellcheck source=scripts/wine/audio-lab.sh
source "$scripts/wine/audio-lab.sh"
audio_lab_start "$bin_dir" "$work_dir"

records() { log_records "$log"; }
millis() { # the times of the records with this line number, in milliseconds of the day
    sed -n "s/^\[ *[0-9]*\] [0-9-]* \([0-9]*\):\([0-9]*\):\([0-9]*\)\.\([0-9]*\) \[$1\].*/\1 \2 \3 \4/p" "$log" |
        while read -r h m s ms; do echo $(((10#$h * 3600 + 10#$m * 60 + 10#$s) * 1000 + 10#$ms)); done
}

snapshot_records() {  # speaker console+multimedia, speaker communications, mic console+multimedia, mic communications
    name_of() { case $1 in "$speakers_a") echo "Speakers A" ;; "$headset_b") echo "Headset B" ;; "$mic_a") echo "Mic A" ;; *) echo "Mic B" ;; esac; }
    cat <<RECORDS
[54] ***** Kestraner Logs *****
[163] Initial default audio devices:
[177] Speaker(eConsole) Name:$(name_of "$1") ID:$1
[188] Speaker(eMultimedia) Name:$(name_of "$1") ID:$1
[199] Speaker(eCommunications) Name:$(name_of "$2") ID:$2
[210] Mic(eConsole) Name:$(name_of "$3") ID:$3
[221] Mic(eMultimedia) Name:$(name_of "$3") ID:$3
[232] Mic(eCommunications) Name:$(name_of "$4") ID:$4
RECORDS
}
retries() { printf '[68] Default device reset not complete yet, retry\n%.0s' 1 2 3; }

expect_same() {  # what, expected file, actual file
    if ! diff -u "$2" "$3" >"$work/diff.txt"; then
        fail "$1"
        cat "$work/diff.txt"
    fi
}
expect_common() {
    [ "$exit_code" -eq 0 ] || fail "exit code $exit_code"
    printf 'Get Information about Default Audio Device\r\nInstallation in Progress\r\nInstallation Finished\r\n' >"$work/console.expected"
    expect_same "console lines" "$work/console.expected" "$work/console.txt"
}

for scenario in "${scenarios[@]}"; do
    echo "== $scenario"
    case $scenario in
    quiet)
        set_defaults "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
        register_policy_server
        run_kestrane
        expect_common
        { snapshot_records "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"; retries; echo '[75] *** DONE ***'; } >"$work/expected"
        records >"$work/actual"
        expect_same "records" "$work/expected" "$work/actual"
        mapfile -t times < <(millis 68)
        for i in 1 2; do
            gap=$((times[i] - times[i - 1]))
            # The wait is proven by its lower bound; the upper one only catches a hang, so a busy machine
            # that slows the pass's own work passes.
            if [ "$gap" -lt 950 ] || [ "$gap" -gt 30000 ]; then fail "retry $i came $gap ms after the one before"; fi
        done
        if [ "$elapsed" -lt 4900 ] || [ "$elapsed" -gt 60000 ]; then fail "run took $elapsed ms"; fi
        [ ! -s "$calls" ] || fail "the policy object was called without a takeover"
        ;;
    takeover)
        set_defaults "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
        register_policy_server
        run_kestrane "$headset_b"
        expect_common
        {
            snapshot_records "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
            echo "[149] Default speaker changed, Name:Headset B ID:$headset_b"
            echo '[290] Default speaker devices reset done'
            retries
            echo '[75] *** DONE ***'
        } >"$work/expected"
        records >"$work/actual"
        expect_same "records" "$work/expected" "$work/actual"
        printf '0 %s\n1 %s\n2 %s\n' "$speakers_a" "$speakers_a" "$speakers_a" >"$work/calls.expected"
        expect_same "calls of the set-default method" "$work/calls.expected" "$calls"
        printf '0 0 %s\n0 1 %s\n0 2 %s\n' "$speakers_a" "$speakers_a" "$speakers_a" >"$work/defaults.expected"
        wine "$bin/showdefaults.exe" </dev/null 2>/dev/null | tr -d '\r' | head -3 >"$work/defaults.actual"
        expect_same "playback defaults after the run" "$work/defaults.expected" "$work/defaults.actual"
        ;;
    separate-roles)
        # Console and communications start on different endpoints in both flows; both flows are taken over.
        set_defaults "$speakers_a" "$headset_b" "$mic_a" "$mic_b"
        register_policy_server
        run_kestrane "$speakers_a" "$mic_a"
        expect_common
        {
            snapshot_records "$speakers_a" "$headset_b" "$mic_a" "$mic_b"
            echo "[149] Default speaker changed, Name:Speakers A ID:$speakers_a"
            echo '[290] Default speaker devices reset done'
            echo "[119] Default mic changed, Name:Mic A ID:$mic_a"
            echo '[263] Default mic devices reset done'
            echo '[75] *** DONE ***'
        } >"$work/expected"
        records >"$work/actual"
        expect_same "records" "$work/expected" "$work/actual"
        printf '0 %s\n1 %s\n2 %s\n0 %s\n1 %s\n2 %s\n' "$speakers_a" "$speakers_a" "$headset_b" "$mic_a" "$mic_a" "$mic_b" >"$work/calls.expected"
        expect_same "calls of the set-default method" "$work/calls.expected" "$calls"
        printf '0 0 %s\n0 1 %s\n0 2 %s\n1 0 %s\n1 1 %s\n1 2 %s\n' "$speakers_a" "$speakers_a" "$headset_b" "$mic_a" "$mic_a" "$mic_b" >"$work/defaults.expected"
        wine "$bin/showdefaults.exe" </dev/null 2>/dev/null | tr -d '\r' >"$work/defaults.actual"
        expect_same "defaults after the run" "$work/defaults.expected" "$work/defaults.actual"
        # From the snapshot to the end: the settle wait and one pass. A retry would add its own 1000 ms wait;
        # the time Wine takes to start the program, which a busy machine stretches, is not counted.
        span=$(($(millis 75) - $(millis 232)))
        [ "$span" -lt 3000 ] || fail "a run that restores both flows in the first pass took $span ms after its snapshot"
        ;;
    unregistered)
        set_defaults "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
        unregister_policy_server
        run_kestrane "$headset_b"
        expect_common
        {
            snapshot_records "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
            echo "[149] Default speaker changed, Name:Headset B ID:$headset_b"
            retries
            echo '[75] *** DONE ***'
        } >"$work/expected"
        records >"$work/actual"
        expect_same "records" "$work/expected" "$work/actual"
        [ ! -s "$calls" ] || fail "a set-default call without a registered class"
        ;;
    *) fail "unknown scenario $scenario" ;;
    esac
done

echo "log of the last run ($log):"
cat "$log"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all scenarios passed"
