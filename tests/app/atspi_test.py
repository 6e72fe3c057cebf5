#!/usr/bin/python3
"""The desktop program as a screen reader sees it: started under a private X server and session
bus with the accessibility bus, every control is found over AT-SPI by its name and role, and the
preview's text is readable. Started with a store, the program scans it at once: the preview then
says that the scan has completed. Usage: atspi_test.py PROGRAM STORE"""
import os
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("SKIP: python3-pyatspi is not installed")
    sys.exit(77)

PROGRAM, STORE = sys.argv[1], sys.argv[2]

EXPECTED = [
    ("OST file", "text"),
    ("Browse...", "push button"),
    ("Scan", "push button"),
    ("Stop", "push button"),
    ("Convert OST to EML", "push button"),
    ("Folders", "tree"),
    ("Items", "table"),
    ("Progress", "progress bar"),
    ("Preview", "filler"),
]
PREVIEW_TEXT = "OST Repair Successfully Completed!"  # the page at the end of the scan


def find_application():
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and "tarvolin" in (app.name or "").lower():
            return app
    return None


def nodes(node, depth=0):
    if node is None or depth > 80:
        return
    yield node
    for index in range(node.childCount):
        yield from nodes(node.getChildAtIndex(index), depth + 1)


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return ""


def start_x_server(home):
    """A private X server on a display it picks itself (-displayfd): it answers once the number is
    written, so no other server can take the display in between."""
    reader, writer = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=[writer],
                              stdout=subprocess.DEVNULL, stderr=open(os.path.join(home, "xvfb.txt"), "w"))
    os.close(writer)
    number = b""
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and not number.endswith(b"\n"):
        chunk = os.read(reader, 16)
        if not chunk:
            break
        number += chunk
    os.close(reader)
    if not number.strip().isdigit():
        server.kill()
        server.wait()
        with open(os.path.join(home, "xvfb.txt")) as log:
            raise SystemExit("FAIL: the X server did not start: " + log.read().strip()[-400:])
    return server, ":" + number.strip().decode()


def main():
    home = os.environ.get("ATSPI_TEST_HOME")
    if home is None:
        # Everything of the run is private: its session bus, its accessibility bus (whose socket
        # lies below XDG_RUNTIME_DIR) and its X server, so that runs side by side never meet.
        with tempfile.TemporaryDirectory() as home:
            env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, ATSPI_TEST_HOME=home)
            env.pop("DISPLAY", None)
            command = ["dbus-run-session", "--", "sh", "-c",
                       '/usr/libexec/at-spi-bus-launcher --launch-immediately & exec "$0" "$@"',
                       sys.executable, os.path.abspath(__file__), PROGRAM, STORE]
            return subprocess.run(command, env=env).returncode
    server, display = start_x_server(home)
    try:
        return run_program(home, display)
    finally:
        server.terminate()
        server.wait()


def run_program(home, display):
    scratch = os.path.join(home, "tmp")
    os.mkdir(scratch)
    env = dict(os.environ, HOME=home, DISPLAY=display, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QTWEBENGINE_DISABLE_SANDBOX="1",
               XDG_RUNTIME_DIR=home, TMPDIR=scratch)
    errors = open(os.path.join(home, "stderr.txt"), "w+")
    program = subprocess.Popen([PROGRAM, STORE], env=env, stdout=subprocess.DEVNULL, stderr=errors)
    problems = []
    try:
        problems = check(program)
    finally:
        # Ended as a session's end or `kill` ends it: the run's private folder goes too.
        program.terminate()
        try:
            program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
            problems.append("the program did not end on SIGTERM")
    if program.returncode not in (0, -15, 143):  # ended otherwise than by the signal
        errors.seek(0)
        problems.append("its last messages: " + " | ".join(errors.read().splitlines()[-8:]))
    errors.close()
    left = os.listdir(scratch)
    if left:
        problems.append(f"left in the temporary folder after SIGTERM: {left}")
    for problem in problems:
        print("FAIL:", problem)
    print("ok" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


def check(program):
    # A long wait: beside a build, the browser engine alone can take half a minute to start.
    deadline = time.monotonic() + 150
    missing = list(EXPECTED)
    preview_read = False
    while time.monotonic() < deadline and program.poll() is None:
        app = find_application()
        if app is not None:
            missing = list(EXPECTED)
            preview_read = False
            for node in nodes(app):
                try:
                    key = (node.name, node.getRoleName())
                except Exception:
                    continue
                if key in missing:
                    missing.remove(key)
                if PREVIEW_TEXT in (node.name or "") or PREVIEW_TEXT in text_of(node):
                    preview_read = True
            if not missing and preview_read:
                return []
        time.sleep(1)
    problems = [f"no {role} named {name!r}" for name, role in missing]
    if not preview_read:
        problems.append(f"the preview's text {PREVIEW_TEXT!r} is not readable")
    if program.poll() is not None:
        problems.append(f"the program ended with {program.returncode}")
    return problems


if __name__ == "__main__":
    sys.exit(main())
