#!/usr/bin/env python3
"""Fails when a source file includes a folder its layer may not include.

The allowed includes are those of layers.txt; every arrow against them is
printed as "file: folder -> folder".
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def read_layers():
    allowed = {}
    for line in (ROOT / "layers.txt").read_text().splitlines():
        line = line.split("#", 1)[0].strip()
        if line:
            name, below = line.split(":", 1)
            allowed[name.strip()] = set(below.split()) | {name.strip()}
    return allowed


def main():
    allowed = read_layers()
    wrong = []
    for layer, may in allowed.items():
        for path in sorted((ROOT / layer).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for number, text in enumerate(path.read_text().splitlines(), 1):
                match = INCLUDE.match(text)
                if match and match.group(1) in allowed and match.group(1) not in may:
                    wrong.append(f"{path.relative_to(ROOT)}:{number}: {layer} -> {match.group(1)}")
    for line in wrong:
        print(line)
    if wrong:
        print(f"{len(wrong)} include(s) against the layer order of layers.txt")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
