#!/usr/bin/env python3
"""Prints the key of each clang-tidy result the lint keeps, with its source: for each C or C++ file named on
standard input that the build's compile_commands.json compiles, a hash of what decides that file's result:
the salt given (the tool's version and configuration), the file's compile command, and the bytes of the
file and of every header of the tree it includes, directly or through other headers.

    tidy-keys.py COMPILE_COMMANDS ROOT SALT < SOURCES   prints KEY<TAB>SOURCE lines"""
import hashlib
import json
import os
import re
import shlex
import sys

INCLUDE = re.compile(rb'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def include_dirs(entry):
    words = entry.get("arguments") or shlex.split(entry["command"])
    dirs, wants = [], False
    for word in words:
        if wants:
            dirs.append(word)
            wants = False
        elif word in ("-I", "-isystem", "-iquote"):
            wants = True
        elif word.startswith("-I"):
            dirs.append(word[2:])
        elif word.startswith("-isystem"):
            dirs.append(word[len("-isystem"):])
    return [os.path.join(entry["directory"], d) for d in dirs]


def closure(source, dirs, root):
    """The source and every file of the tree it includes: headers outside it (the system's, the
    toolchain's) are decided by the salt's package versions."""
    seen, todo = set(), [os.path.realpath(source)]
    while todo:
        path = todo.pop()
        if path in seen:
            continue
        seen.add(path)
        try:
            text = open(path, "rb").read()
        except OSError:
            continue
        for kind, name in INCLUDE.findall(text):
            places = ([os.path.dirname(path)] if kind == b'"' else []) + dirs
            for place in places:
                found = os.path.realpath(os.path.join(place, name.decode(errors="replace")))
                if os.path.isfile(found):
                    if found.startswith(root + os.sep):
                        todo.append(found)
                    break
    return sorted(seen)


def main():
    commands, root, salt = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
    chosen = {os.path.realpath(os.path.join(root, line.strip())) for line in sys.stdin if line.strip()}
    printed = set()
    for entry in json.load(open(commands)):
        source = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        if source not in chosen or not source.endswith((".cpp", ".c")) or source in printed:
            continue
        printed.add(source)
        key = hashlib.sha256(salt.encode())
        key.update(json.dumps(entry.get("arguments") or entry["command"]).encode())
        for path in closure(source, include_dirs(entry), root):
            key.update(os.path.relpath(path, root).encode() + b"\0")
            try:
                key.update(hashlib.sha256(open(path, "rb").read()).digest())
            except OSError:
                key.update(b"unreadable")
        print(f"{key.hexdigest()[:40]}\t{source}")


main()
