#!/usr/bin/python3
"""Drives the real vexlin program in an X session with a window manager, only with synthetic
keyboard and mouse input (xdotool), and checks each step from outside the process through
the accessibility tree, as a screen reader sees the program. Every step waits for its
condition with a timeout, so a failure means the program did not get there.

Usage: drive.py VEXLIN SAMPLES_DIR SHOTS_DIR"""
import os
import shutil
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
    """The document windows, each titled with its file's whole path."""
    return [n for n in find(app, "frame") if n.name.startswith("/")]


def status(app):
    bars = find(app, "status bar")
    return [n.name for n in walk(bars[0]) if n.getRoleName() == "label"] if bars else []


def has_status(app, text):
    return text in status(app)


def current_tab(document):
    """The name of the tab in front: the tab list is named after it."""
    tabs = [n for n in walk(document) if n.getRoleName() == "page tab list"]
    return tabs[0].name if tabs else None


def click_button(app, hint):
    button = wait("the toolbar button named '%s'" % hint, lambda: find(app, "push button", hint))[0]
    x, y, w, h = extents(button)
    click_at(x + w // 2, y + h // 2)


def gray(x, y, w, h):
    """The screen's pixels in a rectangle, one byte of grey each, row by row."""
    return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "-depth", "8",
                           "gray:-"], check=True, capture_output=True).stdout


def bars(x, y, w, h):
    """The middles (screen x) of the dark vertical strokes that cross a strip from top to
    bottom: the bars of the dump lines in it."""
    pixels = gray(x, y, w, h)
    dark = [sum(pixels[row * w + col] < 110 for row in range(h)) >= h * 3 // 4 for col in range(w)]
    middles, start = [], None
    for col in range(w + 1):
        if col < w and dark[col] and start is None:
            start = col
        elif (col == w or not dark[col]) and start is not None:
            middles.append(x + (start + col - 1) / 2)
            start = None
    return middles


def frame_extents(pid):
    """The window manager's frame around the program's main window: left, right, top, bottom."""
    ids = subprocess.run(["xdotool", "search", "--all", "--pid", str(pid), "--name", "^Vexlin$"],
                         capture_output=True, text=True).stdout.split()
    for window in ids:
        out = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], capture_output=True, text=True).stdout
        if "=" in out:
            return tuple(int(v) for v in out.split("=")[1].split(","))
    return (0, 0, 0, 0)


def clipboard():
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, text=True).stdout


def type_into_open(app, typed):
    """File, Open... with a name or a whole path typed into the dialog, then Enter."""
    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Open..."))
    key("o")
    wait("the open dialog", lambda: find(app, "dialog", "Open"))
    type_text(typed)
    key("Return")


def open_by_typing(app, typed, count):
    """type_into_open, then the file's window among count document windows."""
    name = os.path.basename(typed)
    type_into_open(app, typed)
    wait("the dialog to close", lambda: not find(app, "dialog", "Open"))
    wait(name + " in a window of its own",
         lambda: len(documents(app)) == count and any(d.name.endswith("/" + name) for d in documents(app)))


# The windows named on the command line may lack the "showing" state (they opened before the
# frame was first exposed): the Content tab's parts are found by role and name alone.
def cells(document):
    """The names of the table cells the Content tab lists (the rows the filters leave)."""
    return [n.name for n in walk(document) if n.getRoleName() == "table cell"]


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def named(document, role, name):
    return [n for n in walk(document) if n.getRoleName() == role and n.name == name]


def choose_in(app, document, combo_name, item):
    """Opens a combo box of the tab (named, as Qt names it, by what it shows) with a click and
    clicks one of its items."""
    combo = wait("the box showing '%s'" % combo_name, lambda: named(document, "combo box", combo_name))[0]
    x, y, w, h = extents(combo)
    click_at(x + w // 2, y + h // 2)
    entry = wait("'%s' in the list" % item, lambda: find(app, "list item", item))[0]
    x, y, w, h = extents(entry)
    click_at(x + w // 2, y + h // 2)


def content_tab(app):
    """The Content tab of Addresses.pdb (the window in front): its rows, the rows in step with
    the records, the category filter and the search, File, Export..., the Japanese address
    book's names."""
    window = wait("Addresses.pdb's window", lambda: [d for d in find(app, "frame", visible=False)
                                                     if d.name.endswith("/Addresses.pdb")])[0]
    page = wait("the Content tab", lambda: named(window, "page tab", "Content"))[0]
    names = [n.name for n in walk(window) if n.getRoleName() == "page tab"]
    if names != ["Header", "App Info", "Sort Info", "Records", "Content"]:
        fail("the tabs are not Header, App Info, Sort Info, Records, Content: %s" % names)
    x, y, w, h = extents(page)
    click_at(x + w // 2, y + h // 2)
    people = ["Lovelace, Ada", "Hopper, Grace", "Turing, Alan"]
    wait("the three contacts listed", lambda: all(p in cells(window) for p in people))
    detail = wait("the details pane", lambda: named(window, "text", "Item details"))[0]
    wait("record 1's details", lambda: text_of(detail).startswith("Record 1 (Work)"))
    shot("content-addresses")
    step("the Content tab after the four: Addresses.pdb's three contacts as rows (name, company, "
         "phone), record 1's details in the pane named 'Item details'")
    click_button(app, "Next Record")
    wait("'Record: 2 of 3'", lambda: has_status(app, "Record: 2 of 3"))
    wait("record 2's details", lambda: text_of(detail).startswith("Record 2 (Work)\n  Last name: Hopper"))
    step("Next Record moves the selection to record 2: its details shown")
    choose_in(app, window, "All categories", "Family")
    wait("Family's one contact", lambda: "Turing, Alan" in cells(window) and "Hopper, Grace" not in cells(window))
    choose_in(app, window, "Family", "All categories")
    wait("all three again", lambda: all(p in cells(window) for p in people))
    search = wait("the search box", lambda: named(window, "text", "Search"))[0]
    x, y, w, h = extents(search)
    click_at(x + w // 2, y + h // 2)
    type_text("hop")
    wait("only Hopper", lambda: "Hopper, Grace" in cells(window) and "Lovelace, Ada" not in cells(window))
    shot("content-search")
    step("the category filter (Family) and the search ('hop') narrow the rows")

    export = os.path.join(SHOTS, "export")
    shutil.rmtree(export, ignore_errors=True)
    os.makedirs(export)
    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Export..."))
    key("e")
    wait("the export dialog", lambda: find(app, "dialog", "Export"))
    key("ctrl+a")
    type_text(export)
    key("Return")
    card = os.path.join(export, "Addresses.vcf")
    wait("Addresses.vcf written", lambda: os.path.exists(card))
    wait("the report of what was written", lambda: any("Wrote 1 file" in n.name for n in walk(app)
                                                        if n.getRoleName() == "label"))
    key("Return")
    import vobject
    with open(card, encoding="utf-8") as f:
        read = sorted(c.fn.value for c in vobject.readComponents(f.read()))
    if read != ["Ada Lovelace", "Alan Turing", "Grace Hopper"]:
        fail("python3-vobject read %s from %s" % (read, card))
    step("File, Export... into a folder typed in the dialog: Addresses.vcf, read back by "
         "python3-vobject (three cards), and a report of what was written")

    japanese = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(SAMPLES))), "shared",
                            "corpus", "palmpdb_AddressDB-PalmV-JP.pdb")
    if not os.path.exists(japanese):
        step("SKIPPED: the Japanese address book (no corpus at %s)" % japanese)
        return
    type_into_open(app, japanese)
    jp = wait("the Japanese address book's window",
              lambda: [d for d in find(app, "frame", visible=False) if d.name == japanese])[0]
    page = wait("its Content tab", lambda: named(jp, "page tab", "Content"))[0]
    x, y, w, h = extents(page)
    click_at(x + w // 2, y + h // 2)
    wait("田中 in its row", lambda: any("田中" in c for c in cells(jp)))
    shot("content-japanese")
    step("the Japanese corpus address book: 田中 in its row (cp932 detected)")


def main():
    program = subprocess.Popen([VEXLIN], cwd=SAMPLES,
                               env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    app = wait("vexlin in the accessibility tree", lambda: application(program.pid))
    frame = wait("the main frame", lambda: find(app, "frame", "Vexlin"))[0]
    wait("the main frame to be active", lambda: frame.getState().contains(pyatspi.STATE_ACTIVE))
    fx, fy, fw, fh = extents(frame)
    left, right, top, bottom = frame_extents(program.pid)
    if (fw + left + right, fh + top + bottom) != (727, 528):
        fail("the frame's outer size is not 727 x 528: %s with the frame %s" % (extents(frame), (left, right, top, bottom)))
    step("started: the frame 'Vexlin' is shown and active, 727 x 528 with the window manager's frame, "
         "no document window")
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

    # A file without an extension, its whole path typed; then more files up to six windows.
    backup = os.path.join(SHOTS, "MemoBackup")
    shutil.copyfile(os.path.join(SAMPLES, "Memos.pdb"), backup)
    open_by_typing(app, backup, 3)
    wait("the status of MemoBackup", lambda: has_status(app, "Record: 1 of 4"))
    step("a file without an extension, its whole path typed, opens as typed")
    for count, name in ((4, "Damaged.pdb"), (5, "Addresses.pdb"), (6, "Memos.pdb")):
        open_by_typing(app, os.path.join(SAMPLES, name), count)
    key("alt+w")
    wait("the Window menu", lambda: find(app, "menu item", "Cascade"))
    key("c")

    def six_cascaded():
        boxes = sorted(extents(d) for d in documents(app))
        x0, y0 = boxes[0][:2]
        steps = {b[1] - a[1] for a, b in zip(boxes, boxes[1:])}
        return (len(boxes) == 6 and (x0, y0) == (ax, ay) and len({b[2:] for b in boxes}) == 1
                and len(steps) == 1 and min(steps) > 0 and all(b[0] - x0 == b[1] - y0 for b in boxes))
    wait("six windows cascaded, each title bar one step below the one behind it", six_cascaded)
    shot("cascaded-six")
    step("six windows, Window, Cascade: all the same size, each one title bar down and right of the "
         "one behind it, every title bar visible")

    key("alt+f")
    wait("the File menu", lambda: find(app, "menu item", "Close"))
    key("c")
    wait("five windows left", lambda: len(documents(app)) == 5)
    if not has_status(app, "Record: 1 of 4"):
        fail("closing a window changed the status text: %s" % status(app))
    click_button(app, "Last Record")
    wait("Addresses.pdb (3 records), the window behind, in front", lambda: has_status(app, "Record: 3 of 3"))
    step("File, Close closes the front window only, the status text stays; the window behind it "
         "(Addresses.pdb) comes to the front")

    front = [d for d in documents(app) if d.name.endswith("/Addresses.pdb")][0]
    key("shift+Tab", "Right", "Right")
    wait("Sort Info in front", lambda: current_tab(front) == "Sort Info")
    key("Right")
    wait("Records in front, the keyboard still on the tab strip", lambda: current_tab(front) == "Records")
    key("ctrl+Prior", "ctrl+Prior")
    wait("App Info in front", lambda: current_tab(front) == "App Info")
    step("the tab strip by keyboard: Shift+Tab, Right, Right reaches Sort Info, Right again Records; "
         "Ctrl+PgUp twice steps back to App Info")

    # The window maximised by a double-click on its title bar, so that whole dump lines show.
    x, y, w, h = extents(front)
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + 8), "click", "--repeat", "2",
                    "--delay", "80", "1"], check=True)
    wait("the window maximised", lambda: extents(front)[2] == aw)
    tabs = [n for n in walk(front) if n.getRoleName() == "page tab list"][0]
    below = extents(tabs)[1] + extents(tabs)[3]
    views = [extents(n) for n in walk(front) if n.getRoleName() == "filler" and showing(n)
             and extents(n)[1] >= below and extents(n)[2] > aw // 2]  # not a scroll bar's part
    vx, vy, vw, vh = min(views, key=lambda e: e[2] * e[3])
    time.sleep(0.3)
    # The bars of the first line, found in its pixels: the last two enclose its offset in
    # the area ("0000"), five characters apart.
    found = bars(vx, vy + 1, vw, 14)
    before, after = (found[-2], found[-1]) if len(found) >= 2 else (0, 0)
    advance = (after - before) / 5
    if not 5 <= advance <= 12:
        shot("bars")
        fail("the bars around the area offset of the first dump line not found: %s" % found)
    subprocess.run(["xdotool", "mousemove", "--sync", str(round(before + 0.6 * advance)), str(vy + 8),
                    "mousedown", "1", "mousemove", "--sync", str(round(before + 2 * advance)), str(vy + 8),
                    "mousemove", "--sync", str(round(after - 0.6 * advance)), str(vy + 8), "mouseup", "1"],
                   check=True)
    key("ctrl+c")
    wait("the area offset on the clipboard", lambda: clipboard() == "0000")
    shot("offset-selected")
    step("a drag over the area offset of the first App Info line, placed by its painted bars, copies "
         "exactly '0000' (read with xclip)")

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

    # Started as a file manager starts it: each file named opens in a window of its own.
    named = subprocess.Popen([VEXLIN, "Memos.pdb", "Addresses.pdb"], cwd=SAMPLES,
                             env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    app = wait("the second vexlin in the accessibility tree", lambda: application(named.pid))
    def titles():
        # Their accessible states may lack "showing" (they opened before the frame was first
        # exposed), so the windows are found by role and title alone.
        return sorted(n.name for n in find(app, "frame", visible=False) if n.name.startswith("/"))
    expected = sorted(os.path.join(SAMPLES, name) for name in ("Addresses.pdb", "Memos.pdb"))
    wait("two windows titled with the files' paths", lambda: titles() == expected)
    wait("the status of Addresses.pdb, opened last", lambda: has_status(app, "Record: 1 of 3"))
    shot("named-files")
    step("vexlin Memos.pdb Addresses.pdb: two windows, titled with the files' whole paths")
    content_tab(app)
    named.terminate()
    named.wait(timeout=TIMEOUT)
    print("e2e: %d passed, 0 failed" % len(steps))


if __name__ == "__main__":
    main()
