#!/usr/bin/env python3
"""Prints, in apt's deb822 form, the machine's own Debian sources for one release (its updates and security
suites with it), and its backports suite from the mirror of the release itself: where the cached root's
packages come from, so that no mirror is named anywhere but in the machine's apt configuration.

    apt-sources.py CODENAME"""
import glob
import os
import re
import sys


def deb822(text):
    for paragraph in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for line in paragraph.splitlines():
            if line.startswith("#"):
                continue
            if line[:1].isspace() and key:
                fields[key] += " " + line.strip()
            elif ":" in line:
                key, value = line.split(":", 1)
                key = key.strip().lower()
                fields[key] = value.strip()
        if fields.get("enabled", "yes").lower() != "no":
            yield (fields.get("types", "").split(), fields.get("uris", "").split(),
                   fields.get("suites", "").split(), fields.get("components", "").split(),
                   fields.get("signed-by", ""))


def one_line(text):
    for line in text.splitlines():
        words = line.split("#", 1)[0].split()
        if len(words) < 3:
            continue
        options = ""
        if words[1].startswith("["):
            end = next(i for i, word in enumerate(words) if word.endswith("]"))
            options = " ".join(words[1:end + 1])
            words = words[:1] + words[end + 1:]
        signed = re.search(r"signed-by=([^\s\]]+)", options)
        yield [words[0]], [words[1]], [words[2]], words[3:], signed.group(1) if signed else ""


def main():
    codename = sys.argv[1]
    entries = []
    files = ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list"))
    for name in files + sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
        if os.path.isfile(name):
            text = open(name, encoding="utf-8").read()
            entries += deb822(text) if name.endswith(".sources") else one_line(text)
    release_mirror, backports = None, False
    for types, uris, suites, components, signed in entries:
        suites = [s for s in suites if s == codename or s.startswith(codename + "-")]
        if "deb" not in types or not uris or not suites:
            continue
        if codename in suites and release_mirror is None:
            release_mirror = (uris, components, signed)
        backports = backports or codename + "-backports" in suites
        print_entry(uris, suites, components, signed)
    if release_mirror is None:
        sys.exit(f"apt-sources.py: the machine's apt sources have no suite {codename}")
    if not backports:
        uris, components, signed = release_mirror
        print_entry(uris, [codename + "-backports"], components, signed)


def print_entry(uris, suites, components, signed):
    print("Types: deb")
    print("URIs: " + " ".join(uris))
    print("Suites: " + " ".join(suites))
    print("Components: " + " ".join(components))
    if signed:
        print("Signed-By: " + signed)
    print()


main()
