# shellcheck shell=bash
# Sourced by the project's scripts: what a script starts is stopped when it ends, on every path, and the
# work folders it makes are the only ones it removes.

# One exit trap for the whole script: each thing started names how to stop it, and all are stopped in the
# reverse order, also when a set-up step fails half-way.
exit_actions=()
at_exit() { exit_actions+=("$*"); }
run_exit_actions() {
    local index
    for ((index = ${#exit_actions[@]} - 1; index >= 0; index--)); do ${exit_actions[index]} || true; done
}
trap run_exit_actions EXIT

# For a daemon the script starts: runs EACH (if any) every few seconds while the script lives, and STOP
# when it ends, however it ends: at its exit, and from a watcher of its own should the script be killed,
# which runs no exit trap.
while_script_runs() { # each, stop
    local script=$$
    # A look that fails (the daemon not up yet) must not end the watcher.
    (set +e
        while kill -0 "$script" 2>/dev/null; do
            eval "$1"
            sleep 2
        done
        eval "$2") </dev/null >/dev/null 2>&1 &
    at_exit "$2"
    at_exit kill $!
}

# DIR emptied for a new run. A folder that is there already is emptied only if a run of ours made it (its
# mark, .helpers-work) or it is empty: the path may be mistyped, or name somebody's own folder, and that is
# refused with one line instead.
fresh_work_folder() { # dir
    if [ -d "$1" ] && [ ! -f "$1/.helpers-work" ] && [ -n "$(ls -A "$1")" ]; then
        trap - ERR
        echo "refusing to empty $1: a folder this project did not make (no .helpers-work in it)" >&2
        exit 2
    fi
    rm -rf "$1"
    mkdir -p "$1"
    touch "$1/.helpers-work"
}
