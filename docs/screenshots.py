#!/usr/bin/python3
"""Takes the README's screenshots of the real program in an X session with a window manager:
each tab on a sample database, cropped to the main frame. Run by docs/screenshots.sh.

Usage: screenshots.py VEXLIN FOLDER_WITH_SAMPLES OUTPUT_DIR"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import drive  # noqa: E402  (its helpers: waits, keys, the accessibility tree)

vexlin, folder, out = sys.argv[1:4]
drive.SHOTS = out


def frame_shot(app, name):
    # Titled "Vexlin - [FILE]" while a document window is maximised in it.
    frame = [f for f in drive.find(app, "frame") if f.name == "Vexlin" or f.name.startswith("Vexlin - [")][0]
    x, y, w, h = drive.extents(frame)
    left, right, top, bottom = drive.frame_extents(program.pid)  # the window manager's frame
    time.sleep(0.7)
    subprocess.run(["import", "-window", "root", "-crop",
                    "%dx%d+%d+%d" % (w + left + right, h + top + bottom, x - left, y - top),
                    "+repage", os.path.join(out, name + ".png")], check=True)


def show_tab(app, document, tab):
    window = [d for d in drive.documents(app) if d.name.endswith(document)][0]
    page = [n for n in drive.walk(window) if n.getRoleName() == "page tab" and n.name == tab][0]
    x, y, w, h = drive.extents(page)
    drive.click_at(x + w // 2, y + h // 2)
    time.sleep(0.7)  # a picture for the README, not a test: a moment to repaint


def click_button(app, hint):
    x, y, w, h = drive.extents(drive.find(app, "push button", hint)[0])
    drive.click_at(x + w // 2, y + h // 2)


program = subprocess.Popen([vexlin], cwd=folder, env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
app = drive.wait("vexlin", lambda: drive.application(program.pid))
drive.wait("the frame", lambda: drive.find(app, "frame", "Vexlin"))
drive.open_by_typing(app, "Memos.pdb", 1)
frame_shot(app, "tab-header")
show_tab(app, "Memos.pdb", "App Info")
frame_shot(app, "tab-app-info")
drive.open_by_typing(app, "Addresses.pdb", 2)
show_tab(app, "Addresses.pdb", "Sort Info")
frame_shot(app, "tab-sort-info")
drive.open_by_typing(app, "Readings.pdb", 3)
show_tab(app, "Readings.pdb", "Records")
for _ in range(2):
    click_button(app, "Next Record")
drive.wait("record 3", lambda: drive.has_status(app, "Record: 3 of 3000"))
# Select the character column of the record's two lines with the mouse.
window = [d for d in drive.documents(app) if d.name.endswith("Readings.pdb")][0]
x, y, w, h = drive.extents(window)
subprocess.run(["xdotool", "mousemove", "--sync", str(x + 433), str(y + 62), "mousedown", "1",
                "mousemove", "--sync", str(x + 483), str(y + 78), "mouseup", "1"], check=True)
subprocess.run(["xdotool", "mousemove", "--sync", str(x + w + 40), str(y + h + 40)], check=True)
frame_shot(app, "tab-records")

drive.key("alt+f")
drive.key("x")
program.wait(timeout=30)

# The Content tab, one picture a family: contacts, icons (three times their size), a book; each
# file opened from the command line in a larger frame, its window maximised.
for name, picture in (("Addresses.pdb", "content-contacts"), ("plucker_imodeicons.pdb", "content-icons"),
                      ("txt2pdbdoc_ISO_8859-1_PalmDOC.pdb", "content-book")):
    program = subprocess.Popen([vexlin, name], cwd=folder,
                               env=dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    app = drive.wait("vexlin", lambda: drive.application(program.pid))
    drive.wait("the frame", lambda: drive.find(app, "frame", "Vexlin"))
    subprocess.run(["xdotool", "search", "--sync", "--pid", str(program.pid), "--name", "^Vexlin$",
                    "windowsize", "%@", "1000", "720"], check=True)
    time.sleep(0.7)
    window = drive.wait(name, lambda: [d for d in drive.find(app, "frame", visible=False)
                                       if d.name.endswith("/" + name)])[0]
    x, y, w, h = drive.extents(window)
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + 8), "click", "--repeat", "2",
                    "--delay", "80", "1"], check=True)
    time.sleep(0.7)
    page = drive.wait("the Content tab", lambda: [n for n in drive.walk(window)
                                                  if n.getRoleName() == "page tab" and n.name == "Content"])[0]
    x, y, w, h = drive.extents(page)
    drive.click_at(x + w // 2, y + h // 2)
    time.sleep(0.7)
    if picture == "content-icons":
        zoom = [n for n in drive.walk(window) if n.getRoleName() == "spin button"][0]
        x, y, w, h = drive.extents(zoom)
        drive.click_at(x + w // 2, y + h // 2)
        drive.key("Up", "Up")
        time.sleep(0.7)
    subprocess.run(["xdotool", "mousemove", "--sync", "5", "5"], check=True)
    frame_shot(app, picture)
    program.terminate()
    program.wait(timeout=30)
