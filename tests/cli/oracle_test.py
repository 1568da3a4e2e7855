#!/usr/bin/env python3
"""quorbit-cli against two renamers of its own kind, on copies of one folder.

Each case renames one copy with quorbit-cli --apply and another with mmv or
perl's rename (Debian's "rename", File::Rename), and wants the same names.
Only what the other tool can say is compared: a prefix, a replacement and
upper case of the name before its extension. A missing tool is skipped with
a word; with neither, the test is skipped (77).

    oracle_test.py QUORBIT_CLI
"""

import os
import shutil
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
SKIP = 77

ASCII = ["abc.txt", "Mixed Case.txt", "x1-y2.txt", "cat.txt"]
UNICODE = ["café crème.txt", "straße.txt", "ёлка.txt", "data banana.txt"]

# quorbit-cli's options, the tool, its arguments (run in the folder), the names.
CASES = [
    (["--op", "add-left", "--text", "x_"], "mmv", ["-r", "*", "x_#1"], ASCII),
    (["--op", "upper"], "mmv", ["-r", "*.txt", "#u1.txt"], ASCII),
    # mmv's "*" takes the shortest start, so one "a" of each name is its first.
    (["--op", "replace", "--text", "a", "--replace", "o"], "mmv", ["-r", "*a*.txt", "#1o#2.txt"],
     ["cat.txt", "bad.txt", "x a.txt"]),
    (["--op", "add-left", "--text", "x_"], "perl", ["s/^/x_/"], ASCII + UNICODE),
    # Every "a" with a dot after it: those of the name before its extension.
    (["--op", "replace", "--text", "a", "--replace", "o"], "perl", [r"s/a(?=.*\.)/o/g"], ASCII + UNICODE),
    (["--op", "upper"], "perl", [r"s/^(.*)(\.[^.]*)$/\U$1\E$2/"], ASCII + UNICODE),
]


def perl_rename():
    """Debian's File::Rename, which may be installed as rename or file-rename."""
    for name in ("file-rename", "rename"):
        path = shutil.which(name)
        if path:
            version = subprocess.run([path, "--version"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if b"File::Rename" in version.stdout:
                return path
    return None


TOOLS = {"mmv": shutil.which("mmv"), "perl": perl_rename()}


def tool_command(tool, arguments, names):
    if tool == "mmv":
        return [TOOLS[tool], *arguments]
    # Names are decoded as UTF-8, so \U upper-cases every letter, not ASCII alone.
    return [TOOLS[tool], "-u", "utf8", *arguments, *names]


def main():
    failures = 0
    for tool, path in TOOLS.items():
        if not path:
            print(f"SKIP: {tool} is not installed; its cases are left out")
    if not any(TOOLS.values()):
        return SKIP
    for options, tool, arguments, names in CASES:
        if not TOOLS[tool]:
            continue
        with tempfile.TemporaryDirectory() as ours, tempfile.TemporaryDirectory() as theirs, \
                tempfile.TemporaryDirectory() as state:
            for folder in (ours, theirs):
                for name in names:
                    open(os.path.join(folder, name), "w").close()
            # The tools get a locale every system has; quorbit-cli keeps the test's.
            subprocess.run(tool_command(tool, arguments, names), cwd=theirs, check=True, stdin=subprocess.DEVNULL,
                           env=dict(os.environ, LC_ALL="C.UTF-8"))
            subprocess.run([CLI, "rename", ours, *options, "--apply"], check=True, stdout=subprocess.DEVNULL,
                           env=dict(os.environ, XDG_STATE_HOME=state))
            mine, other = sorted(os.listdir(ours)), sorted(os.listdir(theirs))
            if mine != other:
                failures += 1
                print(f"FAIL: {options} gave {mine}, {tool} {arguments} gave {other}", file=sys.stderr)
    print(f"{failures} failures" if failures else "all passed")
    return 1 if failures else 0


sys.exit(main())
