"""A whole recovery as a new user does it, through the accessibility tree:
the run command (run.sh, by its own path) mounts the sample damaged disc
and starts the wizard; the disc is picked, a target folder typed, two
folders ticked with Space, Save pressed; the progress window shows; the
restore log lists each file with its damage note; the target files equal
the sample's originals with zeros exactly in the bad sectors; the file
manager is asked to open the target folder; Exit ends the program and the
run command unmounts the disc. Run inside xsession.sh:

  xsession.sh python3 recovery_e2e.py --run-command ./run.sh [--shots DIR]
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi  # noqa: E402

SECTOR = 2048


def with_zeros(data, sectors):
    data = bytearray(data)
    for s in sectors:
        data[s * SECTOR:(s + 1) * SECTOR] = bytes(SECTOR)
    return bytes(data)


def name_field(name):
    shown = name if len(name) <= 50 else name[:23] + "..." + name[-23:]
    return shown.ljust(50) + " : "


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--run-command", required=True)
    ap.add_argument("--shots", help="folder for screenshots of each step")
    args = ap.parse_args()
    shot = atspi.shooter(args.shots)

    repo = os.path.dirname(os.path.abspath(args.run_command))
    work = tempfile.mkdtemp(prefix="velmora-recovery-e2e-")
    home = os.path.join(work, "home")
    fakebin = os.path.join(work, "fakebin")
    opened = os.path.join(work, "opened.txt")
    said = os.path.join(work, "run.txt")
    restore = os.path.join(work, "restored")
    for d in (home, fakebin):
        os.makedirs(d)
    # The desktop's opener: writes down each folder or page it is asked to open.
    with open(os.path.join(fakebin, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\n' % opened)
    os.chmod(os.path.join(fakebin, "xdg-open"), 0o755)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
               XDG_RUNTIME_DIR=work, VELMORA_SAMPLE_DELAY_US="15000",
               PATH=fakebin + ":" + os.environ.get("PATH", ""))
    run = None
    mnt = None
    try:
        out = open(said, "w")
        run = subprocess.Popen(["bash", args.run_command], env=env, stdout=out,
                               stderr=subprocess.STDOUT, start_new_session=True)

        def mount_point():
            with open(said) as f:
                m = re.search(r"mounted the sample damaged disc .* at (\S+);", f.read(), re.S)
            return m and m.group(1)

        mnt = atspi.wait_for(mount_point, "run.sh to mount the sample disc", seconds=600)
        assert atspi.is_mounted(mnt), mnt
        app = atspi.application("VelmoraFree", seconds=60)
        main_window = atspi.wait_for(lambda: app.getChildAtIndex(0), "the main window")

        # Drive page: our disc, then the target page.
        next_button = atspi.wait_find(app, "Next", "push button")

        def our_entry():
            return next((c for c in atspi.find(app, "Drives") if c.name.startswith(mnt + " : ")),
                        None)

        def shows_our_disc():
            source = atspi.wait_find(app, "Source drive")
            return any(x.name.startswith(mnt) for x in atspi.find_all(source, lambda x: x.name))

        edit, _ = atspi.choose_drive(app, our_entry, next_button, shows_our_disc,
                                     "the sample disc's entry")
        atspi.set_text(edit, restore)
        atspi.wait_for(lambda: atspi.is_enabled(next_button), "Next enabled for the target")
        atspi.press(next_button)

        # File page: tick Music and Photos with Space, as a keyboard user does.
        files = atspi.wait_find(app, "Files")
        save = atspi.wait_find(app, "Save", "push button")
        for folder in ("Music", "Photos"):
            item = atspi.wait_find(files, folder)
            atspi.click(item)
            atspi.wait_for(lambda: atspi.find(files, folder).getState().contains(
                pyatspi.STATE_SELECTED), folder + " selected")
            pyatspi.Registry.generateKeyboardEvent(0x20, None, pyatspi.KEY_SYM)
            atspi.wait_for(lambda: atspi.find(files, folder).getState().contains(
                pyatspi.STATE_CHECKED), folder + " ticked")
        atspi.wait_for(lambda: atspi.is_enabled(save), "Save enabled")
        shot("7-file-page-ticked.png", main_window)

        # Save: the progress window floats above the wizard while files are copied.
        atspi.press(save)
        progress = atspi.wait_for(
            lambda: next((w for w in app if w.name == "Saving files" and
                          w.getState().contains(pyatspi.STATE_SHOWING)), None),
            "the progress window")
        shot("8-progress.png", progress)
        del progress
        log = atspi.wait_find(app, "Restore log", "text")
        originals = os.path.join(repo, "build", "sample-disc", "files")
        expected = [
            ("Music/track01.wav", [500, 900, 901]),
            ("Photos/Holiday 2009/beach.raw", [100, 101, 102]),
            ("Photos/Holiday 2009/mountains.raw", []),
        ]
        lines = [name_field(n) + "saved" +
                 (" (%d unreadable sectors filled with zeros)" % len(bad) if bad else "")
                 for n, bad in expected]
        atspi.wait_for(lambda: atspi.text_of(log).splitlines() == lines,
                       "the restore log's lines", seconds=120)
        exit_button = atspi.wait_find(app, "Exit", "push button")
        atspi.wait_for(lambda: atspi.is_enabled(exit_button), "the run to end")
        shot("9-log-page.png", main_window)
        for name, bad in expected:
            with open(os.path.join(originals, name), "rb") as f:
                want = with_zeros(f.read(), bad)
            with open(os.path.join(restore, name), "rb") as f:
                got = f.read()
            assert got == want, "%s differs from the sample's original" % name
        assert not os.path.exists(os.path.join(restore, "Documents")), "Documents was not ticked"
        atspi.wait_for(lambda: os.path.exists(opened), "the target folder to be opened")
        with open(opened) as f:
            assert f.read().splitlines()[0] == restore

        # Exit: the program ends and the run command unmounts the disc.
        atspi.press(exit_button)
        status = run.wait(timeout=60)
        run = None
        assert status == 0, "run.sh ended with status %d" % status
        assert not atspi.is_mounted(mnt), "the sample disc is still mounted"
        print("recovery end-to-end: passed")
    finally:
        if run is not None:
            os.killpg(run.pid, 15)  # run.sh's trap unmounts the disc
            try:
                run.wait(timeout=30)
            except subprocess.TimeoutExpired:
                os.killpg(run.pid, 9)
        if mnt and atspi.is_mounted(mnt):
            subprocess.run(["fusermount3", "-u", "-q", mnt])
        with open(said) as f:
            sys.stdout.write(f.read())
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
