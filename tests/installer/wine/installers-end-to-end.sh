#!/usr/bin/env bash
# The installer examples under real installer engines in Wine, msiexec, the NSIS recipe's 32-bit and
# 64-bit installers and an Inno Setup installer, against the audio lab of scripts/wine/audio-lab.sh. The
# 32-bit ones run in Wine's 32-bit part (scripts/wine/in-32-bit-part).
# Each installs silently and reports success; Kestrane, started without waiting, sees the takeover that
# the installation makes at the step where the recipe adds the devices, and sets the defaults back;
# Halvicor 1 broadcasts the camera's arrival. The removal reports success and Halvicor 0 broadcasts its
# removal.
#   installers-end-to-end.sh BIN_DIR WORK_DIR [msi|nsis|nsis-x64|inno...]
set -euo pipefail
unset CDPATH
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../scripts" && pwd)
engines=("${@:3}")
[ ${#engines[@]} -gt 0 ] || engines=(msi nsis nsis-x64 inno)
# shellcheck source=scripts/wine/audio-lab.sh
source "$scripts/wine/audio-lab.sh"
wine_prefix_kind=(--32-bit)
audio_lab_start "$1" "$2"
# The recipes as they stand, each with the device step added where it marks it (device-step.py), and
# read for what an engine under Wine cannot show.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$work/recipes"
cp "$bin/takeover.exe" "$WINEPREFIX/drive_c/takeover.exe"
for recipe in helpers.wxs helpers.nsi helpers.iss; do
    python3 "$here/device-step.py" "$scripts/../examples/installer/$recipe" "$work/recipes/$recipe" \
        'C:\takeover.exe' "$headset_b" || { echo "FAIL: the recipe $recipe"; exit 1; }
done
"$scripts/installers" "$bin" "$work/installers" "$work/recipes" >/dev/null
# The NSIS installers ask Windows for no elevation: elevated, the helpers would run as the elevating
# account, with that account's marker folder. Wine's user is an administrator and cannot show this.
for setup in helpers-setup.exe helpers-setup-x64.exe; do
    grep -aq 'requestedExecutionLevel level="asInvoker"' "$work/installers/$setup" ||
        fail "nsis: the manifest of $setup asks for elevation"
done
# The same packages, newer: what an upgrade installs over them.
mkdir -p "$work/newer"
sed 's/ Version="1\.0\.0"/ Version="1.0.1"/' "$work/recipes/helpers.wxs" >"$work/newer/helpers.wxs"
sed 's/^AppVersion=1\.0\.0/AppVersion=1.0.1/' "$work/recipes/helpers.iss" >"$work/newer/helpers.iss"
cp "$work/recipes/helpers.nsi" "$work/newer/"
"$scripts/installers" "$bin" "$work/installers-newer" "$work/newer" >/dev/null
register_policy_server
halvicor_log=$(dirname "$log")/Halvicor.txt
local_app_data() { winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')"; }
setup "the prefix's %LOCALAPPDATA%" local_app_data
installed=$setup_output/QorTavroHelpersExample

# Halvicor's records without the broadcasts' results, which depend on what windows are there to hear them.
halvicor_records() { log_records "$halvicor_log" | sed 's/ Status:.*/ Status:/'; }
halvicor_run() { # the record of the event
    printf '[55] ***** QORTavroNotifier Logs *****\n%s\n[21] DBT_DEVNODES_CHANGED Status:\n' "$1"
    printf '[39] AM_KSCATEGORY_CAPTURE Status:\n[52] AM_KSCATEGORY_VIDEO Status:\n'
}
# The date and time of a record, a text that sorts as the times do.
stamp_of() { grep -F " $2 " "$1" 2>/dev/null | head -1 | sed 's/^\[ *[0-9]*\] //' | cut -d' ' -f1-2 || true; }
expect_same() { # what, expected text, actual text
    [ "$2" = "$3" ] || { fail "$1"; diff -u <(echo "$2") <(echo "$3") || true; }
}
engine_runs() { # command...: false, with what the engine said, unless it reports success
    local code=0
    wine_program "$@" </dev/null >"$work/engine.txt" 2>&1 || code=$?
    [ "$code" -eq 0 ] || { echo "exit code $code:"; cat "$work/engine.txt"; return 1; }
}

for engine in "${engines[@]}"; do
    echo "== $engine"
    failed_before=$failures
    rm -f "$log" "$halvicor_log" "$calls"
    set_defaults "$speakers_a" "$speakers_a" "$mic_a" "$mic_a"
    case $engine in
    msi)
        setup "the Windows path of the package" winepath -w "$work/installers/helpers.msi"
        package=$setup_output
        install=(msiexec /i "$package" /qn)
        uninstall=(msiexec /x "$package" /qn)
        uninstaller=
        ;;
    nsis | nsis-x64)
        setup_file=helpers-setup.exe
        [ "$engine" = nsis ] || setup_file=helpers-setup-x64.exe
        install=("$work/installers/$setup_file" /S)
        # As a user starts it: it copies itself away, returns at once, and removes its own file last.
        uninstaller=uninstall.exe
        uninstall=("$installed/$uninstaller" /S)
        ;;
    inno)
        install=("$work/installers/helpers-inno-setup.exe" /VERYSILENT /SUPPRESSMSGBOXES)
        uninstaller=unins000.exe
        uninstall=("$installed/$uninstaller" /VERYSILENT /SUPPRESSMSGBOXES)
        ;;
    *) fail "unknown engine $engine" && continue ;;
    esac

    # At its device step, the installation makes the headset the communications default.
    engine_runs "${install[@]}" || fail "$engine: the installation did not report success"
    wait_until 20 grep -q 'DONE' "$log" 2>/dev/null || true

    # The 32-bit installer's device step reaches the 64-bit system, as the recipe turns redirection off.
    architecture=$WINEPREFIX/drive_c/device-step-architecture.txt
    if [[ $engine == nsis* ]]; then
        [ "$(tr -d '\r\n ' <"$architecture" 2>/dev/null)" = AMD64 ] ||
            fail "$engine: the device step ran a system program of '$(cat "$architecture" 2>/dev/null)', not AMD64"
        rm -f "$architecture"
    fi

    # Setup's own log, written without /LOG, has Halvicor's exit code.
    if [ "$engine" = inno ]; then
        grep -aqs 'Process exit code: 1' "$temp"/Setup\ Log\ *.txt ||
            fail "inno: no Setup log in %TEMP% has Halvicor's exit code ('Process exit code: 1')"
        rm -f "$temp"/Setup\ Log\ *.txt
    fi

    kestrane=$(log_records "$log")
    grep -qxF "[149] Default speaker changed, Name:Headset B ID:$headset_b" <<<"$kestrane" ||
        fail "$engine: Kestrane recorded no takeover by Headset B"
    grep -A1 -F '[149] Default speaker changed' <<<"$kestrane" | grep -qxF '[290] Default speaker devices reset done' ||
        fail "$engine: Kestrane recorded no restore after the takeover"
    grep -qxF '[75] *** DONE ***' <<<"$kestrane" || fail "$engine: Kestrane did not finish"
    expect_same "$engine: calls of the set-default method" \
        "$(printf '0 %s\n1 %s\n2 %s' "$speakers_a" "$speakers_a" "$speakers_a")" "$(tr -d '\r' 2>/dev/null <"$calls" || true)"
    expect_same "$engine: playback defaults after the installation" \
        "$(printf '0 0 %s\n0 1 %s\n0 2 %s' "$speakers_a" "$speakers_a" "$speakers_a")" \
        "$(wine "$bin/showdefaults.exe" </dev/null 2>/dev/null | tr -d '\r' | head -3)"
    # Started without waiting, Kestrane still watches while the installation goes on: Halvicor's broadcast,
    # a later step, comes before Kestrane is done. A start that waited would have it the other way round.
    broadcast_at=$(stamp_of "$halvicor_log" '[64]')
    done_at=$(stamp_of "$log" '[75]')
    [[ -n "$broadcast_at" && -n "$done_at" && "$broadcast_at" < "$done_at" ]] ||
        fail "$engine: the installation waited for Kestrane (broadcast at '$broadcast_at', Kestrane done at '$done_at')"
    expect_same "$engine: Halvicor's records of the installation" \
        "$(halvicor_run '[64] Broadcasting on device addition')" "$(halvicor_records)"

    if [ "$engine" = msi ]; then
        # The camera is still there after a repair: no removal broadcast.
        engine_runs msiexec /i "$package" REINSTALL=ALL REINSTALLMODE=vomus /qn ||
            fail "msi: the repair did not report success"
        expect_same "msi: Halvicor's records after a repair" \
            "$(halvicor_run '[64] Broadcasting on device addition')" "$(halvicor_records)"
    fi
    # A file of the user's in the installation's folder outlives the removal.
    echo "the user's own" >"$installed/notes of mine.txt"
    engine_runs "${uninstall[@]}" || fail "$engine: the removal did not report success"
    [ -z "$uninstaller" ] || wait_until 60 test ! -e "$installed/$uninstaller" || true
    expect_same "$engine: Halvicor's records after the removal" \
        "$(halvicor_run '[64] Broadcasting on device addition'; halvicor_run '[68] Broadcasting on device removal')" \
        "$(halvicor_records)"
    for program in Kestrane.exe Halvicor.exe $uninstaller; do
        [ ! -e "$installed/$program" ] || fail "$engine: the removal left $program behind"
    done
    [ -f "$installed/notes of mine.txt" ] || fail "$engine: the removal deleted a file of the user's"
    rm -rf "$installed"
    [ "$failures" -ne "$failed_before" ] || echo "ok: $engine installs, keeps the defaults, broadcasts, and uninstalls"
done

# The same step with the recipe's turn-off of redirection taken out reaches the 32-bit system: the check
# above tells the two apart.
if [[ " ${engines[*]} " == *" nsis "* ]]; then
    echo "== nsis, the device step with redirection on"
    mkdir -p "$work/redirected"
    sed '/X64FSRedirection/d' "$work/recipes/helpers.nsi" >"$work/redirected/helpers.nsi"
    LC_ALL=C.UTF-8 makensis -V2 -DHelpersDir="$bin" -DOUTPUT="$work/redirected/helpers-setup.exe" "$work/redirected/helpers.nsi" >/dev/null
    engine_runs "$work/redirected/helpers-setup.exe" /S || fail "nsis, redirected: the installation did not report success"
    seen=$(tr -d '\r\n ' <"$WINEPREFIX/drive_c/device-step-architecture.txt" 2>/dev/null || true)
    [ "$seen" = x86 ] || fail "nsis, redirected: the device step ran a system program of '$seen', not x86"
    engine_runs "$installed/uninstall.exe" /S || fail "nsis, redirected: the removal did not report success"
    wait_until 30 eval '! pgrep -f "QorTavroHelpersExample.Kestrane.exe" >/dev/null' || true
    rm -rf "$installed" "$WINEPREFIX/drive_c/device-step-architecture.txt"
    [ "$seen" != x86 ] || echo "ok: with redirection on, the device step reaches the 32-bit system"
fi

# A newer package installed over an older one replaces it, and leaves one product or entry where the engine
# keeps them. The camera stays across an upgrade: the applications hear of no removal until the product is
# removed.
products() { wine reg query 'HKCU\Software\Microsoft\Installer\Products' </dev/null 2>/dev/null | grep -c '^HKEY' || true; }
inno_entries() { wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' </dev/null 2>/dev/null |
    tr -d '\r' | grep -c '_is1$' || true; }
setup "the Windows path of the older package" winepath -w "$work/installers/helpers.msi"
older_msi=$setup_output
setup "the Windows path of the newer package" winepath -w "$work/installers-newer/helpers.msi"
newer_msi=$setup_output
two_installations="$(halvicor_run '[64] Broadcasting on device addition'; halvicor_run '[64] Broadcasting on device addition')"
for engine in "${engines[@]}"; do
    [ "$engine" != nsis-x64 ] || continue
    echo "== $engine upgrade"
    failed_before=$failures
    rm -f "$halvicor_log"
    case $engine in
    msi)
        older=(msiexec /i "$older_msi" /qn) newer=(msiexec /i "$newer_msi" /qn) removal=(msiexec /x "$newer_msi" /qn)
        entries=products uninstaller=
        ;;
    nsis)
        older=("$work/installers/helpers-setup.exe" /S) newer=("$work/installers-newer/helpers-setup.exe" /S)
        removal=("$installed/uninstall.exe" /S) entries='' uninstaller=uninstall.exe
        ;;
    inno)
        older=("$work/installers/helpers-inno-setup.exe" /VERYSILENT /SUPPRESSMSGBOXES)
        newer=("$work/installers-newer/helpers-inno-setup.exe" /VERYSILENT /SUPPRESSMSGBOXES)
        removal=("$installed/unins000.exe" /VERYSILENT /SUPPRESSMSGBOXES) entries=inno_entries uninstaller=unins000.exe
        ;;
    esac
    engine_runs "${older[@]}" || fail "$engine upgrade: the older one did not install"
    engine_runs "${newer[@]}" || fail "$engine upgrade: the newer one did not install"
    [ -z "$entries" ] || [ "$("$entries")" -eq 1 ] || fail "$engine upgrade: $("$entries") are installed, not one"
    if [ "$engine" = msi ]; then
        # Wine 8's RemoveExistingProducts removes the older package with REMOVE=ALL alone (its msi trace:
        # MsiConfigureProductExW(code, 0, INSTALLSTATE_ABSENT, " REMOVE=ALL")), where Windows also sets
        # UPGRADINGPRODUCTCODE, so here the older package runs Halvicor 0 inside the upgrade. Only the
        # newer package's records are read here; the recipe's condition is shown below, on the older
        # package removed with that property set as Windows sets it.
        [ "$(halvicor_records | grep -c 'Broadcasting on device addition')" -eq 2 ] ||
            fail "msi upgrade: the two packages did not each broadcast the camera's arrival"
    else
        expect_same "$engine upgrade: Halvicor's records of the two installations" "$two_installations" "$(halvicor_records)"
    fi
    upgraded=$(halvicor_records)
    # Removed once the Kestrane it started has ended (a running program's file stays), it leaves no folder.
    wait_until 30 eval '! pgrep -f "QorTavroHelpersExample.Kestrane.exe" >/dev/null' || true
    engine_runs "${removal[@]}" || fail "$engine upgrade: the newer one was not removed"
    [ -z "$uninstaller" ] || wait_until 60 test ! -e "$installed/$uninstaller" || true
    expect_same "$engine upgrade: Halvicor's records after the removal" \
        "$upgraded"$'\n'"$(halvicor_run '[68] Broadcasting on device removal')" "$(halvicor_records)"
    wait_until 30 test ! -e "$installed" ||
        fail "$engine upgrade: the removal left $installed behind: $(cd "$installed" && printf '%s ' *)"
    rm -rf "$installed"
    if [ "$engine" = msi ]; then
        # The older package's removal inside a major upgrade, as Windows runs it: the camera stays, so
        # Halvicor 0 does not run. The property's value is the newer product's code; any one will do.
        rm -f "$halvicor_log"
        engine_runs "${older[@]}" || fail "msi upgrade: the older package did not install again"
        engine_runs msiexec /x "$older_msi" UPGRADINGPRODUCTCODE='{0A409253-0000-4761-916B-E207C27B3513}' /qn ||
            fail "msi upgrade: the older package's removal for an upgrade failed"
        expect_same "msi upgrade: Halvicor's records of the older package removed for an upgrade" \
            "$(halvicor_run '[64] Broadcasting on device addition')" "$(halvicor_records)"
        rm -rf "$installed"
    fi
    [ "$failures" -ne "$failed_before" ] || echo "ok: $engine upgrades with no removal broadcast, and is removed"
done

echo "Kestrane's log of the last installation ($log):"
tr -d '\r' <"$log"
if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all engines passed"
