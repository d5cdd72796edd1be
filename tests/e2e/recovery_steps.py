"""The steps of a recovery from the sample damaged disc that the end-to-end
tests and the responsiveness benchmark share: a private home with a desktop
opener that only writes down what it is asked to open, and the way from the
drive page to a running save."""

import os
import time

import pyatspi

import atspi


def private_env(work, **extra):
    """An environment with its own home below work; xdg-open writes each
    folder or page it is asked to open into work/opened.txt."""
    home = os.path.join(work, "home")
    fakebin = os.path.join(work, "fakebin")
    for d in (home, fakebin):
        os.makedirs(d, exist_ok=True)
    with open(os.path.join(fakebin, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\n' % os.path.join(work, "opened.txt"))
    os.chmod(os.path.join(fakebin, "xdg-open"), 0o755)
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
                XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
                XDG_RUNTIME_DIR=work, PATH=fakebin + ":" + os.environ.get("PATH", ""),
                **extra)


def error_log(env):
    """The error log's lines without their indent (the run's records are
    UTF-8, each line of a record indented under its time stamp)."""
    path = os.path.join(env["XDG_DATA_HOME"], "Velmora Free", "Err.log")
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return [line.strip() for line in f.read().decode("utf-8", "replace").splitlines()]


def start_save(app, mnt, target, folders, shot=lambda name, window: None):
    """From the drive page: the disc mounted at mnt, the target folder, the
    given folders ticked with Space, Save pressed. Returns the progress
    window and the moment (time.monotonic()) Save was pressed."""
    next_button = atspi.wait_find(app, "Next", "push button")

    def our_entry():
        return next((c for c in atspi.find(app, "Drives") if c.name.startswith(mnt + " : ")),
                    None)

    def shows_our_disc():
        source = atspi.wait_find(app, "Source drive")
        return any(x.name.startswith(mnt) for x in atspi.find_all(source, lambda x: x.name))

    edit, _ = atspi.choose_drive(app, our_entry, next_button, shows_our_disc,
                                 "the sample disc's entry")
    atspi.set_text(edit, target)
    atspi.wait_for(lambda: atspi.is_enabled(next_button), "Next enabled for the target")
    atspi.press(next_button)

    files = atspi.wait_find(app, "Files")
    save = atspi.wait_find(app, "Save", "push button")
    for folder in folders:
        item = atspi.wait_find(files, folder)
        atspi.click(item)
        atspi.wait_for(lambda: atspi.find(files, folder).getState().contains(
            pyatspi.STATE_SELECTED), folder + " selected")
        pyatspi.Registry.generateKeyboardEvent(0x20, None, pyatspi.KEY_SYM)
        atspi.wait_for(lambda: atspi.find(files, folder).getState().contains(
            pyatspi.STATE_CHECKED), folder + " ticked")
    atspi.wait_for(lambda: atspi.is_enabled(save), "Save enabled")
    shot("7-file-page-ticked.png", app.getChildAtIndex(0))

    atspi.press(save)
    pressed = time.monotonic()
    progress = atspi.wait_for(
        lambda: next((w for w in app if w.name == "Saving files" and
                      w.getState().contains(pyatspi.STATE_SHOWING)), None),
        "the progress window")
    return progress, pressed


def probe_progress(progress):
    """One look at the progress window as a screen reader takes it: the
    names of its labels and the Cancel button's name and states. Returns how
    long the answers took, in seconds, and the button's name."""
    start = time.monotonic()
    labels = atspi.find_all(progress, lambda x: x.getRoleName() == "label")
    _ = [label.name for label in labels]
    button = pyatspi.findDescendant(
        progress, lambda x: x is not None and x.getRoleName() == "push button")
    name = button.name
    button.getState().contains(pyatspi.STATE_ENABLED)
    return time.monotonic() - start, name
