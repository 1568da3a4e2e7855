#!/usr/bin/env python3
"""quorbit-cli through its command line, checked on the disk.

Every operation's dry run (which must touch nothing), its --json plan, its
--apply and the undo after it; exit codes 1, 2, 3 and 130, lost output
and a Ctrl+C included; a name that is not UTF-8; sort; two undos at once; a
journal that can no longer be written; tags read back by mutagen; the
terminal's table; the bash completion. Every case runs with XDG_STATE_HOME
in a fresh folder.

    cli_test.py QUORBIT_CLI COMPLETION_FILE
"""

import base64
import contextlib
import json
import os
import pty
import shutil
import re
import signal
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
COMPLETION = sys.argv[2]

# op, its options, names before, names after --apply ("re:" a pattern).
OPERATIONS = [
    ("add-left", ["--text", "x_"], ["a.jpg", "b c.txt"], ["x_a.jpg", "x_b c.txt"]),
    ("add-right", ["--text", "_x"], ["a.jpg"], ["a_x.jpg"]),
    ("delete", ["--text", "o"], ["foo boo.txt"], ["f b.txt"]),
    ("delete-left", ["--number", "2"], ["abcd.txt"], ["cd.txt"]),
    ("delete-right", ["--number", "2"], ["abcd.txt"], ["ab.txt"]),
    ("replace", ["--text", "a", "--replace", "o"], ["banana.txt"], ["bonono.txt"]),
    ("replace", ["--text", "a", "--replace="], ["banana.txt"], ["bnn.txt"]),
    ("replace-left", ["--number", "2", "--text", "XY"], ["abcd.txt"], ["XYcd.txt"]),
    ("replace-right", ["--number", "2", "--text", "XY"], ["abcd.txt"], ["abXY.txt"]),
    ("reduce", ["--number", "2"], ["abcd.txt"], ["ab.txt"]),
    ("expand", ["--number", "5", "--text", "-+*"], ["ab.txt"], ["ab-+*.txt"]),
    ("upper", [], ["straße.txt"], ["STRASSE.txt"]),
    ("upper-first", [], ["hELLO world.txt"], ["Hello world.txt"]),
    ("upper-first-all", [], ["hello wORLD.txt"], ["Hello World.txt"]),
    ("lower", [], ["ÉTÉ.TXT"], ["été.TXT"]),
    ("random", ["--number", "4"], ["a.txt"], ["re:[0-9a-z]{4}\\.txt"]),
    ("counter", ["--number", "7", "--text", "p_"], ["a.txt", "b.txt"], ["p_7.txt", "p_8.txt"]),
    ("counter", ["--number", "0"], ["a.txt", "b.txt"], ["0.txt", "1.txt"]),
    ("regex", ["--text", "^(\\w)(\\w+)$", "--replace", "$2$1"], ["abc.txt"], ["bca.txt"]),
]

# Command lines, the exit code each must give and what it must say, in a folder holding A.txt and a.txt.
EXIT_CODES = [
    (["rename", "{dir}", "--op", "add-left", "--text", "x"], 0),
    (["rename", "{dir}", "--op", "lower"], 1),  # A.txt would take a.txt's name
    (["rename", "{dir}", "--op", "lower", "--apply"], 1),
    ([], 2),
    (["rename", "{dir}"], 2),  # no operation
    (["rename", "{dir}", "--op", "nope"], 2),
    (["rename", "{dir}", "--op", "reduce"], 2),  # no number
    (["rename", "{dir}", "--op", "upper", "--text", "x"], 2),
    (["tags", "{dir}/a.txt", "--set", "colour=red"], 2),
    (["rename", "{dir}/missing", "--op", "upper"], 3),
    (["rename", "{dir}", "--op", "regex", "--text", "("], 3),
    (["rename", "{dir}", "--op", "regex", "--text", "(", "--apply"], 3),
    (["rename", "{dir}", "--op", "reduce", "--number", "x"], 3),
    (["rename", "{dir}", "--op", "reduce", "--number", "-1"], 3, b"--number must be 1 or more"),
    (["rename", "{dir}", "--op", "random", "--number", "0", "--apply"], 3, b"--number must be 1 or more"),
    (["rename", "{dir}", "--op", "counter", "--number", "-1"], 3, b"--number must be 0 or more"),
    (["undo"], 3),  # nothing to undo
    (["undo", "2"], 3),  # only the newest
    (["tags", "{dir}/a.txt", "--set", "title=x"], 3),  # not an MP3
]

# Commands whose output is lost or whose folder cannot be listed: each is refused (exit 3) and says why.
HONEST_EXITS = [
    (["rename", "{dir}", "--op", "upper"], b"the output could not be written: No space left on device"),
    (["rename", "{dir}", "--op", "upper", "--apply", "--json"], b"the output could not be written"),
    (["undo", "--list"], b"the output could not be written"),
    (["--help"], b"the output could not be written"),
    (["rename", "{locked}", "--op", "upper"], b"the folder cannot be read: "),
    (["rename", "{locked}", "--op", "upper", "--apply"], b"the folder cannot be read: "),
]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, file=sys.stderr)


def run(args, state, stdout=subprocess.PIPE, env=None):
    environment = dict(os.environ, XDG_STATE_HOME=state, **(env or {}))
    return subprocess.run([CLI, *args], stdout=stdout, stderr=subprocess.PIPE, env=environment)


def names(folder):
    return sorted(os.listdir(os.fsencode(folder)))


def make(folder, entries):
    for entry in entries:
        path = os.path.join(os.fsencode(folder), entry if isinstance(entry, bytes) else entry.encode())
        open(path, "wb").close()


def json_lines(output):
    return [json.loads(line) for line in output.decode().splitlines()]


def matches(expected, actual):
    actual = [name.decode() for name in actual]
    if any(name.startswith("re:") for name in expected):
        return len(expected) == len(actual) and all(
            re.fullmatch(want[3:], got) for want, got in zip(sorted(expected), actual))
    return sorted(expected) == actual


def test_operations():
    for op, options, before, after in OPERATIONS:
        with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
            make(folder, before)
            original = names(folder)
            plan = run(["rename", folder, "--op", op, *options, "--json"], state)
            check(plan.returncode == 0, f"{op}: dry run exit {plan.returncode} {plan.stderr!r}")
            check(names(folder) == original, f"{op}: the dry run touched the folder")
            rows = json_lines(plan.stdout)
            check(rows[-1].get("renamed") == len(before) and rows[-1].get("dry_run") is True,
                  f"{op}: summary {rows[-1]}")
            planned = [row["new_name"].encode() for row in rows[:-1]]
            check(matches(after, sorted(planned)), f"{op}: planned {planned}, expected {after}")
            applied = run(["rename", folder, "--op", op, *options, "--apply"], state)
            check(applied.returncode == 0, f"{op}: --apply exit {applied.returncode} {applied.stderr!r}")
            check(applied.stderr == b"", f"{op}: --apply said {applied.stderr!r} in a pipe")
            check(matches(after, names(folder)), f"{op}: after --apply {names(folder)}, expected {after}")
            if op == "random":  # the dry run drew the names --apply drew
                check(sorted(planned) == names(folder), f"random: planned {planned}, made {names(folder)}")
            undone = run(["undo"], state)
            check(undone.returncode == 0 and names(folder) == original,
                  f"{op}: undo exit {undone.returncode}, left {names(folder)}")


def test_exit_codes():
    for args, expected, *message in EXIT_CODES:
        with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
            make(folder, ["A.txt", "a.txt"])
            result = run([arg.replace("{dir}", folder) for arg in args], state)
            check(result.returncode == expected, f"{args}: exit {result.returncode}, expected {expected}")
            if expected == 2:
                check(b"Usage: quorbit-cli" in result.stderr, f"{args}: no usage line in {result.stderr!r}")
            if expected == 3:
                check(names(folder) == [b"A.txt", b"a.txt"], f"{args}: refused, yet the folder changed")
            if message:
                check(message[0] in result.stderr, f"{args}: said {result.stderr!r}, not {message[0]!r}")


def as_nobody():
    """Root reads every folder: a locked one is locked only to another user."""
    if os.geteuid() == 0:
        os.setgroups([])
        os.setgid(65534)
        os.setuid(65534)


def test_honest_exits():
    with tempfile.TemporaryDirectory() as top, tempfile.TemporaryDirectory() as state:
        folder, locked = os.path.join(top, "open"), os.path.join(top, "locked")
        os.chmod(top, 0o755)
        os.chmod(state, 0o777)
        os.mkdir(folder)
        os.chmod(folder, 0o777)
        os.mkdir(locked, 0)
        make(folder, ["a.txt"])
        # A copy the other user can reach, wherever the build folder lies.
        cli = shutil.copy(CLI, top)
        with open("/dev/full", "wb") as full:
            for args, said in HONEST_EXITS:
                argv = [arg.replace("{dir}", folder).replace("{locked}", locked) for arg in args]
                result = subprocess.run([cli, *argv], stdout=full, stderr=subprocess.PIPE, preexec_fn=as_nobody,
                                        env=dict(os.environ, XDG_STATE_HOME=state, HOME=state))
                check(result.returncode == 3 and said in result.stderr,
                      f"{args}: exit {result.returncode}, said {result.stderr!r}")
        check(names(folder) == [b"A.txt"], f"the applied run with lost output was not made: {names(folder)}")


def test_interrupted_dry_run():
    """Ctrl+C stops a dry run before its plan is printed, with the shell's status for SIGINT."""
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make(folder, [f"{i:05}.mp3" for i in range(30000)])
        process = subprocess.Popen([CLI, "rename", folder, "--op", "upper", "--from-tags", "%Title%"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   env=dict(os.environ, XDG_STATE_HOME=state))
        # Interrupted once it catches SIGINT; before that the signal would simply end it.
        while process.poll() is None and not catches_sigint(process.pid):
            pass
        process.send_signal(signal.SIGINT)
        out, err = process.communicate()
        check(process.returncode == 130 and out == b"" and b"stopped" in err,
              f"interrupted dry run: exit {process.returncode}, printed {out[-80:]!r}, said {err!r}")


def catches_sigint(pid):
    with contextlib.suppress(OSError), open(f"/proc/{pid}/status") as status:
        caught = next(line for line in status if line.startswith("SigCgt:")).split()[1]
        return int(caught, 16) & (1 << (signal.SIGINT - 1)) != 0
    return False


def test_not_renamed_listed():
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make(folder, ["A.txt", "a.txt"])
        rows = json_lines(run(["rename", folder, "--op", "lower", "--apply", "--json"], state).stdout)
        check(rows[0] == {"name": os.path.join(folder, "A.txt"), "new_name": "a.txt", "verdict": "not-renamed",
                          "reason": "name taken"}, f"not renamed: {rows}")
        check(rows[-1]["not_renamed"] == 1 and rows[-1]["dry_run"] is False, f"summary: {rows[-1]}")


def test_bytes_name():
    latin1, surrogate = b"caf\xe9 cr\xe8me.txt", b"\xed\xa0\x80.txt"  # neither is UTF-8
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make(folder, [latin1, surrogate])
        rows = json_lines(run(["rename", folder, "--op", "upper", "--json"], state).stdout)[:-1]
        check(all("name" not in row and "new_name" not in row for row in rows), f"lossy text: {rows}")
        planned = {base64.b64decode(row["name_bytes"]): base64.b64decode(row["new_name_bytes"]) for row in rows}
        check(planned == {latin1: b"CAF\xe9 CR\xe8ME.txt", surrogate: surrogate}, f"name bytes: {planned}")
        plain = run(["rename", folder, "--op", "upper"], state).stdout
        check(latin1 + b" -> CAF\xe9 CR\xe8ME.txt  rename\n" in plain, f"plain: {plain!r}")
        run(["rename", os.fsencode(folder), "--op", "upper", "--apply"], state)
        check(names(folder) == sorted([b"CAF\xe9 CR\xe8ME.txt", surrogate]), f"bytes applied: {names(folder)}")


def test_sort():
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make(folder, ["a.jpg", "b.JPG", "c.txt", "noext"])
        os.mkdir(os.path.join(folder, "txt"))
        make(os.path.join(folder, "txt"), ["c.txt"])
        rows = json_lines(run(["sort", folder, "--json"], state).stdout)
        verdicts = {row["name"]: (row["new_name"], row["verdict"], row["reason"]) for row in rows[:-1]}
        check(verdicts == {"a.jpg": ("jpg/a.jpg", "move", ""), "b.JPG": ("JPG/b.JPG", "move", ""),
                           "c.txt": ("txt/c.txt", "keep", "name taken"), "noext": ("noext", "unchanged", "")},
              f"sort plan: {verdicts}")
        check(names(folder) == [b"a.jpg", b"b.JPG", b"c.txt", b"noext", b"txt"], "the sort plan touched the folder")
        result = run(["sort", folder, "--apply"], state)
        check(result.returncode == 1, f"sort --apply exit {result.returncode}")
        check(names(folder) == [b"JPG", b"c.txt", b"jpg", b"noext", b"txt"], f"sorted: {names(folder)}")
        listed = run(["undo", "--list", "--json"], state).stdout
        check(json_lines(listed)[0]["kind"] == "sort", f"undo --list: {listed!r}")
        check(run(["undo"], state).returncode == 0 and names(folder) == [b"a.jpg", b"b.JPG", b"c.txt", b"noext", b"txt"],
              f"sort undone: {names(folder)}")


def test_two_undos_at_once():
    """Two undos started together, over runs A then B: B is undone once, whole, and the other
    undo either comes after it and undoes A or says B is busy; the history lists what is left."""
    shapes = {}
    for _ in range(5):
        with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
            counts = {"a": 300, "b": 3000}
            run_undone_by = {f"{count} put back, 0 not put back\n".encode(): name for name, count in counts.items()}
            for run_name, count in counts.items():  # A first, so B is the newest
                path = os.path.join(folder, run_name)
                os.mkdir(path)
                make(path, [f"{i}.txt" for i in range(count)])
                run(["rename", path, "--op", "add-left", "--text", "x_", "--apply"], state)
            environment = dict(os.environ, XDG_STATE_HOME=state)
            undos = [subprocess.Popen([CLI, "undo"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
                     for _ in range(2)]
            said = []
            for undo in undos:
                out, err = undo.communicate()
                if undo.returncode == 3 and b"this run is being undone by another program" in err:
                    said.append("busy")
                elif undo.returncode == 0 and out in run_undone_by:
                    said.append(run_undone_by[out])
                else:
                    said.append(f"exit {undo.returncode} {out[-120:]!r} {err!r}")
            shape = " and ".join(sorted(said))
            shapes[shape] = shapes.get(shape, 0) + 1
            check(shape in ("a and b", "b and busy"), f"two undos at once: {said}")
            a_undone = "a" in said
            check(names(os.path.join(folder, "b")) == sorted(f"{i}.txt".encode() for i in range(3000)),
                  "two undos at once: b is not back whole")
            check(names(os.path.join(folder, "a")) == sorted(f"{'' if a_undone else 'x_'}{i}.txt".encode()
                                                             for i in range(300)), f"two undos at once: a after {said}")
            listed = [row["folder"] for row in json_lines(run(["undo", "--list", "--json"], state).stdout)]
            check(listed == ([] if a_undone else [os.path.join(folder, "a")]), f"history after {said}: {listed}")
    print("two undos at once:", shapes)


def test_unwritable_journal():
    """A run whose journal can no longer be written stops, says how to put back what it renamed,
    undo points there too, and recover --undo does it."""
    def make_tree(folder):
        os.mkdir(os.path.join(folder, "sub"))
        make(os.path.join(folder, "sub"), ["1.txt", "2.txt"])
        # Long names, so the plan of this folder, renamed last, fills kilobytes of the journal.
        make(folder, [f"{i:02}{'n' * 150}.txt" for i in range(40)])

    rename = ["--op", "add-left", "--text", "x_", "--subfolders", "--apply"]
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make_tree(folder)
        run(["rename", folder, *rename], state)
        journal_size = os.path.getsize(os.path.join(state, "quorbit", os.listdir(os.path.join(state, "quorbit"))[0]))

    def journal_cut_short():  # the disk fills up while the last folder's plan is written
        import resource
        import signal
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        limit = journal_size - 4000
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make_tree(folder)
        original = names(folder)
        stopped = subprocess.run([CLI, "rename", folder, *rename], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 env=dict(os.environ, XDG_STATE_HOME=state), preexec_fn=journal_cut_short)
        check(stopped.returncode == 1 and names(os.path.join(folder, "sub")) == [b"x_1.txt", b"x_2.txt"]
              and names(folder) == original, f"journal cut short: exit {stopped.returncode}, {stopped.stderr!r}")
        check(b"nothing more was renamed; quorbit-cli recover --undo puts back what was" in stopped.stderr,
              f"journal cut short: {stopped.stderr!r}")
        undo = run(["undo"], state)
        check(undo.returncode == 3 and b"quorbit-cli recover --undo" in undo.stderr,
              f"undo after the journal was cut short: exit {undo.returncode}, {undo.stderr!r}")
        recovered = run(["recover", "--undo"], state)
        check(recovered.returncode == 0 and names(os.path.join(folder, "sub")) == [b"1.txt", b"2.txt"],
              f"recover --undo: exit {recovered.returncode}, {recovered.stderr!r}")


def test_tags():
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        song = os.path.join(folder, "song.mp3")
        with open(song, "wb") as out:
            out.write(b"\xff\xfb\x90\x00" + bytes(4000))
        result = run(["tags", song, "--set", "artist=Björk", "--set", "title=Jóga", "--set", "track=3"], state)
        check(result.returncode == 0, f"tags --set exit {result.returncode} {result.stderr!r}")
        try:
            import mutagen.id3
            tag = mutagen.id3.ID3(song)
            check((str(tag["TPE1"]), str(tag["TIT2"]), str(tag["TRCK"])) == ("Björk", "Jóga", "3"),
                  f"mutagen reads {tag.pprint()}")
        except ImportError:
            print("SKIP: mutagen is not installed; the tags are read back by quorbit-cli alone")
        tags = json_lines(run(["tags", song, "--json"], state).stdout)[0]
        check(tags["id3v1"]["artist"] == "Björk" and tags["id3v2"]["track"] == 3, f"tags: {tags}")
        rows = json_lines(run(["rename", folder, "--from-tags", "%Artist% - %Title%", "--json"], state).stdout)
        check(rows[0]["new_name"] == "Björk - Jóga.mp3", f"from tags: {rows}")


def test_terminal():
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as state:
        make(folder, ["a.txt", "line\nbreak.txt"])
        for no_colour, coloured in (("", True), ("1", False)):
            leader, follower = pty.openpty()
            run(["rename", folder, "--op", "upper"], state, stdout=follower, env={"NO_COLOR": no_colour})
            os.close(follower)
            shown = os.read(leader, 65536)
            os.close(leader)
            check(b"NAME" in shown and "→".encode() in shown, f"terminal table: {shown!r}")
            check((b"\x1b[32m" in shown) == coloured, f"NO_COLOR={no_colour!r}: {shown!r}")
            check(b"line\\x0Abreak.txt" in shown, f"a line break is shown escaped: {shown!r}")


def test_completion():
    def offered(word):
        script = (f"source {COMPLETION}; COMP_WORDS=({CLI} rename . --op '{word}'); COMP_CWORD=4; "
                  "_quorbit_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
        return subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE).stdout.decode().split()

    check(offered("upper-f") == ["upper-first", "upper-first-all"], f"completion offered {offered('upper-f')}")
    every, completed = {op for op, *_ in OPERATIONS}, offered("")
    check(sorted(completed) == sorted(every), f"--op completes to {completed}")
    with tempfile.TemporaryDirectory() as state:
        helped = run(["rename", "--help"], state).stdout.decode()
    untold = [op for op in every if not re.search(f"^  ([a-z-]+, )*{op}(, [a-z-]+)*  ", helped, re.MULTILINE)]
    check(not untold, f"rename --help tells nothing of {untold}")


for test in (test_operations, test_exit_codes, test_honest_exits, test_interrupted_dry_run, test_not_renamed_listed,
             test_bytes_name, test_sort, test_two_undos_at_once, test_unwritable_journal, test_tags, test_terminal,
             test_completion):
    test()
print(f"{len(failures)} failures" if failures else "all passed")
sys.exit(1 if failures else 0)
