#!/usr/bin/env python3
"""Fails on any #include that runs up the layers of src/.

    tools/check_layers.py [SRC_DIR]

Each folder of src/ is a layer; a file may include headers of its own
folder and of the layers below it, never of a layer above it or of another
folder on its own level. Every offending include is named with its file and
line, and the exit code is 1.
"""
import re
import sys
from pathlib import Path

# Lowest first; folders on one line stand side by side and do not include
# one another.
LAYERS = [
    ["platform"],
    ["data"],
    ["ui"],
    ["reports", "admin"],
    ["master"],
    ["documents"],
    ["demo"],  # sample books, for olvendctl and the benchmarks
    ["shell", "tools"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z_]+)/')


def main():
    src = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "src")
    faults = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in RANK:
            faults.append(f"{path}: folder '{folder}' has no layer in tools/check_layers.py")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if not m or m.group(1) == folder or m.group(1) not in RANK:
                continue
            target = m.group(1)
            if RANK[target] >= RANK[folder]:
                where = "above" if RANK[target] > RANK[folder] else "beside"
                faults.append(f"{path}:{number}: {folder}/ includes {target}/, a layer {where} it: {line.strip()}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
