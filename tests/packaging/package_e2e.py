"""Velmora Free from its Debian package, through the accessibility tree.
Run inside tests/e2e/xsession.sh, in one of two ways:

  package_e2e.py --wizard ROOT/usr/bin/VelmoraFree
      the wizard of the unpacked package: its caption with the version, the
      help window at the drive page's topic (F1), its window icon; Exit ends it.

  package_e2e.py --launcher /usr/bin/VelmoraFreeLauncher --disc MOUNTPOINT
      the launcher of the installed package, with no InstallPath recorded:
      it starts the wizard from its own folder, which lists the disc.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import atspi  # noqa: E402

CAPTION = "Velmora Free v.2.0.0.0"


def processes_of(program, home):
    """Ids of the running processes of this program file started with this HOME."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % pid) != program:
                continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("HOME=" + home).encode() in f.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            pass
    return found


def window_icon_size(caption):
    """(width, height) of the first picture of the window manager's icon of
    the window with this caption, or None when it has none."""
    out = subprocess.run(["xprop", "-name", caption, "-len", "16", "-f", "_NET_WM_ICON", "32c",
                          "_NET_WM_ICON"], capture_output=True, text=True).stdout
    values = out.partition("=")[2].replace(",", " ").split()
    if len(values) < 2 or not all(v.isdigit() for v in values[:2]):
        return None
    size = int(values[0]), int(values[1])
    return size if min(size) > 0 else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wizard", help="the wizard of an unpacked package")
    ap.add_argument("--launcher", help="the launcher of the installed package")
    ap.add_argument("--disc", help="the mount point of a disc, for --launcher")
    args = ap.parse_args()
    if bool(args.wizard) == bool(args.launcher) or (args.launcher and not args.disc):
        ap.error("give --wizard, or --launcher with --disc")
    wizard = os.path.realpath(args.wizard) if args.wizard else \
        os.path.join(os.path.dirname(os.path.realpath(args.launcher)), "VelmoraFree")

    work = tempfile.mkdtemp(prefix="velmora-package-e2e-")
    home = os.path.join(work, "home")
    fakebin = os.path.join(work, "fakebin")
    opened = os.path.join(work, "opened.txt")
    for d in (home, fakebin):
        os.makedirs(d)
    # The desktop's opener: writes down each page it is asked to open.
    with open(os.path.join(fakebin, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\n' % opened)
    os.chmod(os.path.join(fakebin, "xdg-open"), 0o755)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
               PATH=fakebin + ":" + os.environ.get("PATH", ""))
    started = None
    try:
        started = subprocess.Popen([args.wizard or args.launcher], env=env)
        app = atspi.application("VelmoraFree", seconds=60)
        atspi.wait_for(lambda: atspi.window_title(app) == CAPTION, "the caption with the version")
        assert processes_of(wizard, home), "the running wizard is not " + wizard

        if args.wizard:
            size = atspi.wait_for(lambda: window_icon_size(CAPTION), "the window's icon")
            assert size == (256, 256), "the window's icon is %dx%d, not the logo" % size
            pyatspi.Registry.generateKeyboardEvent(0xFFBE, None, pyatspi.KEY_SYM)  # F1
            help_window = atspi.wait_for(
                lambda: next((w for w in app if w.name == "Velmora Free Help - Choosing the drive"),
                             None), "the help window at the drive page's topic")
            atspi.press(atspi.wait_find(help_window, "Close", "push button"))
            atspi.wait_for(lambda: not any(w.name.startswith("Velmora Free Help") and
                                           w.getState().contains(pyatspi.STATE_SHOWING)
                                           for w in app), "the help window to close")
        else:
            # The launcher has ended once the wizard runs; the wizard lists the disc.
            assert started.wait(timeout=60) == 0, "the launcher failed"
            atspi.wait_for(lambda: any(c.name.startswith(args.disc + " : ")
                                       for c in atspi.find(app, "Drives")),
                           "the disc in the wizard's drive list")

        atspi.press(atspi.wait_find(app, "Exit", "push button"))
        atspi.wait_for(lambda: not processes_of(wizard, home), "the wizard to end", seconds=30)
        print("package end-to-end (%s): passed" % ("unpacked wizard" if args.wizard else
                                                    "installed launcher"))
    finally:
        for pid in processes_of(wizard, home):
            os.kill(pid, signal.SIGKILL)
        if started is not None and started.poll() is None:
            started.kill()
            started.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
