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
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi  # noqa: E402
import recovery_steps  # noqa: E402

SECTOR = 2048


def with_zeros(data, sectors):
    data = bytearray(data)
    for s in sectors:
        data[s * SECTOR:(s + 1) * SECTOR] = bytes(SECTOR)
    return bytes(data)


def name_field(name):
    shown = name if len(name) <= 50 else name[:23] + "..." + name[-23:]
    return shown.ljust(50) + " : "


def whole_recovery(app, mnt, restore, repo, opened, shot):
    """Music and Photos saved: the restore log's lines, the files equal to
    the originals with zeros in the bad sectors, the target folder opened.
    Returns the log page's Exit button."""
    main_window = app.getChildAtIndex(0)
    progress, _ = recovery_steps.start_save(app, mnt, restore, ("Music", "Photos"), shot)
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
    return exit_button


def slow_disc(app, mnt, restore, env, fail_delay, shot):
    """A disc whose failed reads take fail_delay seconds each: while the
    copier waits in one, the progress window answers every accessibility
    query within a second, and Cancel pressed through the accessibility tree
    shows that it was heard at once and ends the run at the copier's next
    event: the restore log and the error log say "canceled". Returns the log
    page's Exit button."""
    progress, pressed = recovery_steps.start_save(app, mnt, restore, ("Music", "Photos"))
    # The first bad sector of track01.wav lies 1 MB in: after this the copier
    # is inside a failed read for the rest of the probing.
    time.sleep(max(0.0, pressed + 1.0 - time.monotonic()))
    latencies = []
    while time.monotonic() < pressed + 1.0 + fail_delay:
        took, name = recovery_steps.probe_progress(progress)
        latencies.append(took)
        assert name == "Cancel", "the button says %r before Cancel" % name
        time.sleep(0.05)
    print("slow disc: %d queries while a read blocked, the longest took %.3f s"
          % (len(latencies), max(latencies)))
    assert max(latencies) <= 1.0, "a query took %.3f s while a read blocked" % max(latencies)

    cancel = atspi.find(progress, "Cancel", "push button")
    atspi.press(cancel)
    cancelled = time.monotonic()
    atspi.wait_for(lambda: recovery_steps.probe_progress(progress)[1] == "Cancelling\u2026",
                   "the Cancel button to show that it was heard", seconds=1)
    shot("8-progress-cancelling.png", progress)
    log = atspi.wait_find(app, "Restore log", "text")
    exit_button = atspi.wait_find(app, "Exit", "push button")
    atspi.wait_for(lambda: atspi.is_enabled(exit_button), "the run to end",
                   seconds=fail_delay + 10)
    took = time.monotonic() - cancelled
    print("slow disc: the run ended %.1f s after Cancel" % took)
    assert took <= fail_delay + 2, "the cancelled run went on for %.1f s" % took
    assert atspi.text_of(log).splitlines() == [name_field("Music/track01.wav") + "canceled"], \
        atspi.text_of(log)
    assert 'File "track01.wav" is canceled.' in recovery_steps.error_log(env), \
        recovery_steps.error_log(env)
    assert not os.path.exists(os.path.join(restore, "Photos")), "Photos was saved after Cancel"
    shot("9-log-page-cancelled.png", app.getChildAtIndex(0))
    return exit_button


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--run-command", required=True)
    ap.add_argument("--shots", help="folder for screenshots of each step")
    ap.add_argument("--fail-delay-s", type=float,
                    help="each failed read takes this long; the save is cancelled during one")
    args = ap.parse_args()
    shot = atspi.shooter(args.shots)

    repo = os.path.dirname(os.path.abspath(args.run_command))
    work = tempfile.mkdtemp(prefix="velmora-recovery-e2e-")
    said = os.path.join(work, "run.txt")
    opened = os.path.join(work, "opened.txt")
    restore = os.path.join(work, "restored")
    env = recovery_steps.private_env(
        work, VELMORA_SAMPLE_DELAY_US="15000",
        VELMORA_SAMPLE_FAIL_DELAY_US=str(int((args.fail_delay_s or 0) * 1e6)))
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
        atspi.wait_for(lambda: app.getChildAtIndex(0), "the main window")

        if args.fail_delay_s:
            exit_button = slow_disc(app, mnt, restore, env, args.fail_delay_s, shot)
        else:
            exit_button = whole_recovery(app, mnt, restore, repo, opened, shot)

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
