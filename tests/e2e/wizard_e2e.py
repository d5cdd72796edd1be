"""The recovery wizard as a user meets it, through the accessibility tree:
a damaged disc (velmora-faultfs, shown as an iso9660 disc) is mounted; the
drive page lists it; the target page shows both panels' figures and warns
of a target on the disc itself; a typed target folder lets Next lead on;
F1 opens the page's help; the disc is unmounted and the drive page says
there is none; it is mounted again and comes back at once; Exit closes the
program, which hands the closing page to the browser. Run inside
xsession.sh:

  xsession.sh python3 wizard_e2e.py --bin-dir build/bin [--shots DIR]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi  # noqa: E402


def mounted_optical(exclude):
    """Mount points of other discs (iso9660/udf), as other tests may have them."""
    points = []
    with open("/proc/self/mountinfo") as f:
        for line in f:
            fields = line.split()
            sep = fields.index("-")
            fstype = fields[sep + 1]
            point = fields[4].replace("\\040", " ")
            if point != exclude and fstype.split(".")[-1] in ("iso9660", "udf"):
                points.append(point)
    return points


def panel_values(app, title):
    """The value labels of a disk panel, by what they describe."""
    panel = atspi.wait_find(app, title)
    return {x.description: x.name for x in atspi.find_all(panel, lambda x: x.description)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin-dir", required=True)
    ap.add_argument("--shots", help="folder for screenshots of each step")
    args = ap.parse_args()
    shot = atspi.shooter(args.shots)

    work = tempfile.mkdtemp(prefix="velmora-e2e-")
    disc_src = os.path.join(work, "disc")
    mnt = os.path.join(work, "FAMILY_2009")
    home = os.path.join(work, "home")
    fakebin = os.path.join(work, "fakebin")
    opened = os.path.join(work, "opened.txt")
    os.makedirs(disc_src)

    def mount_disc():
        return subprocess.Popen([os.path.join(args.bin_dir, "velmora-faultfs"), "-f",
                                 "-o", "subtype=iso9660", "-o", "fsname=velmora-faultfs",
                                 disc_src, mnt])

    fs = program = None
    # The disc's figures are those of the folder it serves: a small volume of
    # its own, where the test may mount one, makes them those of a real disc.
    small_volume = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=640m", "tmpfs", disc_src],
                                  stderr=subprocess.DEVNULL).returncode == 0
    try:
        for d in (disc_src + "/Photos", mnt, home, fakebin):
            os.makedirs(d, exist_ok=True)
        for name, size in (("Photos/beach.jpg", 300000), ("Photos/party.jpg", 120000),
                           ("letter.txt", 5000)):
            with open(os.path.join(disc_src, name), "wb") as f:
                f.write(os.urandom(size))
        # The program's browser: writes down each address it is asked to open.
        with open(os.path.join(fakebin, "xdg-open"), "w") as f:
            f.write('#!/bin/sh\necho "$1" >> "%s"\n' % opened)
        os.chmod(os.path.join(fakebin, "xdg-open"), 0o755)

        fs = mount_disc()
        atspi.wait_for(lambda: atspi.is_mounted(mnt), "the disc to mount")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
                   XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
                   PATH=fakebin + ":" + os.environ.get("PATH", ""))
        program = subprocess.Popen([os.path.join(args.bin_dir, "VelmoraFree")], env=env)
        app = atspi.application("VelmoraFree")
        main_window = atspi.wait_for(lambda: app.getChildAtIndex(0), "the main window")
        atspi.wait_for(lambda: atspi.window_title(app) == "Velmora Free v.2.0.0.0",
                       "the caption with the version")

        # Drive page: the disc is listed; it is chosen and Next leads to the target page.
        drives = atspi.wait_find(app, "Drives")
        next_button = atspi.wait_find(app, "Next", "push button")

        def our_entry():
            return next((c for c in atspi.find(app, "Drives") if c.name.startswith(mnt + " : ")),
                        None)

        entry = atspi.wait_for(our_entry, "the disc's entry")
        assert "iso9660" in entry.name, entry.name
        atspi.wait_for(lambda: atspi.is_enabled(next_button), "Next enabled")
        shot("1-drive-page.png", main_window)
        def source_panel_of_our_disc():
            source = atspi.wait_for(lambda: panel_values(app, "Source drive").get("Drive Type")
                                    == "CD-ROM" and panel_values(app, "Source drive"),
                                    "the source panel")
            return source if source["Disk Label"].startswith(mnt) else None

        edit, source = atspi.choose_drive(app, our_entry, next_button, source_panel_of_our_disc,
                                          "the disc's entry")
        assert source["Disk Label"].startswith(mnt), source
        assert source["Disk Size"] != "N/A" and source["Free space"] != "N/A", source
        atspi.set_text(edit, mnt + "/restored")
        atspi.wait_find(app, "Warning:\n  -  the target drive cannot be the same as the "
                             "source drive")
        target = panel_values(app, "Target Drive")
        assert target["Drive Type"] == "CD-ROM" and target["Disk Label"].startswith(mnt), target
        atspi.wait_for(lambda: not atspi.is_enabled(next_button), "Next disabled")
        shot("2-target-on-the-disc.png", main_window)

        restore = os.path.join(work, "restored", "family")
        atspi.set_text(edit, restore)
        atspi.wait_for(lambda: atspi.is_enabled(next_button), "Next enabled for the target")
        target = panel_values(app, "Target Drive")
        assert target["Drive Type"] not in ("N/A", "CD-ROM"), target
        assert target["Disk Size"] != "N/A" and target["Free space"] != "N/A", target
        shot("3-target-page.png", main_window)

        # F1 opens the target page's topic in the help window.
        pyatspi.Registry.generateKeyboardEvent(0xFFBE, None, pyatspi.KEY_SYM)
        help_window = atspi.wait_for(
            lambda: next((w for w in app if w.name.startswith("Velmora Free Help - Choosing "
                                                                "the target folder")), None),
            "the help window at the target page's topic")
        shot("6-help.png", help_window)
        atspi.press(atspi.wait_find(help_window, "Close", "push button"))
        atspi.wait_for(lambda: not any(w.name.startswith("Velmora Free Help") and
                                       w.getState().contains(pyatspi.STATE_SHOWING)
                                       for w in app), "the help window to close")

        # Next creates the folder and leads on to the file page.
        atspi.press(next_button)
        atspi.wait_find(app, "Check All", "push button")
        assert os.path.isdir(restore), "the target folder was not created"
        save = atspi.wait_find(app, "Save", "push button")
        shot("4-file-page.png", main_window)

        # Back to the drive page; the disc goes away.
        back = atspi.wait_find(app, "Back", "push button")
        atspi.press(back)
        atspi.wait_find(app, "Target directory", "text")
        atspi.press(back)
        atspi.wait_find(app, "Drives")
        subprocess.run(["fusermount3", "-u", mnt], check=True)
        fs.wait(timeout=20)
        if mounted_optical(mnt):
            # Another test's disc is mounted meanwhile: ours must be gone from the list.
            atspi.wait_for(lambda: not any(c.name.startswith(mnt + " : ")
                                           for c in atspi.find(app, "Drives")),
                           "the disc's entry to go")
        else:
            atspi.wait_find(app, "There are no CD/DVD/Blu-Ray drives for restore operation. "
                                 "You should insert CD/DVD/Blu-Ray disk into CD-ROM drive")
            atspi.wait_for(lambda: not atspi.is_enabled(next_button), "Next disabled")
        shot("5-no-drive.png", main_window)
        del save

        # The disc comes back: the drive page lists it at once and selects it.
        fs = mount_disc()
        atspi.wait_for(lambda: any(c.name.startswith(mnt + " : ")
                                   for c in atspi.find(app, "Drives")),
                       "the disc's entry to come back")
        atspi.wait_for(lambda: atspi.is_enabled(next_button), "Next enabled again")

        # Exit closes the program, which hands the closing page to the browser once.
        atspi.press(atspi.wait_find(app, "Exit", "push button"))
        status = program.wait(timeout=30)
        program = None
        assert status == 0, "VelmoraFree ended with status %d" % status
        atspi.wait_for(lambda: os.path.exists(opened), "the closing page")
        with open(opened) as f:
            pages = f.read().splitlines()
        assert len(pages) == 1 and pages[0].endswith("/like.html"), pages
        print("wizard end-to-end: passed")
    finally:
        if program is not None:
            program.kill()
            program.wait()
        if fs is not None and fs.poll() is None:
            subprocess.run(["fusermount3", "-u", "-q", mnt])
            try:
                fs.wait(timeout=10)
            except subprocess.TimeoutExpired:
                fs.kill()
        if small_volume:
            subprocess.run(["umount", disc_src])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
