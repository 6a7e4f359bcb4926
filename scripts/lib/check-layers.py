#!/usr/bin/env python3
"""The layers of src/: a file includes headers of its own part or of a part below it, never above,
and the platform folders of the desktop library are its own. Run by the test suite."""
import pathlib
import re
import sys

# Lower numbers sit lower; parts of one level do not include each other.
LEVELS = {
    "records": 0,
    "state": 1, "language": 1,
    "audio": 2, "desktop": 2,
    "transcription": 3,
    "app/controller": 4,
    "ui": 5, "onboarding": 5,
    "app": 6,
}
PRIVATE = ("desktop/x11/", "desktop/wayland/")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def part(path):
    """The part a path from src/ belongs to: its longest prefix in LEVELS."""
    parts = path.split("/")
    for n in (2, 1):
        name = "/".join(parts[:n])
        if name in LEVELS and len(parts) > n:
            return name
    return None


def main(root):
    src = pathlib.Path(root) / "src"
    faults = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".cpp", ".h"):
            continue
        here = file.relative_to(src).as_posix()
        mine = part(here)
        for target in INCLUDE.findall(file.read_text(encoding="utf-8")):
            theirs = part(target)
            if theirs is None or theirs == mine:
                continue
            if target.startswith(PRIVATE) and not here.startswith("desktop/"):
                faults.append(f"src/{here}: {target} belongs to the desktop library alone")
            elif mine is None or LEVELS[theirs] >= LEVELS[mine]:
                faults.append(f"src/{here}: {target} is not below {mine}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
