"""The installer test's copy of a recipe: the recipe as it stands, with one step added where it marks the
step that adds the product's devices (its comment "Your product adds its devices here"). The step runs a
command that waits for Kestrane to be watching and then takes the default over, so a recipe that starts
Kestrane after that place fails the installation.

An engine under Wine cannot show whom an action runs as: every action runs as the one Wine user. So for
the MSI recipe the rules that depend on it are read from the recipe itself: every action that runs a
helper impersonates the installing user (a broadcast from the system account never reaches the user's
applications), Kestrane starts without waiting, Halvicor 0 runs before the files are removed, and the
folder is removed with the package.

    device-step.py RECIPE OUT COMMAND ARGUMENT
COMMAND is the program's Windows path, for the NSIS and Inno Setup installers; the MSI packs the program
itself.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

MARK = "Your product adds its devices here"
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
REMOVE_FILES = 3500  # RemoveFiles in the standard InstallExecuteSequence


def wix_rules(text):
    problems = []
    root = ElementTree.fromstring(text)
    actions = {a.get("Id"): a for a in root.iter(WIX + "CustomAction")}
    for name, action in actions.items():
        if action.get("FileKey") and action.get("Impersonate", "yes") == "no":
            problems.append(f"{name} runs as the system account (Impersonate=\"no\")")
    if actions.get("StartKestrane") is None or actions["StartKestrane"].get("Return") != "asyncNoWait":
        problems.append("StartKestrane does not start Kestrane without waiting (Return=\"asyncNoWait\")")
    sequence = {c.get("Action"): int(c.get("Sequence")) for c in root.iter(WIX + "Custom")}
    # ICE64: a per-user folder the package makes is removed with it (Wine's msiexec removes it regardless).
    if not any(f.get("On") in ("uninstall", "both") for f in root.iter(WIX + "RemoveFolder")):
        problems.append("the installation folder has no RemoveFolder, so removal leaves it in the profile")
    if sequence.get("BroadcastCameraRemoved", REMOVE_FILES) >= REMOVE_FILES:
        problems.append("BroadcastCameraRemoved does not run before the files are removed")
    return problems


def wix_with_step(text, command, argument):
    # The new action's number lies halfway between the actions before and after the mark, in the order the
    # file gives them: where the recipe's author put the devices.
    sequence = re.search(r"<InstallExecuteSequence>(.*?)</InstallExecuteSequence>", text, re.S).group(1)
    before, after = sequence.split(MARK)
    number = lambda part: [int(n) for n in re.findall(r'Sequence="(\d+)"', part)]
    at = (number(before)[-1] + number(after)[0]) // 2
    # Installed beside the helpers (wixl knows no action that runs a program by its path alone).
    program = f'<File Id="TakeoverExe" Name="{command}" Source="$(var.HelpersDir)/{command}" />\n'
    action = (f'<CustomAction Id="TestDeviceStep" FileKey="TakeoverExe" ExeCommand="{argument}" '
              f'Execute="deferred" Impersonate="yes" Return="check" />\n')
    step = f'<Custom Action="TestDeviceStep" Sequence="{at}">NOT Installed</Custom>\n'
    text = text.replace("</Component>", program + "</Component>", 1)
    text = text.replace("<InstallExecuteSequence>", action + "<InstallExecuteSequence>")
    return text.replace("</InstallExecuteSequence>", step + "</InstallExecuteSequence>")


def nsis_with_step(text, command, argument):
    lines = text.split("\n")
    at = next(i for i, line in enumerate(lines) if MARK in line)
    # What a program of the system folder is, seen from the step: AMD64 where the step reaches the 64-bit
    # system, x86 where a 32-bit installer's redirection sends it to the 32-bit one.
    architecture = "C:\\device-step-architecture.txt"
    step = ["  nsExec::ExecToStack '\"$SYSDIR\\cmd.exe\" /c echo %PROCESSOR_ARCHITECTURE%'",
            "  Pop $0",
            "  Pop $1",
            f'  FileOpen $0 "{architecture}" w',
            "  FileWrite $0 $1",
            "  FileClose $0",
            f"  ExecWait '\"{command}\" {argument}' $0",
            '  ${If} $0 != 0',
            '    Abort "the device step failed: Kestrane was not watching"',
            '  ${EndIf}']
    return "\n".join(lines[:at + 1] + step + lines[at + 1:])


def inno_with_step(text, command, argument):
    # Setup runs its [Run] entries in order, so the step runs between Kestrane's start and Halvicor's. An
    # endpoint's ID has braces, and a "{" of Inno Setup's own starts a constant.
    escaped = argument.replace("{", "{{")
    step = f'Filename: "{command}"; Parameters: "{escaped}"; Flags: runhidden waituntilterminated'
    lines = text.split("\n")
    at = next(i for i, line in enumerate(lines) if MARK in line)
    return "\n".join(lines[:at + 1] + [step] + lines[at + 1:])


def main():
    recipe, out, command, argument = sys.argv[1:5]
    # The MSI installs the program beside the helpers; the NSIS installer runs it where it lies.
    program = "takeover.exe" if recipe.endswith(".wxs") else command
    text = open(recipe, encoding="utf-8").read()
    if MARK not in text:
        sys.exit(f"{recipe} marks no device step ('{MARK}')")
    if recipe.endswith(".wxs"):
        problems = wix_rules(text)
        if problems:
            sys.exit(f"{recipe}: " + "; ".join(problems))
        text = wix_with_step(text, program, argument)
    elif recipe.endswith(".iss"):
        text = inno_with_step(text, program, argument)
    else:
        text = nsis_with_step(text, program, argument)
    open(out, "w", encoding="utf-8").write(text)


main()
