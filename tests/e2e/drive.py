#!/usr/bin/python3
"""Drives the real vexlin program in an X session with a window manager, only with synthetic
keyboard and mouse input (xdotool), and checks each step from outside the process through
the accessibility tree, as a screen reader sees the program. Every step waits for its
condition with a timeout, so a failure means the program did not get there.

Usage: drive.py VEXLIN SAMPLES_DIR SHOTS_DIR"""
import os
import subprocess
import sys
import time

import pyatspi

VEXLIN, SAMPLES, SHOTS = sys.argv[1:4]
TIMEOUT = 30
steps = []


def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")], check=False)


def fail(message):
    shot("failure")
    print("e2e: FAILED: " + message, file=sys.stderr)
    for done in steps:
        print("e2e: done: " + done, file=sys.stderr)
    sys.exit(1)


def wait(what, condition, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            value = condition()
        except Exception:  # the tree changes under us while the program works
            value = None
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


def step(text):
    steps.append(text)
    print("e2e: " + text, flush=True)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "60", *keys], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)


def click_at(x, y):
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def find(app, role, name=None, visible=True):
    return [n for n in walk(app) if n.getRoleName() == role and (name is None or n.name == name)
            and (not visible or showing(n))]


def documents(app):
    return [n for n in find(app, "frame") if n.name.endswith(".pdb")]


def status(app):
    bars = find(app, "status bar")
    return [n.name for n in walk(bars[0]) if n.getRoleName() == "label"] if bars else []


def has_status(app, text):
    return text in status(app)


def open_by_typing(app, typed, count):
    """File, Open... with a name or a whole path typed into the dialog, then Enter."""
    name = os.path.basename(typed)
    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Open..."))
    key("o")
    wait("the open dialog", lambda: find(app, "dialog", "Open"))
    type_text(typed)
    key("Return")
    wait("the dialog to close", lambda: not find(app, "dialog", "Open"))
    wait(name + " in a window of its own",
         lambda: len(documents(app)) == count and documents(app)[-1].name.endswith("/" + name))


def main():
    program = subprocess.Popen([VEXLIN], cwd=SAMPLES,
                               env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    app = wait("vexlin in the accessibility tree", lambda: application(program.pid))
    frame = wait("the main frame", lambda: find(app, "frame", "Vexlin"))[0]
    wait("the main frame to be active", lambda: frame.getState().contains(pyatspi.STATE_ACTIVE))
    step("started: the frame 'Vexlin' is shown and active, no document window")
    if documents(app):
        fail("a document window at start-up")

    open_by_typing(app, "Memos.pdb", 1)
    wait("the status of Memos.pdb", lambda: has_status(app, "Record: 1 of 4"))
    step("File, Open... with Memos.pdb typed: one window titled with its path, 'Record: 1 of 4'")
    # A whole path typed: the name box offers completions on the way.
    open_by_typing(app, os.path.join(SAMPLES, "Readings.pdb"), 2)
    wait("the status of Readings.pdb", lambda: has_status(app, "Record: 1 of 3000"))
    memo, readings = documents(app)
    mx, my, _, _ = extents(memo)
    rx, ry, rw, rh = extents(readings)
    if not (rx > mx and ry - my == rx - mx):
        fail("the second window is not one cascade step from the first: %s %s" % (extents(memo), extents(readings)))
    tabs = [n.name for n in find(app, "page tab")]
    for name in ("Header", "App Info", "Sort Info", "Records"):
        if name not in tabs:
            fail("no tab '%s' in %s" % (name, tabs))
    step("a second file right after, its whole path typed: every key reached the frame; the new window "
         "is one step down and right; tabs Header, App Info, Sort Info, Records")
    shot("two-files")

    for hint, expected in (("Next Record", "Record: 2 of 3000"), ("Last Record", "Record: 3000 of 3000"),
                           ("Previous Record", "Record: 2999 of 3000"), ("First Record", "Record: 1 of 3000")):
        button = wait("the toolbar button named '%s'" % hint, lambda: find(app, "push button", hint))[0]
        x, y, w, h = extents(button)
        click_at(x + w // 2, y + h // 2)
        wait("'%s' after %s" % (expected, hint), lambda: has_status(app, expected))
    step("toolbar buttons, found by their hints and clicked: Next, Last, Previous, First step the records")

    area = find(app, "layered pane")[0]
    ax, ay, aw, ah = extents(area)
    key("alt+w")
    wait("the Window menu", lambda: find(app, "menu item", "Tile"))
    key("t")

    def tiled():
        boxes = sorted(extents(d) for d in documents(app))
        return len(boxes) == 2 and all(b[2] == aw and b[0] == ax for b in boxes) and boxes[0][1] < boxes[1][1]
    wait("the windows stacked one above the other, each as wide as the area", tiled)
    step("Window, Tile: both windows stacked, each as wide as the area")
    shot("tiled")

    key("alt+w")
    wait("the Window menu", lambda: find(app, "menu item", "Cascade"))
    key("c")

    def cascaded():
        boxes = sorted(extents(d) for d in documents(app))
        (x0, y0, w0, h0), (x1, y1, w1, h1) = boxes
        return (w0, h0) == (w1, h1) and x1 - x0 == y1 - y0 > 0 and (x0, y0) == (ax, ay)
    wait("the windows cascaded at the same size", cascaded)
    step("Window, Cascade: same size, one title bar apart, from the top-left")
    shot("cascaded")

    key("alt+h")
    wait("the Help menu", lambda: find(app, "menu item", "About..."))
    key("a")
    wait("the About box", lambda: find(app, "dialog", "About"))
    shot("about")
    key("Escape")
    wait("the About box to close", lambda: not find(app, "dialog", "About"))
    step("Help, About... by keyboard shows the About box; Esc closes it")

    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Close"))
    key("c")
    wait("one window left", lambda: len(documents(app)) == 1)
    if not has_status(app, "Record: 1 of 3000"):
        fail("closing a window changed the status text: %s" % status(app))
    step("File, Close closes the front window only; the status text stays")

    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Exit"))
    key("x")
    try:
        code = program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        program.kill()
        fail("vexlin did not exit")
    if code != 0:
        fail("vexlin exited with %d" % code)
    step("File, Exit ends the program with status 0")
    print("e2e: %d passed, 0 failed" % len(steps))


if __name__ == "__main__":
    main()
