#!/usr/bin/env python3
"""The folders of src/ are the layers of the program: each may include headers from its own
folder and from the folders below it, never from one above or beside it. Fails with every
include that breaks the drawing, and when the domain folders name a widget header."""

import pathlib
import re
import sys

# Bottom first. Folders on one line are peers: neither includes the other.
LAYERS = [
    ["base"],
    ["link"],
    ["exchange"],
    ["table"],
    ["history"],
    ["export"],
    ["charts"],
    ["windows", "cli"],
    ["app"],
]
RANK = {folder: rank for rank, line in enumerate(LAYERS) for folder in line}
# The folders built into the QtCore library: no widget, no painting.
NO_WIDGETS = ["base", "link", "exchange", "table", "history"]
WIDGET_HEADER = re.compile(r"#include\s*<(Qt(Widgets|Gui|PrintSupport|Charts|Svg)/)?"
                           r"(Q(Widget|Dialog|MainWindow|Label|PushButton|ProgressBar|"
                           r"TableView|AbstractItemView|Painter|Printer|Image|Pixmap|"
                           r"Font|Color|Application|Clipboard|MessageBox)\w*)>")
INCLUDE = re.compile(r'#include\s*"([a-z_]+)/[^"]+"')


def main(root):
    src = pathlib.Path(root) / "src"
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.relative_to(src).parts[0]
        if folder not in RANK:
            problems.append(f"{path}: the folder {folder}/ has no place among the layers")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line.strip())
            if match:
                target = match.group(1)
                if target not in RANK:
                    problems.append(f"{path}:{number}: includes from {target}/, which is no layer")
                elif target != folder and RANK[target] >= RANK[folder]:
                    problems.append(f"{path}:{number}: {folder}/ includes from {target}/, "
                                    "which is not below it")
            if folder in NO_WIDGETS and WIDGET_HEADER.match(line.strip()):
                problems.append(f"{path}:{number}: {folder}/ is built without widgets but includes "
                                f"{line.strip()[len('#include '):]}")
    for problem in problems:
        print(problem)
    if not problems:
        print("every include points down")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2]))
