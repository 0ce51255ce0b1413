#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The layers check on small trees: a sound one passes, and each kind of
broken include fails with its file, line and both folders named."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")


def tree(files):
    root = tempfile.mkdtemp()
    for path, text in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w") as out:
            out.write(text)
    return root


def check(files):
    result = subprocess.run([sys.executable, CHECK, tree(files)], capture_output=True, text=True)
    return result.returncode, result.stdout


SOUND = {
    "app/frmMain.h": '#include "calibration/run.h"\n',
    "calibration/run.h": '#include "report/record.h"\n#include <QString>\n',
    "report/record.h": '#include "storage/file.h"\n#include "record_parts.h"\n',
    "report/record_parts.h": "",
    "storage/file.h": "",
    "platform/timer.cpp": '#include "timer.moc"\n',
}

CASES = [
    ("an upward include", {"power/source.cpp": '\n#include "app/frmMain.h"\n'},
     'power/source.cpp:2: power/ includes "app/frmMain.h" from app/'),
    ("a relative include upward", {"report/chart.cpp": '#include "../calibration/run.h"\n'},
     'report/chart.cpp:1: report/ includes "../calibration/run.h" from calibration/'),
    ("a sideways include", {"power/summary.h": '#include "storage/file.h"\n'},
     'power/summary.h:1: power/ includes "storage/file.h" from storage/'),
    ("a product file reaching into the tests", {"tests/fake.h": "", "app/main.cpp": '#include "tests/fake.h"\n'},
     'app/main.cpp:1: app/ includes "tests/fake.h" from tests/'),
]


def main():
    failures = 0
    code, out = check(SOUND)
    if code != 0:
        print(f"FAIL: a sound tree was refused:\n{out}")
        failures += 1
    for name, broken, expected in CASES:
        code, out = check({**SOUND, **broken})
        if code != 1 or expected not in out:
            print(f"FAIL: {name}: exit {code}, expected a line with\n  {expected}\ngot:\n{out}")
            failures += 1
    print(f"{len(CASES) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
