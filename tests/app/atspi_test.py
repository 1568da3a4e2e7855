#!/usr/bin/env python3
"""Drives the real program through AT-SPI alone, as a screen reader user would.

On a virtual X display with a session bus of its own, it starts the program on
a fresh folder, chooses Counter through the radio button's accessible action,
types a prefix into the edit its label names, presses Rename through the
button's action, waits for the files on the disk to be renamed, reads the
verdict of the entry that keeps its name from the New name column, and closes
the window through the File menu's Exit action.

    atspi_test.py EXECUTABLE LANGUAGE_FOLDER

Exits 0 on success, 1 on a failure, 77 (skipped) where xvfb-run,
dbus-run-session, pyatspi or the accessibility bus cannot be had.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
NO_DISPLAY = 3
PREFIX = "f"
# Counter with the prefix "f" names the three files f1, f2 and f3 in their
# order; a folder named f2 stays (Apply to: Files), so b keeps its name.
FILES = ["a", "b", "c"]
BLOCKING_FOLDER = "f2"
EXPECTED_AFTER = {"f1", "b", "f3", BLOCKING_FOLDER}


class Failure(Exception):
    pass


def wait_for(what, probe, seconds=20.0, step=0.2):
    """Returns probe()'s first true answer, or raises Failure after `seconds`."""
    deadline = time.monotonic() + seconds
    last_error = None
    while True:
        try:
            answer = probe()
            if answer:
                return answer
        except Exception as error:  # an object that went away while read
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out after {seconds:.0f} s waiting for {what}{detail}")
        time.sleep(step)


# --- on the display, inside the session bus ---------------------------------

def start_accessibility_bus():
    """Makes sure the accessibility bus and its registry answer on this session bus.

    The session bus starts at-spi-bus-launcher on demand (org.a11y.Bus), and the
    launcher's bus starts at-spi2-registryd on demand; where that activation is
    missing, both are started by hand. Returns the processes started here."""
    started = []
    if subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                       "org.a11y.Bus.GetAddress"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                      timeout=20).returncode != 0:
        for launcher in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"):
            if os.access(launcher, os.X_OK):
                started.append(subprocess.Popen([launcher, "--launch-immediately"]))
                break
        else:
            return None
        time.sleep(1)
    return started


def find(root, what, predicate, seconds=20.0):
    import pyatspi

    return wait_for(what, lambda: pyatspi.findDescendant(root, predicate, breadth_first=True), seconds)


def run_action(accessible, names, what):
    action = accessible.queryAction()
    available = [action.getName(index) for index in range(action.nActions)]
    for index, name in enumerate(available):
        if name.lower() in names:
            if not action.doAction(index):
                raise Failure(f"the action {name!r} of {what} was refused")
            return
    raise Failure(f"{what} offers none of the actions {sorted(names)}; it offers {available}")


def find_application(desktop, pid):
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is None:
            continue
        try:
            if application.get_process_id() == pid or application.name == "quorbit":
                return application
        except Exception:
            continue
    return None


def file_table(application):
    import pyatspi

    def is_files_table(accessible):
        if accessible.name != "Files" or accessible.getRole() not in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE):
            return False
        if not accessible.getState().contains(pyatspi.STATE_SHOWING):
            return False
        try:
            return accessible.queryTable().nColumns > 1
        except NotImplementedError:
            return False

    return find(application, "the file list (a table named \"Files\")", is_files_table)


def new_name_cells(table_accessible):
    """The (name, new name cell's name, its description) of every row of the list."""
    table = table_accessible.queryTable()
    headers = []
    for column in range(table.nColumns):
        header = table.getColumnHeader(column)
        headers.append(header.name if header is not None else table.getColumnDescription(column))
    if "New name" not in headers:
        raise Failure(f"the file list has no \"New name\" column; its columns are {headers}")
    new_name = headers.index("New name")
    rows = []
    for row in range(table.nRows):
        name_cell = table.getAccessibleAt(row, 0)
        cell = table.getAccessibleAt(row, new_name)
        rows.append((name_cell.name if name_cell else "", cell.name if cell else "",
                     cell.description if cell else ""))
    return rows


def verdict_of(table_accessible, entry, words):
    """The New name cell's text of `entry` when it holds `words`, else nothing."""
    for name, cell_name, description in new_name_cells(table_accessible):
        if name == entry and (words in cell_name or words in description):
            return f"{cell_name!r} / {description!r}"
    return None


def describe(root, limit=300):
    """The tree of accessible objects under `root`, one line each, for a failure's report."""
    lines = []

    def walk(accessible, depth):
        if len(lines) >= limit or accessible is None:
            return
        try:
            lines.append(f"{'  ' * depth}{accessible.getRoleName()} {accessible.name!r} {accessible.description!r}")
            for index in range(accessible.childCount):
                walk(accessible.getChildAtIndex(index), depth + 1)
        except Exception as error:
            lines.append(f"{'  ' * depth}(unreadable: {error})")

    walk(root, 0)
    return "\n".join(lines)


def display_answers(seconds=5.0):
    """Whether the X server of $DISPLAY takes connections."""
    import socket

    number = os.environ.get("DISPLAY", "").lstrip(":").split(".")[0]
    deadline = time.monotonic() + seconds
    while True:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            try:
                connection.connect(f"/tmp/.X11-unix/X{number}")
                return True
            except OSError:
                pass
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)


def on_display(program, folder):
    try:
        import pyatspi
    except Exception as error:
        print(f"SKIP: pyatspi cannot be imported: {error}")
        return SKIP
    started = start_accessibility_bus()
    if started is None:
        print("SKIP: no accessibility bus: org.a11y.Bus does not answer and at-spi-bus-launcher is missing")
        return SKIP
    # xvfb-run -a may pick a display whose server is still going away and
    # then go on without one of its own; the caller tries again.
    if not display_answers():
        print(f"no X server answers on {os.environ.get('DISPLAY')}")
        return NO_DISPLAY
    quorbit = subprocess.Popen([program])
    application = None
    try:
        try:
            desktop = pyatspi.Registry.getDesktop(0)
        except Exception as error:
            print(f"SKIP: the accessibility registry cannot be reached: {error}")
            return SKIP
        try:
            application = wait_for("Quorbit on the accessibility bus", lambda: find_application(desktop, quorbit.pid))
        except Failure as failure:
            if quorbit.poll() is None:
                print(f"FAIL: {failure}; the desktop lists "
                      f"{[desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]}")
                return 1
            print(f"FAIL: Quorbit ended with exit code {quorbit.returncode} before it could be reached")
            return 1

        # The list shows the chosen folder before anything is done to it.
        table = file_table(application)
        wait_for("the list of the chosen folder",
                 lambda: {row[0] for row in new_name_cells(table)} >= set(FILES) | {BLOCKING_FOLDER})

        counter = find(application, "the radio button \"Counter\"",
                       lambda a: a.getRole() == pyatspi.ROLE_RADIO_BUTTON and a.name == "Counter")
        run_action(counter, {"toggle", "press", "click"}, "the radio button \"Counter\"")
        wait_for("\"Counter\" to be checked", lambda: counter.getState().contains(pyatspi.STATE_CHECKED))

        label = "Text before the number:"
        edit = find(application, f"an edit named \"{label}\"",
                    lambda a: a.name == label and a.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
                    and a.getState().contains(pyatspi.STATE_SHOWING))
        editable = edit.queryEditableText()
        editable.setTextContents(PREFIX)
        wait_for(f"the edit to hold {PREFIX!r}", lambda: edit.queryText().getText(0, -1) == PREFIX)

        # The preview marks the file whose new name the folder holds.
        preview = wait_for("the New name column to say b \"will not be renamed\"",
                           lambda: verdict_of(table, "b", "will not be renamed"))
        print(f"before the run, the New name cell of b reads {preview}")

        rename = find(application, "the button \"Rename\"",
                      lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "Rename")
        run_action(rename, {"press", "click"}, "the button \"Rename\"")
        wait_for(f"the folder to hold {sorted(EXPECTED_AFTER)}",
                 lambda: set(os.listdir(folder)) == EXPECTED_AFTER)

        # The status bar counts b among the entries not renamed, and the list,
        # shown again, still tells why it keeps its name.
        status_bar = find(application, "a status bar that tells of an entry \"not renamed\"",
                          lambda a: a.getRole() == pyatspi.ROLE_STATUS_BAR and "not renamed" in a.name)
        print(f"after the run, the status bar reads {status_bar.name!r}")
        after = wait_for("the New name column to say b \"will not be renamed\" after the run",
                         lambda: verdict_of(table, "b", "will not be renamed"))
        print(f"after the run, the New name cell of b reads {after}")

        exit_item = find(application, "the menu item \"Exit\"",
                         lambda a: a.getRole() == pyatspi.ROLE_MENU_ITEM and a.name == "Exit")
        run_action(exit_item, {"press", "click", "toggle"}, "the menu item \"Exit\"")
        try:
            status = quorbit.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("Quorbit did not close within 20 s of its Exit action")
        if status != 0:
            raise Failure(f"Quorbit ended with exit code {status} after its Exit action")
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}")
        print(f"the folder holds {sorted(os.listdir(folder))}")
        if application is not None:
            print("the accessible objects of Quorbit:")
            print(describe(application))
        return 1
    finally:
        if quorbit.poll() is None:
            quorbit.kill()
            quorbit.wait()
        for process in started or []:
            process.terminate()
            process.wait()


# --- setting up the home and the display ------------------------------------

def main(arguments):
    if len(arguments) == 3 and arguments[0] == "--on-display":
        return on_display(arguments[1], arguments[2])
    if len(arguments) != 2:
        print(__doc__)
        return 2
    for tool in ("xvfb-run", "dbus-run-session", "dbus-send"):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} is not installed")
            return SKIP
    try:
        import pyatspi  # noqa: F401
    except Exception as error:
        # Debian installs pyatspi for its own Python, which another python3
        # earlier on the PATH may hide.
        debian_python = "/usr/bin/python3"
        if os.path.realpath(sys.executable) != os.path.realpath(debian_python) and os.access(debian_python, os.X_OK):
            os.execv(debian_python, [debian_python, os.path.abspath(__file__)] + arguments)
        print(f"SKIP: pyatspi cannot be imported: {error}")
        return SKIP

    executable, languages = arguments
    with tempfile.TemporaryDirectory() as home:
        # The copy runs from a fresh folder that is also its home, and keeps
        # its settings beside itself.
        program = os.path.join(home, "quorbit")
        shutil.copy2(executable, program)
        shutil.copytree(languages, os.path.join(home, "language"))
        for name in (".config", "runtime"):
            os.mkdir(os.path.join(home, name), 0o700)
        folder = os.path.join(home, "files")
        os.mkdir(folder)
        for name in FILES:
            with open(os.path.join(folder, name), "w") as file:
                file.write(name + "\n")
        os.mkdir(os.path.join(folder, BLOCKING_FOLDER))
        with open(os.path.join(home, "quorbit.ini"), "w") as settings:
            settings.write(f"[Options]\nLanguage=English\nLast Folder={folder}\nApply To=0\nRename=0\n")

        environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                           XDG_STATE_HOME=os.path.join(home, ".local", "state"),
                           XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                           XDG_CACHE_HOME=os.path.join(home, ".cache"),
                           XDG_RUNTIME_DIR=os.path.join(home, "runtime"), QT_QPA_PLATFORM="xcb",
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        environment.pop("DBUS_SESSION_BUS_ADDRESS", None)
        environment.pop("AT_SPI_BUS_ADDRESS", None)
        server_log = os.path.join(home, "xvfb.log")
        # Without -noreset the server starts over whenever its last client
        # leaves, as the accessibility bus launcher soon does, and refuses the
        # clients that come meanwhile.
        command = ["xvfb-run", "-a", "-e", server_log, "-s", "-screen 0 1280x1024x24 -noreset",
                   "dbus-run-session", "--",
                   sys.executable, os.path.abspath(__file__), "--on-display", program, folder]
        deadline = time.monotonic() + 110
        for attempt in range(3):
            # Its own process group, so that a hang ends with all it started.
            display = subprocess.Popen(command, env=environment, start_new_session=True)
            try:
                status = display.wait(timeout=max(1.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                os.killpg(display.pid, signal.SIGKILL)
                display.wait()
                print("FAIL: the test on the display did not end within 110 s")
                return 1
            if status != NO_DISPLAY:
                break
        if status == NO_DISPLAY:
            print("FAIL: xvfb-run started no X server in three tries")
            return 1
        if status != 0 and os.path.exists(server_log):
            with open(server_log, errors="replace") as log:
                print(f"the X server said:\n{log.read()}")
        if status == 0:
            print("PASS: Counter, the prefix, Rename and Exit worked through AT-SPI, "
                  "and the list told which entry was not renamed")
        return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
