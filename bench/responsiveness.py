#!/usr/bin/env python3
"""The wizard's responsiveness on a disc whose failed reads take seconds, as
a real drive retrying a bad sector does, measured through the accessibility
tree on Xvfb (run inside tests/e2e/xsession.sh; bench/responsiveness.sh does).

1. Latency: during a save of the sample disc's Music folder, every 50 ms the
   progress window's labels, its Cancel button's name and states, the restore
   log's text and the wizard's Exit button's states are read; each query is
   timed. Prints the maximum and the median (goal: maximum <= 0.2 s).
2. Close: TRIES times, the wizard is started, Music and Photos are saved and
   the main window is closed as a user closes it (WM_DELETE_WINDOW, what a
   window manager sends for the close control) at a random moment 0.5-4.5 s
   after Save. Each time the run must have been cancelled (the error log says
   the interrupted file "is canceled.", that file is not complete, nothing
   after it was written) and the program must have ended. Prints
   "N of N cancelled"."""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

import pyatspi

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e")
sys.path.insert(0, E2E)
import atspi  # noqa: E402
import recovery_steps  # noqa: E402
import xclose  # noqa: E402


def mount(bin_dir, sample, mnt, read_delay_us, fail_delay_s):
    os.makedirs(mnt)
    subprocess.run([os.path.join(bin_dir, "velmora-faultfs"), "--image",
                    os.path.join(sample, "sample.iso"), "--faults", os.path.join(sample, "faults"),
                    "--read-delay-us", str(read_delay_us),
                    "--fail-delay-us", str(int(fail_delay_s * 1e6)), "-o", "subtype=iso9660",
                    "-o", "fsname=velmora-sample-disc", os.path.join(sample, "files"), mnt],
                   check=True)
    atspi.wait_for(lambda: atspi.is_mounted(mnt), "the sample disc to be mounted")


def start_wizard(bin_dir, work):
    env = recovery_steps.private_env(work)
    with open(os.path.join(work, "wizard.txt"), "w") as said:
        proc = subprocess.Popen([os.path.join(bin_dir, "VelmoraFree")], env=env, stdout=said,
                                stderr=subprocess.STDOUT, start_new_session=True)
    app = atspi.wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0)
                                       if a is not None and a.name == "VelmoraFree" and
                                       a.get_process_id() == proc.pid), None),
                         "the wizard's application", seconds=60)
    atspi.wait_for(lambda: app.getChildAtIndex(0), "the main window")
    return proc, app, env


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def timed(latencies, call, what="", since=0.0):
    start = time.monotonic()
    try:
        result = call()
    except Exception as e:
        raise AssertionError("a query failed after %.3f s: %s" % (time.monotonic() - start, e))
    latencies.append(time.monotonic() - start)
    if latencies[-1] > 0.2:
        print("  slow query: %s took %.3f s, %.1f s after Save" % (
            what, latencies[-1], start - since), flush=True)
    return result


def latency(args, mnt):
    work = tempfile.mkdtemp(prefix="latency-", dir=args.work)
    proc, app, _ = start_wizard(args.bin_dir, work)
    try:
        progress, pressed = recovery_steps.start_save(app, mnt, os.path.join(work, "restored"),
                                                      ("Music",))
        labels = atspi.find_all(progress, lambda x: x.getRoleName() == "label")
        cancel = atspi.find(progress, "Cancel", "push button")
        log = atspi.wait_find(app, "Restore log", "text")
        exit_button = atspi.wait_find(app, "Exit", "push button")
        latencies = []
        while True:
            for label in labels:
                timed(latencies, lambda: label.name, "a label's name", pressed)
            timed(latencies, lambda: cancel.name, "Cancel's name", pressed)
            timed(latencies, lambda: cancel.getState().contains(pyatspi.STATE_ENABLED),
                  "Cancel's states", pressed)
            timed(latencies, lambda: atspi.text_of(log), "the restore log's text", pressed)
            if timed(latencies, lambda: atspi.is_enabled(exit_button), "Exit's states", pressed):
                break
            time.sleep(0.05)
        took = time.monotonic() - pressed
        atspi.press(exit_button)
        proc.wait(timeout=30)
        return latencies, took
    finally:
        stop(proc)


def originals_by_name(sample):
    files = os.path.join(sample, "files")
    return {f: os.path.relpath(os.path.join(d, f), files)
            for d, _, fs in os.walk(files) for f in fs}


def close_try(args, mnt, names, index):
    """One close at a random moment of a save; returns (cancelled, what)."""
    work = tempfile.mkdtemp(prefix="close-%02d-" % index, dir=args.work)
    target = os.path.join(work, "restored")
    proc, app, env = start_wizard(args.bin_dir, work)
    try:
        title = app.getChildAtIndex(0).name
        _, pressed = recovery_steps.start_save(app, mnt, target, ("Music", "Photos"))
        at = random.uniform(0.5, 4.5)
        time.sleep(max(0.0, pressed + at - time.monotonic()))
        if xclose.close_window(proc.pid, title) == 0:
            return False, "no main window to close at %.2f s" % at
        closed = time.monotonic()
        try:
            status = proc.wait(timeout=args.fail_delay_s + 20)
        except subprocess.TimeoutExpired:
            return False, "still running %.0f s after the close at %.2f s" % (
                time.monotonic() - closed, at)
        ended = time.monotonic() - closed
        lines = recovery_steps.error_log(env)
        cancelled = [line for line in lines if line.endswith("is canceled.")]
        if status != 0 or len(cancelled) != 1:
            return False, "close at %.2f s: status %d, error log %r" % (at, status, lines)
        name = cancelled[0].split('"')[1]
        relative = names[name]
        original = os.path.join(args.sample, "files", relative)
        written = os.path.join(target, relative)
        if os.path.exists(written) and \
                os.path.getsize(written) >= os.path.getsize(original):
            return False, "close at %.2f s: %s was cancelled but is complete" % (at, relative)
        order = ["Music/track01.wav", "Photos/Holiday 2009/beach.raw",
                 "Photos/Holiday 2009/mountains.raw"]
        later = [r for r in order[order.index(relative) + 1:]
                 if os.path.exists(os.path.join(target, r))]
        if later:
            return False, "close at %.2f s: written after the cancel: %s" % (at, later)
        return True, "close at %.2f s: %s canceled, ended %.1f s after the close" % (
            at, relative, ended)
    finally:
        stop(proc)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin-dir", required=True)
    ap.add_argument("--sample", required=True, help="the folder scripts/sample-disc.sh made")
    ap.add_argument("--work", required=True, help="an empty folder for mounts and homes")
    ap.add_argument("--fail-delay-s", type=float, default=8.0)
    ap.add_argument("--read-delay-us", type=int, default=100000,
                    help="each read request's wait: the good part takes a while too")
    ap.add_argument("--tries", type=int, default=30)
    ap.add_argument("--seed", type=int, default=2048)
    ap.add_argument("--skip-latency", action="store_true")
    args = ap.parse_args()
    random.seed(args.seed)
    mnt = os.path.join(args.work, "disc")
    mount(args.bin_dir, args.sample, mnt, args.read_delay_us, args.fail_delay_s)
    failed = False
    try:
        print("failed reads of %.1f s, every read request %.3f s; load average %s" % (
            args.fail_delay_s, args.read_delay_us / 1e6, " ".join(
                open("/proc/loadavg").read().split()[:3])), flush=True)
        if not args.skip_latency:
            latencies, took = latency(args, mnt)
            print("latency: %d queries over a save of %.1f s: maximum %.3f s, median %.4f s "
                  "(goal: maximum <= 0.2 s)" % (len(latencies), took, max(latencies),
                                               statistics.median(latencies)), flush=True)
            failed = max(latencies) > 0.2
        names = originals_by_name(args.sample)
        done = 0
        for i in range(args.tries):
            ok, what = close_try(args, mnt, names, i)
            done += ok
            print("close %2d: %s%s" % (i + 1, "" if ok else "NOT CANCELLED: ", what), flush=True)
        print("%d of %d cancelled" % (done, args.tries))
        failed = failed or done != args.tries
    finally:
        subprocess.run(["fusermount3", "-u", "-q", mnt])
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
