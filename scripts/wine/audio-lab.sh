# shellcheck shell=bash disable=SC2034 # the variables it sets are for the script that sources it
# A small audio lab for Kestrane.exe under Wine, sourced by the end-to-end test and the demo: PulseAudio on
# a socket of its own with two null sinks and two null sources, a Wine prefix that sees them with fixed
# endpoint ids, and a stand-in COM server for the policy-configuration class that Wine lacks.
#   source scripts/wine/audio-lab.sh; audio_lab_start BIN_DIR WORK_DIR

# shellcheck source=scripts/wine/wine-scratch.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-scratch.sh"

speakers_a='{0.0.0.00000000}.{11111111-1111-1111-1111-111111111111}'
headset_b='{0.0.0.00000000}.{22222222-2222-2222-2222-222222222222}'
mic_a='{0.0.1.00000000}.{33333333-3333-3333-3333-333333333333}'
mic_b='{0.0.1.00000000}.{44444444-4444-4444-4444-444444444444}'
pulse_key='HKCU\Software\Wine\Drivers\winepulse.drv'
policy_class_key='HKLM\Software\Classes\CLSID\{870AF99C-171D-4F9E-AF0D-E63DF40C2BC9}'

reg() { setup "wine reg $*" wine reg "$@"; }

pulse_stop() {
    pactl exit >/dev/null 2>&1 || kill "$(cat "$pulse_runtime/pulse/pid" 2>/dev/null)" 2>/dev/null || true
    rm -rf "$pulse_runtime"
}

# The audio server on a socket of its own, answering before anything connects to it. It ends by itself
# once nothing has used it for 10 s; while the script runs, a look every 2 s keeps it.
pulse_start() {
    pulseaudio --daemonize=yes --exit-idle-time=10 --system=false -n --use-pid-file=yes \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse/native" || return 1
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "no answer on $PULSE_SERVER within 10 s" >&2
    return 1
}

audio_lab_start() {
    fresh_work_folder "$2"
    work=$(cd "$2" && pwd)
    # PulseAudio first: Wine's audio driver connects to it when the prefix starts. Its clients read
    # PULSE_SERVER as a list split at white space, so the socket lives in a folder of its own under /tmp,
    # whatever the checkout's path holds.
    pulse_runtime=$(mktemp -d /tmp/helpers-pulse.XXXXXX)
    export XDG_RUNTIME_DIR=$pulse_runtime
    export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse/native
    while_script_runs 'pactl info' pulse_stop
    setup "starting PulseAudio" pulse_start
    setup "a null sink" pactl load-module module-null-sink sink_name=speakers_a "sink_properties=\"device.description='Speakers A'\""
    setup "a null sink" pactl load-module module-null-sink sink_name=headset_b "sink_properties=\"device.description='Headset B'\""
    setup "a null source" pactl load-module module-null-source source_name=mic_a "description='Mic A'"
    setup "a null source" pactl load-module module-null-source source_name=mic_b "description='Mic B'"

    wine_scratch_start "$1" "$2/wine"
    # Fixed device GUIDs, written before Wine first sees the devices, make the endpoint ids known.
    reg add "$pulse_key\\devices\\0,speakers_a" /v guid /t REG_BINARY /d 11111111111111111111111111111111 /f
    reg add "$pulse_key\\devices\\0,headset_b" /v guid /t REG_BINARY /d 22222222222222222222222222222222 /f
    reg add "$pulse_key\\devices\\1,mic_a" /v guid /t REG_BINARY /d 33333333333333333333333333333333 /f
    reg add "$pulse_key\\devices\\1,mic_b" /v guid /t REG_BINARY /d 44444444444444444444444444444444 /f

    mkdir -p "$temp/qortavronotify"
    log=$temp/qortavronotify/Kestraner.txt
    calls=$work/policy-calls.txt
    setup "the Windows path of the work folder" winepath -w "$work"
    POLICY_CALLS=$setup_output'\policy-calls.txt'
    export POLICY_CALLS
}

set_default() { reg add "$pulse_key" /v "$1" /d "$2" /f; }

set_defaults() { # playback console+multimedia, playback communications, and the same for recording
    set_default DefaultOutput "$1"
    set_default DefaultVoiceOutput "$2"
    set_default DefaultInput "$3"
    set_default DefaultVoiceInput "$4"
}

register_policy_server() {
    setup "the Windows path of the policy server" winepath -w "$bin/policyconfig_server.dll"
    reg add "$policy_class_key\\InprocServer32" /ve /d "$setup_output" /f
    reg add "$policy_class_key\\InprocServer32" /v ThreadingModel /d Both /f
}

unregister_policy_server() { reg delete "$policy_class_key" /f; }

# Runs Kestrane.exe as an installer would; its console goes to $work/console.txt. With endpoint ids given, a
# driver's installation makes them the communications defaults of playback (and recording) once Kestrane
# has recorded the defaults, inside its settle wait (takeover.exe, started first and watching its log).
# Sets exit_code and elapsed (ms).
run_kestrane() {
    local started program takeover=
    rm -f "$log" "$calls" "$work/console.txt" "$work/takeover.txt"
    if [ -n "${1:-}" ]; then
        wine "$bin/takeover.exe" "$@" </dev/null >"$work/takeover.txt" 2>&1 &
        takeover=$!
        wait_until 30 grep -q watching "$work/takeover.txt" ||
            { echo "set-up failed: takeover.exe did not start: $(cat "$work/takeover.txt")" >&2; exit 2; }
    fi
    started=$(date +%s%N)
    wine "$bin/Kestrane.exe" >"$work/console.txt" </dev/null 2>"$work/stderr.txt" &
    program=$!
    exit_code=0
    wait "$program" || exit_code=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    [ -z "$takeover" ] || wait "$takeover" || fail "no takeover: takeover.exe saw no snapshot in $log"
}
