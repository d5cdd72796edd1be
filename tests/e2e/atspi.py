"""Driving programs through the accessibility tree (AT-SPI), as a screen
reader does: find controls by role and accessible name, press them, read
their texts. Run inside tests/e2e/xsession.sh. Every wait polls for the
awaited state: AT-SPI actions return before the program has reacted."""

import os
import subprocess
import time

import pyatspi


class Timeout(AssertionError):
    pass


def wait_for(probe, what, seconds=20):
    """Polls probe() until it returns a true value, and returns that."""
    end = time.time() + seconds
    last = None
    while time.time() < end:
        try:
            found = probe()
            if found:
                return found
        except Exception as e:  # the tree changes under our feet
            last = e
        time.sleep(0.05)
    raise Timeout("timed out waiting for %s%s" % (what, " (%s)" % last if last else ""))


def application(name, seconds=20):
    return wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                                  if a is not None and a.name == name), None),
                    "application %r" % name, seconds)


def find(root, name, role=None, showing=True):
    """The first descendant with this accessible name (and role name)."""
    def match(x):
        if x is None or x.name != name:
            return False
        if role is not None and x.getRoleName() != role:
            return False
        return not showing or x.getState().contains(pyatspi.STATE_SHOWING)
    return pyatspi.findDescendant(root, match)


def find_all(root, predicate):
    return pyatspi.findAllDescendants(root, lambda x: x is not None and predicate(x))


def wait_find(root, name, role=None, seconds=20):
    return wait_for(lambda: find(root, name, role), "%s %r" % (role or "control", name), seconds)


def choose_drive(app, entry_probe, next_button, on_target_page, what):
    """Selects the drive list entry that entry_probe() finds and presses Next
    until on_target_page() returns a true value, which it returns. Other
    tests' discs come and go meanwhile; each time the list is rebuilt with its
    first drive selected, so a wrong source sends the run back to choose again.
    Returns (the Target directory field, what on_target_page() returned)."""
    for _ in range(10):
        entry = wait_for(entry_probe, what)
        if not entry.getState().contains(pyatspi.STATE_SELECTED):
            click(entry)
            wait_for(lambda: entry_probe().getState().contains(pyatspi.STATE_SELECTED),
                     what + " chosen")
        press(next_button)
        edit = wait_find(app, "Target directory", "text")
        found = on_target_page()
        if found:
            return edit, found
        press(wait_find(app, "Back", "push button"))
        wait_find(app, "Drives")
    raise Timeout("%s never stayed chosen" % what)


def is_enabled(acc):
    return acc.getState().contains(pyatspi.STATE_ENABLED)


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press"))


def click(acc):
    """A left click in the middle of the control, as the mouse gives it."""
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(e.x + e.width // 2, e.y + e.height // 2, "b1c")


def set_text(acc, text):
    editable = acc.queryEditableText()
    editable.setTextContents(text)


def text_of(acc):
    t = acc.queryText()
    return t.getText(0, t.characterCount)


def window_title(app):
    return app.getChildAtIndex(0).name


def screenshot(path, window=None):
    """The screen, or only the given window (by its extents on the screen)."""
    crop = []
    if window is not None:
        e = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        crop = ["-crop", "%dx%d+%d+%d" % (e.width, e.height, e.x, e.y), "+repage"]
    subprocess.run(["import", "-window", "root"] + crop + [path], check=True)


def is_mounted(point):
    with open("/proc/self/mountinfo") as f:
        return any(line.split()[4] == point for line in f)


def shooter(shots):
    """shot(name, window): a screenshot into the folder shots, when one is given."""
    if shots:
        os.makedirs(shots, exist_ok=True)

    def shot(name, window):
        if shots:
            time.sleep(0.3)  # let the last repaint land
            screenshot(os.path.join(shots, name), window)
    return shot
