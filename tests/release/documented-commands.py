"""The build commands that README and the recipes' headers give, as cmd.exe runs them from a folder whose
path holds a space: cmd.exe puts the folder in place of %CD%, and the program splits its command line as
the C runtime (CommandLineToArgvW) does. Every argument that names the folder must name it whole.

    documented-commands.py FILE...
Exits 1 naming each command whose folder came apart, or a file that gives no such command."""
import re
import sys

FOLDER = r"C:\Users\Ann Lee\Downloads"


def split(line):
    arguments, current, quoted, backslashes, started = [], "", False, 0, False
    for character in line + " ":
        if character == "\\":
            backslashes += 1
            continue
        if character == '"':
            current += "\\" * (backslashes // 2)
            if backslashes % 2:
                current += '"'
            else:
                quoted = not quoted
            backslashes, started = 0, True
            continue
        current += "\\" * backslashes
        backslashes = 0
        if character in " \t" and not quoted:
            if started or current:
                arguments.append(current)
            current, started = "", False
        else:
            current += character
    return arguments


problems = []
for path in sys.argv[1:]:
    # Commands stand indented by four blanks, in Markdown or behind a recipe's comment mark.
    commands = [re.sub(r"^[;#]?\s+", "", line.rstrip("\r\n")) for line in open(path, encoding="utf-8")
                if "%CD%" in line and re.match(r"^[;#]?\s{4,}\S", line)]
    if not commands:
        problems.append(f"{path}: no command with %CD%")
    for command in commands:
        arguments = split(command.replace("%CD%", FOLDER))
        whole = sum(argument.count(FOLDER) for argument in arguments)
        if whole != command.count("%CD%"):
            problems.append(f"{path}: {command}: with %CD% = {FOLDER} it splits into {arguments}")
for problem in problems:
    print(f"FAIL: {problem}")
sys.exit(1 if problems else 0)
