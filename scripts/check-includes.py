#!/usr/bin/env python3
"""Lists every #include that crosses from one part of the tree into another and fails on one that
runs upward, sideways between windows, or closes a circle.

A part is a top folder, or a folder one level down in core/, qt/ and win32/. Parts are ranked from the
bottom up; an include may only reach a part of lower rank. Quoted includes are resolved like the
build does: next to the including file first, then in every `include` folder of the tree.

    scripts/check-includes.py [--list] [ROOT]
"""
import os
import re
import sys

RANKS = {
    "bridgeproto": -1,
    "regmap": -1,
    "bridgesim": 0,
    "wd_utils": 1,
    "driverinit": 2,
    "core/form": 3,
    "core/board": 4,
    # Below the windows: the register console's capture is written by the client's capture.
    "core/client": 4.5,
    "core/gpio": 5,
    "core/console": 5,
    "core/script": 5,
    "core/about": 5,
    "core/startup": 5,
    "core/regmap": 5,
    "core/app": 6,
    # The script engine without a window, over the application object.
    "core/runner": 6.5,
    "testing": 7,
    "tools": 8,
    "qt/kit": 8,
    "qt/gpio": 9,
    "qt/console": 9,
    "qt/script": 9,
    "qt/about": 9,
    "qt/startup": 9,
    "qt/regmap": 9,
    "qt/program": 10,
    "python": 9,
    "win32/kit": 8,
    "win32/views": 9,
    "win32/program": 10,
    "tests": 11,
    "bench": 11,
    "fuzz": 11,
}
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".in")
SKIP = {".git", "build"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def part_of(rel):
    pieces = rel.split("/")
    if pieces[0] in ("core", "qt", "win32") and len(pieces) > 2:
        return pieces[0] + "/" + pieces[1]
    return pieces[0] if len(pieces) > 1 else None


def walk(root):
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIP)
        for name in sorted(files):
            yield os.path.relpath(os.path.join(folder, name), root)


def main(argv):
    listing = "--list" in argv
    args = [a for a in argv if a != "--list"]
    root = os.path.abspath(args[0] if args else os.path.join(os.path.dirname(__file__), ".."))
    files = [f for f in walk(root) if f.endswith(SOURCES)]
    include_roots = sorted({f.split("/include/")[0] + "/include" for f in files if "/include/" in f})
    arrows = {}
    for rel in files:
        source = part_of(rel)
        if source is None:
            continue
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as handle:
            text = handle.read()
        for name in INCLUDE.findall(text):
            candidates = [os.path.join(os.path.dirname(rel), name)]
            candidates += [os.path.join(r, name) for r in include_roots]
            target = next((os.path.normpath(c) for c in candidates
                           if os.path.isfile(os.path.join(root, c))), None)
            if target is None:
                continue  # a generated header or one of a library
            destination = part_of(target)
            if destination and destination != source:
                arrows.setdefault((source, destination), []).append(f"{rel} -> {target}")

    bad = []
    for (source, destination), uses in sorted(arrows.items()):
        a, b = RANKS.get(source), RANKS.get(destination)
        verdict = "ok"
        if a is None or b is None:
            verdict = "unranked part"
        elif b > a:
            verdict = "runs upward"
        elif b == a:
            verdict = "runs sideways"
        if listing or verdict != "ok":
            print(f"{source} -> {destination}: {len(uses)} include(s) {verdict}")
        if verdict != "ok":
            bad += [f"  {use}" for use in uses]
    print(f"{len(arrows)} folder-to-folder arrows, {sum(map(len, arrows.values()))} includes")
    if bad:
        print("\n".join(bad))
        print("include check failed: an include runs upward, sideways or closes a circle")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
