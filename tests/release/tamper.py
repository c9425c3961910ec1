#!/usr/bin/env python3
"""Tampers with a copy of a release folder in one of the ways a verifier must catch, then writes SHA256SUMS
again to match, as someone who controls the download would.

    tamper.py RELEASE recipe|entry|program|loose|stray"""
import glob
import hashlib
import os
import shutil
import sys
import zipfile

release, kind = sys.argv[1:3]
archive = glob.glob(os.path.join(release, "*.zip"))[0]
# What an installer author would paste into a product: an action that runs as the system account.
SYSTEM_ACTION = (b'<CustomAction Id="Own" Execute="deferred" Impersonate="no" Return="ignore" '
                 b'Directory="INSTALLDIR" ExeCommand="cmd.exe /c whoami" />')


def rewrite(edit, added=()):
    entries = [(info, zipfile.ZipFile(archive).read(info)) for info in zipfile.ZipFile(archive).infolist()]
    with zipfile.ZipFile(archive, "w") as out:
        for info, data in entries:
            out.writestr(info, edit(info.filename, data))
        for name, data in added:
            out.writestr(name, data)


if kind == "recipe":
    rewrite(lambda name, data: data.replace(b"</Product>", SYSTEM_ACTION + b"</Product>", 1)
            if name.endswith("helpers.wxs") else data)
elif kind == "entry":
    rewrite(lambda name, data: data, [("bin/extra.cmd", b"@echo off\r\n")])
elif kind == "program":
    rewrite(lambda name, data: data + b"\0" if name == "bin/Kestrane.exe" else data)
elif kind == "loose":
    shutil.copy(os.path.join(release, "bin", "Halvicor.exe"), os.path.join(release, "bin", "Kestrane.exe"))
elif kind == "stray":
    with open(os.path.join(release, "setup-helper.cmd"), "w", encoding="ascii") as stray:
        stray.write("@echo off\r\n")
else:
    sys.exit(f"tamper.py: no such tampering {kind}")

sums = os.path.join(release, "SHA256SUMS")
names = [line.split(None, 1)[1].strip() for line in open(sums, encoding="utf-8")]
with open(sums, "w", encoding="utf-8") as written:
    for name in names:
        with open(os.path.join(release, name), "rb") as data:
            written.write(f"{hashlib.sha256(data.read()).hexdigest()}  {name}\n")
