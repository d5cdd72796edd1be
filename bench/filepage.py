#!/usr/bin/env python3
"""The file page's benchmark: a disc of many empty files in folders of 50,
served by velmora-faultfs as an iso9660 disc; `find MOUNT | wc -l` and
`velmora-cli scan MOUNT` (the engine's scan alone) on the mount beside the
wizard's time from Next on the target page to the shown
file tree and its peak resident memory above its size before the scan
(filepage-bench drives the real window offscreen). Prints a table."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

PER_FOLDER = 50


def make_disc(source, entries):
    """entries in all: each folder of the disc's root holds 49 files."""
    made = 0
    folder = 0
    while made < entries:
        path = os.path.join(source, "DCIM_%06d" % folder)
        os.mkdir(path)
        made += 1
        for i in range(1, PER_FOLDER):
            if made >= entries:
                break
            os.close(os.open(os.path.join(path, "IMG_%07d.JPG" % made),
                             os.O_CREAT | os.O_WRONLY, 0o644))
            made += 1
        folder += 1


def timed_find(mount):
    start = time.monotonic()
    out = subprocess.run("find '%s' | wc -l" % mount, shell=True, check=True,
                         capture_output=True, text=True).stdout
    return time.monotonic() - start, int(out)


def timed_scan(bin_dir, mount):
    """The engine's scan alone, as `velmora-cli scan` prints it."""
    start = time.monotonic()
    subprocess.run([os.path.join(bin_dir, "velmora-cli"), "scan", mount], check=True,
                   stdout=subprocess.DEVNULL)
    return time.monotonic() - start


def run_size(bin_dir, work, entries):
    source = os.path.join(work, "src-%d" % entries)
    mount = os.path.join(work, "mnt-%d" % entries)
    target = os.path.join(work, "target")
    home = os.path.join(work, "home")
    for d in (source, mount, target, home):
        os.makedirs(d, exist_ok=True)
    make_disc(source, entries)
    fs = subprocess.Popen([os.path.join(bin_dir, "velmora-faultfs"), "-f", "-o", "subtype=iso9660",
                           "-o", "fsname=velmora-bench", "-o", "auto_unmount", source, mount])
    try:
        deadline = time.monotonic() + 20
        while not os.path.ismount(mount):
            if time.monotonic() > deadline:
                raise RuntimeError("the disc did not mount")
            time.sleep(0.05)
        find_before, count = timed_find(mount)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"))
        run = subprocess.run([os.path.join(bin_dir, "filepage-bench"), mount, target], env=env,
                             capture_output=True, text=True)
        if run.returncode != 0:
            return {"entries": entries, "failed": "status %d: %s" % (run.returncode,
                                                                     run.stderr[-2000:])}
        page = json.loads(run.stdout.strip().splitlines()[-1])
        find_after, _ = timed_find(mount)
        scan_seconds = timed_scan(bin_dir, mount)
    finally:
        subprocess.run(["fusermount3", "-u", "-q", mount])
        fs.wait(timeout=30)
        shutil.rmtree(source, ignore_errors=True)
    find_seconds = max(find_before, find_after)
    grown = (page["hwm_kib"] - page["rss_before_kib"]) * 1024
    return {
        "entries": entries,
        "find_lines": count,
        "find_seconds": [round(find_before, 3), round(find_after, 3)],
        "scan_seconds": round(scan_seconds, 3),
        "page_seconds": page["seconds"],
        "page_goal_seconds": round(1.5 * find_seconds + 1, 3),
        "rss_before_mib": round(page["rss_before_kib"] / 1024, 1),
        "hwm_mib": round(page["hwm_kib"] / 1024, 1),
        "bytes_per_entry": round(grown / count, 1),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin-dir", required=True)
    parser.add_argument("--work", default=None)
    parser.add_argument("--sizes", default="100000,1000000")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="velmora-filepage-")
    memory = subprocess.run([os.path.join(args.bin_dir, "filetree-memory")], check=True,
                            capture_output=True, text=True).stdout
    print("in memory alone:", memory.strip())
    results = []
    for entries in (int(s) for s in args.sizes.split(",")):
        result = run_size(args.bin_dir, work, entries)
        print(json.dumps(result))
        sys.stdout.flush()
        results.append(result)
    print()
    print("| entries | find (before, after) | velmora-cli scan | file page | goal 1.5 x find + 1 s | "
          "size before | peak | bytes per entry |")
    print("|---|---|---|---|---|---|---|---|")
    for r in results:
        if "failed" in r:
            print("| %d | failed: %s |" % (r["entries"], r["failed"]))
            continue
        print("| %d | %.2f s, %.2f s | %.2f s | %.2f s | %.2f s | %.1f MiB | %.1f MiB | %.0f |" % (
            r["find_lines"], r["find_seconds"][0], r["find_seconds"][1], r["scan_seconds"],
            r["page_seconds"],
            r["page_goal_seconds"], r["rss_before_mib"], r["hwm_mib"], r["bytes_per_entry"]))
    return 1 if any("failed" in r for r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
