#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Keeps the layers: each product folder includes only from itself and the
folders its row names. Reads every #include "..." in the product folders,
relative ones too, and names each include that breaks the table.

Usage: check_layers.py [PROJECT_ROOT]   (exit 1 when an include breaks it)
"""
import os
import re
import sys

# The table, bottom up: a folder and the folders it may include from.
LAYERS = {
    "storage": [],
    "platform": ["storage"],
    "power": [],
    "powerhelper": ["storage"],
    "report": ["storage", "power"],
    "calibration": ["storage", "platform", "power", "report"],
    "app": ["storage", "platform", "power", "report", "calibration"],
    "demo": ["storage", "platform", "power", "report", "calibration", "app"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_ENDINGS = (".h", ".hpp", ".cpp", ".cc")


def folder_of(relative_path):
    parts = relative_path.replace(os.sep, "/").split("/")
    return parts[0] if len(parts) > 1 else ""


def included_folder(root, source, included):
    """The project folder an include names, or None when it names no file of
    the project (a system header, a generated .moc)."""
    candidates = [os.path.join(os.path.dirname(source), included), os.path.join(root, included)]
    for candidate in candidates:
        if os.path.exists(candidate):
            relative = os.path.relpath(os.path.realpath(candidate), os.path.realpath(root))
            return None if relative.startswith("..") else folder_of(relative)
    return None


def breaks(root):
    for folder in sorted(LAYERS):
        allowed = set(LAYERS[folder]) | {folder}
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                source = os.path.join(directory, name)
                with open(source, encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = included_folder(root, source, match.group(1))
                        if target is not None and target not in allowed:
                            yield os.path.relpath(source, root), number, folder, target, match.group(1)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = 0
    for source, number, folder, target, included in breaks(root):
        may = ", ".join(LAYERS[folder]) or "nothing else"
        print(f'{source}:{number}: {folder}/ includes "{included}" from {target}/; '
              f"{folder}/ may include only from itself and {may}")
        found += 1
    if found:
        print(f"check_layers: {found} include(s) run against the layers")
        return 1
    print(f"check_layers: every include keeps the layers ({', '.join(LAYERS)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
