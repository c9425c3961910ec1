#!/usr/bin/env bash
# What a user sees on the desktop while an installer runs the helpers: Wine draws console windows only on a
# display, so this test starts an X server of its own (never the user's) and a prefix that draws on it.
# consolewatch.exe, a GUI program as an installer is, starts a program and samples every console window.
#   no-console-shows.sh BIN_DIR WORK_DIR
set -euo pipefail
unset CDPATH
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../scripts" && pwd)
# shellcheck source=scripts/wine/wine-scratch.sh
source "$scripts/wine/wine-scratch.sh"
# The recipes' 32-bit installers run in Wine's 32-bit part, and so does the prefix's server.
wine_prefix_kind=(--32-bit)
wine_scratch_start "$1" "$2"

# The X server picks a free display and names it once it accepts connections. It is stopped when the
# script ends, however it ends.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display.txt" </dev/null >"$work/xvfb.txt" 2>&1 &
while_script_runs '' "kill $!"
wait_until 30 test -s "$work/display.txt" || {
    echo "set-up failed: starting an X server of the test's own ($(tr '\n' ' ' <"$work/xvfb.txt" | cut -c1-300))" >&2
    exit 2
}
# The prefix was made headless; from here on it draws on that display.
setup "the prefix's graphics driver" wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
wineserver -k
DISPLAY=:$(cat "$work/display.txt")
export DISPLAY
"$scripts/wine/in-32-bit-part" wineserver -p </dev/null >/dev/null 2>&1 ||
    { echo "set-up failed: the Wine server in Wine's 32-bit part" >&2; exit 2; }
setup "the Windows path of the programs" winepath -w "$bin"
windows_bin=$setup_output

# The watcher starts the program it samples: a 32-bit one only in Wine's 32-bit part.
watcher=(wine)
watch() { # case, gui|shared, program and arguments...: the windows seen, in $work/<case>.txt
    local name=$1
    shift
    "${watcher[@]}" "$bin/consolewatch.exe" "$windows_work\\$name.txt" "$@" </dev/null >"$work/$name.out" 2>&1 ||
        fail "$name: the watcher failed: $(cat "$work/$name.out")"
    sed "s/^/  $name: /" "$work/$name.txt"
}
# A helper started with default flags gets a console window: one that is never seen means no display.
seen_a_window() { grep -q '^window ' "$work/$1.txt" || fail "$1: no console window was seen at all"; }
exit_code() { sed -n 's/^exit=//p' "$work/$1.txt"; }
# Every window that showed was hidden within the time given.
hidden_within() { # case, milliseconds
    awk -v most="$2" '/^window / { split($2, shown, "="); if (shown[2] > most) bad = 1 } END { exit bad }' \
        "$work/$1.txt" || fail "$1: a console window stayed visible for more than $2 ms"
}
# The console made for the program was given up, not only hidden: its window went while the program ran on.
gone_while_running() { # case, program, milliseconds before the program's end
    awk -v program="program=$2" -v least="$3" '$NF == program { split($4, gone, "="); if (gone[2] >= least) ok = 1 }
        END { exit !ok }' "$work/$1.txt" || fail "$1: $2's console window was not gone $3 ms before $2 ended"
}
setup "the Windows path of the work folder" winepath -w "$work"
windows_work=$setup_output

echo "== The helpers started as a GUI installer starts them, and from a command prompt's console"
# Measured here: visible for 35 to 80 ms, 120 ms beside two busy processes; Kestrane's console gone about
# 2 s after it showed, 5 s before Kestrane ended.
watch kestrane-gui gui "$windows_bin\\Kestrane.exe"
seen_a_window kestrane-gui
hidden_within kestrane-gui 300
gone_while_running kestrane-gui Kestrane.exe 1000
[ "$(exit_code kestrane-gui)" = 0 ] || fail "kestrane-gui: exit code $(exit_code kestrane-gui)"
watch halvicor-gui gui "$windows_bin\\Halvicor.exe" 1
seen_a_window halvicor-gui
hidden_within halvicor-gui 300
[ "$(exit_code halvicor-gui)" = 1 ] || fail "halvicor-gui: exit code $(exit_code halvicor-gui)"
# What the program writes once its console is given up goes to NUL, not to the handles the console took.
watch probe gui "$windows_bin\\giveupprobe.exe"
[ "$(exit_code probe)" = 0 ] ||
    fail "probe: a write after the console was given up failed (exit code $(exit_code probe): 3 std::cout, 4 the handle)"
watch kestrane-shared shared "$windows_bin\\Kestrane.exe"
grep -q '^window .*visible_at_end=1 ' "$work/kestrane-shared.txt" ||
    fail "kestrane-shared: Kestrane hid the console it shares with the one that started it"

echo "== The installer recipes, installed silently"
"$scripts/installers" "$bin" "$work/installers" >/dev/null
setup "the Windows path of the installers" winepath -w "$work/installers"
installers=$setup_output
watcher=("$scripts/wine/in-32-bit-part" wine)
watch nsis gui "$installers\\helpers-setup.exe" /S
hidden_within nsis 0
watch inno gui "$installers\\helpers-inno-setup.exe" /VERYSILENT /SUPPRESSMSGBOXES
hidden_within inno 0
watcher=(wine)
watch nsis-x64 gui "$installers\\helpers-setup-x64.exe" /S
hidden_within nsis-x64 0
watch msi gui msiexec /i "$installers\\helpers.msi" /qn
seen_a_window msi
hidden_within msi 300

[ "$failures" -eq 0 ] || exit 1
echo "ok: no helper's console window stays on the desktop"
