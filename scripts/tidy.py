#!/usr/bin/env python3
"""clang-tidy over the files of a build's compile_commands.json that a pattern selects, two at a
time; every finding is shown, and the run fails when there was one.

A file found clean is marked in the user's cache folder (~/.cache/halvorix-tidy) under a digest of
its preprocessed text (its own headers included, the source tree's place in it left out), the
checks and clang-tidy's version: it is not checked again until one of those changes, also in
another clone of the sources.

    scripts/tidy.py BUILD-DIR SOURCE-ROOT FILE-PATTERN
"""
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys

build, root, pattern = sys.argv[1], os.path.realpath(sys.argv[2]), re.compile(sys.argv[3])
with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
    entries = [e for e in json.load(f) if pattern.search(e["file"])]
cache = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "halvorix-tidy")
os.makedirs(cache, exist_ok=True)
with open(os.path.join(root, ".clang-tidy"), "rb") as f:
    checks = f.read()
version = subprocess.run(["clang-tidy", "--version"], capture_output=True, check=True).stdout


def digest(entry):
    """The digest of what clang-tidy would see of this file, or None when it cannot be made."""
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    preprocess, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg != "-c":
            preprocess.append(arg)
    done = subprocess.run(preprocess + ["-E", "-P"], cwd=entry["directory"], capture_output=True)
    if done.returncode != 0:
        return None
    text = done.stdout.replace(root.encode(), b"@SOURCES@")
    return hashlib.sha256(checks + version + text).hexdigest()


def check(entry):
    """(file, findings, clean, checked): clang-tidy's word on one file, unless found clean before."""
    mark = digest(entry)
    if mark and os.path.exists(os.path.join(cache, mark)):
        return entry["file"], "", True, False
    done = subprocess.run(["clang-tidy", "-p", build, "--quiet", entry["file"]], capture_output=True, text=True)
    shown = "\n".join(
        line for line in (done.stdout + done.stderr).splitlines() if not re.fullmatch(r"\d+ warnings? generated\.", line)
    )
    if done.returncode == 0 and mark:
        open(os.path.join(cache, mark), "w").close()
    return entry["file"], shown, done.returncode == 0, True


failed, checked = [], 0
with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
    for file, shown, clean, looked in pool.map(check, entries):
        checked += looked
        if shown:
            print(shown, flush=True)
        if not clean:
            failed.append(file)
print(f"clang-tidy: {len(entries)} files, {checked} checked now (the rest unchanged since found clean), "
      f"{len(failed)} with findings")
sys.exit(1 if failed else 0)
