#!/usr/bin/env python3
"""quorbit-cli's jobs on every kind of drive a Linux desktop mounts.

ext4, xfs and btrfs from loop images, exFAT (exfat-fuse), FAT32 (fusefat),
NTFS (ntfs-3g), bindfs, sshfs through an sshd of its own and, when given,
quorbit_testfs: each is mounted in a fresh folder and takes every job of JOBS,
each job with XDG_STATE_HOME in a fresh local folder, checked by the names and
the content of every file after each step. Every drive × job cell gets a line;
the test fails when any cell is not ok. Needs root and /dev/fuse, else it is
skipped (77).

    drives_test.py QUORBIT_CLI [QUORBIT_TESTFS]
"""

import collections
import contextlib
import ctypes
import errno
import hashlib
import json
import os
import platform
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1]
TESTFS = sys.argv[2] if len(sys.argv) > 2 else None
SKIP = 77

# A few silent MPEG-1 Layer III frames, each ending in its own byte so a shifted copy shows.
AUDIO = b"".join(b"\xff\xfb\x90\xc4" + bytes(412) + bytes([frame + 1]) for frame in range(4))

# linkat's number, to catch a move made by a link and an unlink between the two.
LINKAT = {"x86_64": 265, "aarch64": 37}.get(platform.machine())

# mutagen lives in the system Python, whatever python3 runs this test.
READ_TAGS = """import sys, mutagen.id3
tag = mutagen.id3.ID3(sys.argv[1])
print(str(tag["TIT2"]), str(tag["TPE1"]), sep="\\n")"""


# What is wrong in the cell being run; a cell goes on after a fault, so that an undo
# is still tried after a run that failed.
problems = []


class Failed(Exception):
    """A fault after which the cell cannot go on."""


def check(condition, what):
    if not condition:
        problems.append(what)


def quiet(args):
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)


def run(args, state):
    return subprocess.run([CLI, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          env=dict(os.environ, XDG_STATE_HOME=state))


def make(folder, contents):
    os.mkdir(folder)
    for name, content in contents.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)


def snapshot(folder):
    """Every file below `folder` by its path, with a digest of its content; folders as "dir"."""
    found = {}
    for place, folders, files in os.walk(folder):
        for name in folders:
            found[os.path.relpath(os.path.join(place, name), folder) + "/"] = "dir"
        for name in files:
            with open(os.path.join(place, name), "rb") as file:
                found[os.path.relpath(os.path.join(place, name), folder)] = hashlib.sha1(file.read()).hexdigest()
    return found


def digests(contents):
    return {name: hashlib.sha1(content).hexdigest() for name, content in contents.items()}


def differences(expected, actual):
    def some(names):
        return ", ".join(names[:3]) + (", …" if len(names) > 3 else "")
    missing = sorted(set(expected) - set(actual))
    extra = sorted(set(actual) - set(expected))
    changed = sorted(name for name in set(expected) & set(actual) if expected[name] != actual[name])
    wrong = [f"{len(missing)} missing ({some(missing)})"] if missing else []
    wrong += [f"{len(extra)} unexpected ({some(extra)})"] if extra else []
    wrong += [f"{len(changed)} with another file's content ({some(changed)})"] if changed else []
    files = [collections.Counter(d for d in names.values() if d != "dir") for names in (expected, actual)]
    lost, doubled = sum((files[0] - files[1]).values()), sum((files[1] - files[0]).values())
    wrong += [f"CONTENT OF {lost} FILES LOST OR OVERWRITTEN"] if lost else []
    wrong += [f"{doubled} under two names"] if doubled else []
    return "; ".join(wrong)


def said(result):
    """What a command said of its failure: its first message, else its summary and first entry's reason."""
    if result.stderr:
        return result.stderr.splitlines()[0].removeprefix("quorbit-cli: ")
    lines = result.stdout.splitlines()
    return "; ".join(lines[-1:] + [f"first: {lines[0].split('  ')[-1]}"] * (len(lines) > 1))


def check_step(what, result, folder, expected):
    """The command exited 0 and left exactly `expected` below `folder`."""
    found = snapshot(folder)
    wrong = [f"exit {result.returncode} ({said(result)})"] if result.returncode != 0 else []
    wrong += [differences(expected, found)] if found != expected else []
    check(not wrong, f"{what}: {'; '.join(wrong)}")


def counter_names(names, start, text):
    """Counter's contract: numbers in name order, by value, padded to the width of the last number."""
    ordered = sorted(names, key=lambda name: [int(run) if run.isdigit() else run.casefold()
                                              for run in re.split(r"(\d+)", name)])
    width = len(str(start + len(names) - 1))
    return {name: f"{text}{start + index:0{width}d}.{name.rpartition('.')[2]}" for index, name in enumerate(ordered)}


def renamed(expected, plan):
    return {plan.get(name, name): digest for name, digest in expected.items()}


def job_lower(drive, folder, state):
    contents = {f"DSC_{i:04d}.JPG": f"photo {i}\n".encode() * 8 for i in range(1, 201)}
    make(folder, contents)
    before = digests(contents)
    result = run(["rename", folder, "--op", "lower", "--part", "both", "--apply"], state)
    check_step("lower", result, folder, {name.lower(): digest for name, digest in before.items()})
    check_step("undo", run(["undo"], state), folder, before)


def job_counter_chain_swap(drive, folder, state):
    # img_3 moves on to img_4 before img_2 takes its name, and a.jpg img_2's. A counter
    # numbers in name order, so it never swaps two names: a regular expression does.
    contents = {name: name.encode() for name in ("a.jpg", "img_2.jpg", "img_3.jpg", "cat_dog.txt", "dog_cat.txt")}
    make(folder, contents)
    before = digests(contents)
    counter = ["--op", "counter", "--number", "2", "--text", "img_", "--mask", "*.jpg"]
    plan = counter_names(["a.jpg", "img_2.jpg", "img_3.jpg"], 2, "img_")
    rows = [json.loads(line) for line in run(["rename", folder, *counter, "--json"], state).stdout.splitlines()]
    planned = {row["name"]: row["new_name"] for row in rows[:-1]}
    check(planned == plan, f"counter dry run planned {planned}, expected {plan}")
    counted = renamed(before, plan)
    check_step("counter", run(["rename", folder, *counter, "--apply"], state), folder, counted)
    swap = ["--op", "regex", "--text", "^([a-z]+)_([a-z]+)$", "--replace", "$2_$1", "--mask", "*.txt"]
    swapped = renamed(counted, {"cat_dog.txt": "dog_cat.txt", "dog_cat.txt": "cat_dog.txt"})
    check_step("swap", run(["rename", folder, *swap, "--apply"], state), folder, swapped)
    check_step("undo of the swap", run(["undo"], state), folder, counted)
    check_step("undo of the counter", run(["undo"], state), folder, before)


def job_sort(drive, folder, state):
    contents = {"a.jpg": b"a", "b.JPG": b"b", "c.txt": b"c", "noext": b"n"}
    make(folder, contents)
    before = digests(contents)
    result = run(["sort", folder, "--apply"], state)
    # Where names ignore case, jpg/ and JPG/ are one folder, named as the first made.
    made = {entry for entry in os.listdir(folder) if entry in ("jpg", "JPG")}
    jpg = sorted(made)[0] if drive.ignores_case and len(made) == 1 else None
    into = {"a.jpg": jpg or "jpg", "b.JPG": jpg or "JPG", "c.txt": "txt"}
    gathered = {(f"{into[name]}/{name}" if name in into else name): digest for name, digest in before.items()}
    gathered.update({f"{place}/": "dir" for place in into.values()})
    check_step("sort", result, folder, gathered)
    check_step("undo", run(["undo"], state), folder, before)


def job_tags(drive, folder, state):
    make(folder, {"song.mp3": AUDIO})
    song = os.path.join(folder, "song.mp3")
    result = run(["tags", song, "--set", "title=Über den Wolken", "--set", "artist=Quorbit"], state)
    check(result.returncode == 0, f"tags --set: exit {result.returncode} ({said(result)})")
    check(os.listdir(folder) == ["song.mp3"], f"the save left {sorted(os.listdir(folder))}")
    with open(song, "rb") as file:
        data = file.read()
    if result.returncode != 0:
        check(data == AUDIO, "the failed save changed the file")
        return
    read = subprocess.run(["/usr/bin/python3", "-c", READ_TAGS, song], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True)
    check(read.stdout.splitlines() == ["Über den Wolken", "Quorbit"],
          f"mutagen reads {read.stdout.splitlines()} {read.stderr.strip()[-200:]}")
    tag_end = 10 + sum(byte << (21 - 7 * i) for i, byte in enumerate(data[6:10])) + (10 if data[5] & 0x10 else 0)
    audio = data[tag_end:len(data) - 128 if data[-128:-125] == b"TAG" else len(data)]
    check(data[:3] == b"ID3" and audio == AUDIO, "the audio bytes changed")


def job_remount(drive, folder, state):
    contents = {f"f_{i:02d}.dat": f"file {i}".encode() for i in range(1, 21)}
    make(folder, contents)
    before = digests(contents)
    plan = counter_names(list(contents), 1, "img_")
    counter = run(["rename", folder, "--op", "counter", "--text", "img_", "--apply"], state)
    check_step("counter", counter, folder, renamed(before, plan))
    drive.unmount()
    drive.mount()
    check_step("undo after mounting again", run(["undo"], state), folder, before)


def job_crash(drive, folder, state):
    count = drive.crash_files
    contents = {f"f_{i:04d}.dat": f"file {i}\n".encode() for i in range(1, count + 1)}
    before = digests(contents)
    plan = counter_names(list(contents), 1, "img_")
    done = renamed(before, plan)
    os.mkdir(folder)
    for how, after in (("--undo", before), ("--finish", done)):
        # A kill can come too late on a fast drive, and one meant for the moment between a
        # link and its unlink misses it when the stop interrupts the link (FUSE then
        # cancels the request): either is tried again, in a fresh folder.
        for attempt in range(5):
            place = os.path.join(folder, f"{how[2:]}-{attempt}")
            make(place, contents)
            journals = tempfile.mkdtemp(dir=state)
            killed = crash(place, journals, min(300, count // 4), drive.moves_by_link)
            found = snapshot(place)
            moved = {name for name in found if name.startswith("img_")}
            cut_short = killed and 0 < len(moved) < count
            if cut_short and (not drive.moves_by_link or len(found) > count):
                break
            if attempt < 4:
                shutil.rmtree(journals)
        with contextlib.ExitStack() as cleanup:
            cleanup.callback(shutil.rmtree, journals)
            if not cut_short:
                check(False, f"{how}: the run was not cut short ({len(moved)} moved)")
                continue
            # A move made by a link and an unlink may be cut between them: the file has both names.
            either = {**before, **done}
            nowhere = [old for old, digest in before.items() if digest not in (found.get(old), found.get(plan[old]))]
            strays = [name for name, digest in found.items() if either.get(name) != digest]
            check(not nowhere and not strays, f"{how}: after the crash {len(nowhere)} files are under neither name "
                  f"{nowhere[:3]}, {len(strays)} entries are no file's {strays[:3]}")
            check(not drive.moves_by_link or len(found) > count, f"{how}: the kill missed the link of a move")
            listed = run(["recover", "--json"], journals)
            runs = [json.loads(line) for line in listed.stdout.splitlines()]
            check(len(runs) == 1 and runs[0].get("moves") == count and runs[0].get("moves_made") == len(moved),
                  f"{how}: recover lists {runs}, with {len(moved)} of {count} moves made on the disk")
            check_step(f"recover {how}", run(["recover", how], journals), place, after)
            left = run(["recover"], journals).stdout
            check(left == "", f"recover {how} left the run unfinished: {left.strip()}")


def crash(folder, state, moves, halfway):
    """Kills a Counter run over `folder` with SIGKILL once it has made `moves` moves, or
    some; False when it ended first. The run is stopped while its moves are counted, and
    let go for ever shorter times as it nears the count. With `halfway` it is then caught
    in the link of a move, and killed before the unlink that would end it."""
    process = subprocess.Popen([CLI, "rename", folder, "--op", "counter", "--text", "img_", "--apply"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               env=dict(os.environ, XDG_STATE_HOME=state))
    made, step = 0, 0.001
    try:
        while True:
            time.sleep(step)
            process.send_signal(signal.SIGSTOP)
            if not stopped(process.pid):
                return False
            before, made = made, sum(name.startswith("img_") for name in os.listdir(folder))
            if made >= moves:
                return not halfway or in_linkat(process.pid)
            # The pace is taken from the last stretch only: listing comes before the first
            # move, and a fast drive then makes thousands of moves in a few milliseconds.
            pace = (made - before) / step
            step = max(0.001, min(0.05, (moves - made) / 2 / pace)) if pace else 0.001
            process.send_signal(signal.SIGCONT)
    finally:
        process.kill()
        process.wait()


def in_linkat(pid):
    """Lets `pid` go on until it waits in linkat, and stops it there: it stops once the call returns."""
    os.kill(pid, signal.SIGCONT)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for task in os.listdir(f"/proc/{pid}/task"):
            with contextlib.suppress(OSError), open(f"/proc/{pid}/task/{task}/syscall") as call:
                if call.read().split()[0] == str(LINKAT):
                    os.kill(pid, signal.SIGSTOP)
                    return stopped(pid)
    return False


def stopped(pid):
    """Waits until every thread of `pid` has stopped; False when it has ended."""
    while True:
        try:
            states = [open(f"/proc/{pid}/task/{task}/stat").read().rpartition(")")[2].split()[0]
                      for task in os.listdir(f"/proc/{pid}/task")]
        except (FileNotFoundError, ProcessLookupError):
            return False
        if "Z" in states or "X" in states:
            return False
        if all(state in "tT" for state in states):
            return True
        time.sleep(0.0005)


JOBS = [
    ("lower case of 200", job_lower),
    ("counter chain, swap", job_counter_chain_swap),
    ("sort", job_sort),
    ("tag save", job_tags),
    ("undo after remount", job_remount),
    ("crash, recover", job_crash),
]


class Drive:
    """A file system at a mount point of its own, which it can unmount and mount again there."""

    def __init__(self, name, work, crash_files):
        self.name = name
        self.work = os.path.join(work, name)
        self.point = os.path.join(self.work, "mount")
        os.makedirs(self.point)
        self.crash_files = crash_files
        self.cleanups = []  # undone last first
        self.command = None
        self.server = None  # the FUSE program serving the mount
        self.ignores_case = False
        self.moves_by_link = False  # renameat2 cannot refuse to replace, so the engine links and unlinks

    def image(self, megabytes, mkfs):
        image = os.path.join(self.work, "image")
        with open(image, "wb") as file:
            file.truncate(megabytes << 20)
        quiet([*mkfs, image])
        return image

    def loop(self, image):
        device = subprocess.run(["losetup", "-f", "--show", image], stdout=subprocess.PIPE, text=True,
                                check=True).stdout.strip()
        self.cleanups.append(lambda: subprocess.run(["losetup", "-d", device]))
        return device

    def folder(self, name):
        folder = os.path.join(self.work, name)
        os.mkdir(folder)
        return folder

    def mount(self):
        log = os.path.join(self.work, "mount.log")
        with open(log, "ab") as out:
            process = subprocess.Popen(self.command, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        deadline = time.monotonic() + 20
        while not os.path.ismount(self.point):
            if process.poll() not in (None, 0) or time.monotonic() > deadline:
                process.kill()
                process.wait()
                with open(log, "rb") as said_:
                    raise Failed(f"mount failed: {said_.read().decode(errors='replace').strip()[-300:]}")
            time.sleep(0.02)
        self.server = process if process.poll() is None else server_of(self.point)

    def unmount(self):
        subprocess.run(["umount", self.point], stderr=subprocess.DEVNULL)
        if os.path.ismount(self.point):
            time.sleep(1)  # a program that just closed its last file may still hold it
            subprocess.run(["umount", self.point], stderr=subprocess.DEVNULL)
        if os.path.ismount(self.point):
            raise Failed("the drive could not be unmounted")
        # Only once its server has ended has everything reached the image.
        if self.server and not ended(self.server, 20):
            raise Failed("the FUSE program did not end after the unmount")
        self.server = None

    def probe(self):
        probe, other = os.path.join(self.point, "CaseProbe"), os.path.join(self.point, "other")
        open(probe, "w").close()
        self.ignores_case = os.path.exists(os.path.join(self.point, "caseprobe"))
        libc = ctypes.CDLL(None, use_errno=True)
        no_replace = libc.renameat2(-100, os.fsencode(probe), -100, os.fsencode(other), 1) == 0
        refused = not no_replace and ctypes.get_errno() in (errno.EINVAL, errno.ENOSYS, errno.EOPNOTSUPP)
        with contextlib.suppress(OSError):
            os.link(probe, os.path.join(self.point, "link"))
            self.moves_by_link = refused and LINKAT is not None
        for name in (probe, other, os.path.join(self.point, "link")):
            with contextlib.suppress(FileNotFoundError):
                os.remove(name)

    def close(self):
        with contextlib.suppress(Exception):
            if os.path.ismount(self.point):
                with contextlib.suppress(Failed):
                    self.unmount()
            if os.path.ismount(self.point):
                subprocess.run(["umount", "-l", self.point])
            if self.server and not ended(self.server, 5):
                kill(self.server)
        for cleanup in reversed(self.cleanups):
            with contextlib.suppress(Exception):
                cleanup()


def server_of(point):
    """The process that serves a FUSE mount at `point` and went into the background."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if os.fsencode(point) in cmdline.read().split(b"\0"):
                    return int(pid)
    return None


def ended(server, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if isinstance(server, subprocess.Popen):
            if server.poll() is not None:
                return True
        else:
            try:  # not our child: gone, or a zombie nobody reaps
                with open(f"/proc/{server}/stat") as stat:
                    if stat.read().rpartition(")")[2].split()[0] in "ZX":
                        return True
            except OSError:
                return True
        time.sleep(0.02)
    return False


def kill(server):
    if isinstance(server, subprocess.Popen):
        server.kill()
        server.wait()
    else:
        with contextlib.suppress(OSError):
            os.kill(server, signal.SIGKILL)


def ssh_server(drive):
    """An sshd of the drive's own on a free loopback port, taking one key made here; its port and key."""
    keys = drive.folder("ssh")
    for key in ("host", "user"):
        quiet(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(keys, key)])
    shutil.copy(os.path.join(keys, "user.pub"), os.path.join(keys, "authorized_keys"))
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    config = os.path.join(keys, "sshd_config")
    with open(config, "w") as out:
        out.write("\n".join([f"Port {port}", "ListenAddress 127.0.0.1", f"HostKey {keys}/host",
                             f"AuthorizedKeysFile {keys}/authorized_keys", "PidFile none",
                             "Subsystem sftp internal-sftp", "StrictModes no", "PermitRootLogin yes",
                             "PasswordAuthentication no", "KbdInteractiveAuthentication no", "UsePAM no", ""]))
    os.makedirs("/run/sshd", exist_ok=True)
    sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    drive.cleanups.append(lambda: kill(sshd))
    deadline = time.monotonic() + 10
    while sshd.poll() is None and time.monotonic() < deadline:
        with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), timeout=1):
            return port, os.path.join(keys, "user")
        time.sleep(0.05)
    raise Failed(f"sshd did not start on port {port}")


def sshfs(drive):
    port, key = ssh_server(drive)
    return ["sshfs", "-p", str(port), "-o", f"IdentityFile={key},StrictHostKeyChecking=no,"
            "UserKnownHostsFile=/dev/null,BatchMode=yes", f"root@127.0.0.1:{drive.folder('backing')}", drive.point]


# Each drive's name, the command that mounts it (made ready by the Drive given), and
# how many files its crash job takes: fewer where each new file costs a scan of the
# folder (fusefat takes 24 s to make 500), or each call a round trip.
DRIVES = [
    ("ext4", lambda d: ["mount", d.loop(d.image(64, ["mkfs.ext4", "-q", "-F"])), d.point], 5000),
    ("xfs", lambda d: ["mount", d.loop(d.image(300, ["mkfs.xfs", "-q", "-f"])), d.point], 5000),
    ("btrfs", lambda d: ["mount", d.loop(d.image(128, ["mkfs.btrfs", "-q", "-f"])), d.point], 5000),
    ("exfat", lambda d: ["mount.exfat-fuse", d.loop(d.image(64, ["mkfs.exfat"])), d.point], 2000),
    ("fat32", lambda d: ["fusefat", "-o", "rw+", d.image(64, ["mkfs.fat", "-F", "32"]), d.point], 300),
    ("ntfs", lambda d: ["ntfs-3g", d.image(64, ["mkfs.ntfs", "-F", "-q"]), d.point], 2000),
    ("bindfs", lambda d: ["bindfs", d.folder("backing"), d.point], 5000),
    ("sshfs", sshfs, 2000),
]
if TESTFS:
    DRIVES.append(("testfs", lambda d: [TESTFS, d.folder("backing"), d.point], 5000))


def test_drive(work, name, mount_command, crash_files):
    """Every job on one drive; the lines of its cells that are not ok."""
    failures = []
    drive = Drive(name, work, crash_files)
    try:
        try:
            drive.command = mount_command(drive)
            drive.mount()
            drive.probe()
            print(f"{name}: mounted" + ", names ignore case" * drive.ignores_case
                  + ", moves are a link and an unlink" * drive.moves_by_link, flush=True)
        except (Failed, OSError, subprocess.CalledProcessError) as error:
            problem = error.stderr.decode().strip() if isinstance(error, subprocess.CalledProcessError) else error
            for job, _ in JOBS:
                failures.append(f"{name} × {job}: could not mount: {problem}")
                print(failures[-1], flush=True)
            return failures
        for job, test in JOBS:
            start = time.monotonic()
            problems.clear()
            try:
                if not os.path.ismount(drive.point):
                    drive.mount()
                with tempfile.TemporaryDirectory(dir=work) as state:
                    test(drive, os.path.join(drive.point, job.replace(" ", "-").replace(",", "")), state)
            except Exception as error:  # the cell's, not the table's
                problems.append(f"{type(error).__name__}: {error}" if not isinstance(error, Failed) else str(error))
            verdict = " | ".join(problems) or "ok"
            if problems:
                failures.append(f"{name} × {job}: {verdict}")
            print(f"{name} × {job}: {verdict}  ({time.monotonic() - start:.1f} s)", flush=True)
        return failures
    finally:
        drive.close()


def main():
    if os.geteuid() != 0 or not os.path.exists("/dev/fuse"):
        print("SKIP: mounting drives needs root and /dev/fuse; no drive was tested")
        return SKIP
    # ctest's timeout, a closed terminal and ^C end the run through the clean-up below.
    for ending in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(ending, lambda *_: sys.exit(1))
    signal.signal(signal.SIGINT, signal.default_int_handler)
    start = time.monotonic()
    failures = []
    work = tempfile.mkdtemp(prefix="quorbit-drives-")
    try:
        for name, mount_command, crash_files in DRIVES:
            failures += test_drive(work, name, mount_command, crash_files)
    finally:
        # Never through a drive left mounted.
        with open("/proc/self/mounts") as mounts:
            if not any(line.split()[1].startswith(work + "/") for line in mounts):
                shutil.rmtree(work, ignore_errors=True)
    print(f"{len(DRIVES)} drives × {len(JOBS)} jobs in {time.monotonic() - start:.0f} s: "
          + (f"{len(failures)} cells failed" if failures else "all ok"))
    return 1 if failures else 0


sys.exit(main())
