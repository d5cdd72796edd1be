#!/usr/bin/env python3
"""Times the copier (velmora-cli copy) against dd and GNU ddrescue on a file
read through velmora-faultfs, a FUSE "disc" that waits per read request like
an optical drive and fails chosen sectors with EIO.

Run through bench/run.sh, which builds the programs and installs the tools.
Every tool run gets its own fresh mount, so the mount's stats file counts the
read attempts of that tool alone.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

SECTOR = 2048
MIB = 1024 * 1024
FILE_NAME = "data.bin"


# --- the tools --------------------------------------------------------------

def tool_commands(bin_dir):
    """(name, builder) pairs; a builder takes (source, target, scratch folder)
    and returns the command line."""
    cli = os.path.join(bin_dir, "velmora-cli")
    return [
        ("copier", lambda s, t, w: [cli, "copy", s, t]),
        # noerror: go on past a failed read (GNU dd then seeks the input one
        # block on); sync: write the failed block as a block of zeros, so the
        # output keeps every later byte at its offset. Both block sizes divide
        # the file size, so sync never pads a real short read at the end.
        ("dd bs=2048", lambda s, t, w: ["dd", "if=" + s, "of=" + t, "iflag=direct", "bs=2048",
                                        "conv=noerror,sync"]),
        ("dd bs=64K", lambda s, t, w: ["dd", "if=" + s, "of=" + t, "iflag=direct", "bs=64K",
                                       "conv=noerror,sync"]),
        # Default passes: copying (clusters of 64 KiB, skipping ahead
        # after an error), trimming, scraping; no retry passes (-r0).
        ("ddrescue", lambda s, t, w: ["ddrescue", "-d", "-b2048", "-q", s, t,
                                      os.path.join(w, "ddrescue.map")]),
    ]


# --- the damaged disc -------------------------------------------------------

class FaultDisc:
    """velmora-faultfs over `source`, in the foreground as our own child, so
    that it is unmounted and reaped by its pid."""

    def __init__(self, faultfs, source, mount, faults, stats, read_delay, fail_delay):
        os.makedirs(mount, exist_ok=True)
        self.mount = mount
        cmd = [faultfs, "-f", "--stats", stats, "--read-delay-us", str(read_delay),
               "--fail-delay-us", str(fail_delay)]
        if faults:
            cmd += ["--faults", faults]
        cmd += [source, mount, "-o", "subtype=iso9660", "-o", "auto_unmount"]
        self.proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.ismount(mount):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise RuntimeError("velmora-faultfs did not mount " + mount)
            time.sleep(0.02)

    def close(self):
        if os.path.ismount(self.mount):
            subprocess.run(["fusermount3", "-u", self.mount], check=False)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def read_stats(path):
    """([attempts per bad range], read requests) from a --stats file."""
    attempts, reads = [], 0
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts and parts[0] == "range":
                attempts.append(int(parts[-2]))
            elif parts and parts[0] == "reads":
                reads = int(parts[1])
    return attempts, reads


# --- data -------------------------------------------------------------------

def make_source(path, size, seed):
    rng = random.Random(seed)
    with open(path, "wb") as f:
        left = size
        while left:
            n = min(left, 4 * MIB)
            f.write(rng.randbytes(n))
            left -= n


def pick_bad_sectors(sectors, count, seed):
    """One sector at random in each of `count` equal stretches of the file:
    scattered, and evenly so."""
    rng = random.Random(seed + 1)
    bad = []
    for i in range(count):
        lo = i * sectors // count
        hi = (i + 1) * sectors // count
        bad.append(rng.randrange(lo, hi))
    return sorted(set(bad))


def compare(original, output, bad):
    """Sector by sector: (good bytes recovered, good bytes lost, bad sectors
    that are zeros, output size). Bytes missing from a short output are lost."""
    bad_set = set(bad)
    recovered = lost = zeroed = 0
    zero = bytes(SECTOR)
    out_size = os.path.getsize(output)
    with open(original, "rb") as a, open(output, "rb") as b:
        index = 0
        while True:
            chunk_a = a.read(MIB)
            if not chunk_a:
                break
            chunk_b = b.read(MIB)
            for off in range(0, len(chunk_a), SECTOR):
                sa = chunk_a[off:off + SECTOR]
                sb = chunk_b[off:off + SECTOR]
                if index in bad_set:
                    zeroed += sb == zero[:len(sa)]
                elif sa == sb:
                    recovered += len(sa)
                else:
                    lost += len(sa)
                index += 1
    return recovered, lost, zeroed, out_size


# --- one run ----------------------------------------------------------------

def run_tool(args, work, name, build, faults, bad):
    mount = os.path.join(work, "mnt")
    stats = os.path.join(work, "stats.txt")
    target = os.path.join(work, "out.bin")
    for p in (stats, target, os.path.join(work, "ddrescue.map")):
        if os.path.exists(p):
            os.remove(p)
    with FaultDisc(args.faultfs, os.path.join(work, "src"), mount, faults, stats,
                   args.read_delay_us, args.fail_delay_us):
        cmd = build(os.path.join(mount, FILE_NAME), target, work)
        with open(os.path.join(work, "tool.log"), "wb") as log:
            start = time.monotonic()
            rc = subprocess.run(cmd, stdout=log, stderr=subprocess.STDOUT).returncode
            wall = time.monotonic() - start
    attempts, reads = read_stats(stats)
    result = {"tool": name, "wall": wall, "rc": rc, "reads": reads, "attempts": attempts}
    result.update(zip(("recovered", "lost", "zeroed", "out_size"),
                      compare(os.path.join(work, "src", FILE_NAME), target, bad)))
    os.remove(target)
    return result


# --- output -----------------------------------------------------------------

def goals(size, bad, results):
    """The copier's goals, checked against this run: on a healthy file at
    least 0.8 times ddrescue's throughput; on a damaged one exactly three
    attempts per bad sector and every good byte recovered."""
    copier = next((r for r in results if r["tool"] == "copier"), None)
    ddrescue = next((r for r in results if r["tool"] == "ddrescue"), None)
    if not copier:
        return []
    lines = []
    if ddrescue:
        ratio = ddrescue["wall"] / copier["wall"]
        verdict = "met" if ratio >= 0.8 or bad else "NOT met"
        lines.append(f"copier throughput {ratio:.2f} x ddrescue's"
                     + ("" if bad else f" (goal >= 0.80: {verdict})"))
    if bad:
        a = copier["attempts"]
        exact = bool(a) and min(a) == max(a) == 3
        whole = copier["lost"] == 0 and copier["zeroed"] == len(bad)
        lines.append(f"copier attempts per bad sector {min(a)}..{max(a)} (goal exactly 3: "
                     f"{'met' if exact else 'NOT met'}); good bytes lost {copier['lost']}, "
                     f"bad sectors zeroed {copier['zeroed']}/{len(bad)} "
                     f"(goal every good byte: {'met' if whole else 'NOT met'})")
    return lines


def print_table(case, size, bad, results):
    base = next((r for r in results if r["tool"] == "copier"), None)
    good_bytes = size - len(bad) * SECTOR
    print()
    print(f"Case {case}")
    head = (f"{'tool':<11} {'wall s':>8} {'MiB/s':>7} {'time/copier':>11} {'MiB/s/copier':>12} "
            f"{'requests':>8} {'KiB/req':>7} {'ms/req':>6} {'exit':>4}")
    if bad:
        head += (f" {'attempts/bad mean min max':>25} {'good bytes recovered':>21} "
                 f"{'lost bytes':>10} {'bad zeroed':>10}")
    else:
        head += f" {'identical':>9}"
    print(head)
    for r in results:
        mibs = size / MIB / r["wall"]
        line = f"{r['tool']:<11} {r['wall']:>8.2f} {mibs:>7.2f} "
        if base:
            line += f"{r['wall'] / base['wall']:>11.2f} {mibs / (size / MIB / base['wall']):>12.2f} "
        else:
            line += f"{'-':>11} {'-':>12} "
        per = 1000 * r["wall"] / r["reads"] if r["reads"] else 0
        kib = size / 1024 / r["reads"] if r["reads"] else 0
        line += f"{r['reads']:>8} {kib:>7.1f} {per:>6.3f} {r['rc']:>4}"
        if bad:
            a = r["attempts"]
            att = f"{sum(a) / len(a):.2f} {min(a)} {max(a)}"
            line += (f" {att:>25} {r['recovered']:>12}/{good_bytes:<8} {r['lost']:>10} "
                     f"{r['zeroed']:>5}/{len(bad):<4}")
        else:
            same = r["lost"] == 0 and r["out_size"] == size
            line += f" {'yes' if same else 'NO':>9}"
        print(line)
    for line in goals(size, bad, results):
        print("  " + line)
    sys.stdout.flush()


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--bin-dir", required=True, help="folder with velmora-cli and velmora-faultfs")
    p.add_argument("--size-mib", type=int, default=int(os.environ.get("BENCH_SIZE_MIB", 256)))
    p.add_argument("--bad", type=int, default=int(os.environ.get("BENCH_BAD", 50)))
    p.add_argument("--read-delay-us", type=int,
                   default=int(os.environ.get("BENCH_READ_DELAY_US", 300)))
    p.add_argument("--fail-delay-us", type=int,
                   default=int(os.environ.get("BENCH_FAIL_DELAY_US", 50000)))
    p.add_argument("--seed", type=int, default=int(os.environ.get("BENCH_SEED", 2048)))
    p.add_argument("--tools", default=os.environ.get("BENCH_TOOLS", ""),
                   help="comma-separated subset: copier,dd2048,dd64k,ddrescue")
    p.add_argument("--cases", default=os.environ.get("BENCH_CASES", "healthy,damaged"))
    p.add_argument("--work", help="an empty scratch folder (default: a new temporary one)")
    args = p.parse_args()
    args.faultfs = os.path.join(args.bin_dir, "velmora-faultfs")

    size = args.size_mib * MIB
    sectors = size // SECTOR
    if args.size_mib < 1 or not 0 <= args.bad <= sectors:
        p.error("need --size-mib >= 1 and 0 <= --bad <= sectors")
    tools = tool_commands(args.bin_dir)
    if args.tools:
        wanted = {t.strip().lower() for t in args.tools.split(",")}
        tools = [t for t in tools if re.sub(r"[ =]|bs", "", t[0]).lower() in wanted]
        if not tools:
            p.error("--tools names none of copier,dd2048,dd64k,ddrescue")

    work = args.work or tempfile.mkdtemp(prefix="velmora-bench-")
    total_start = time.monotonic()
    try:
        os.makedirs(os.path.join(work, "src"))
        source = os.path.join(work, "src", FILE_NAME)
        make_source(source, size, args.seed)
        bad = pick_bad_sectors(sectors, args.bad, args.seed)
        faults = os.path.join(work, "faults.txt")
        with open(faults, "w") as f:
            for s in bad:
                f.write(f"bad /{FILE_NAME} {s}s {s + 1}s\n")

        print(f"Velmora copier benchmark: {args.size_mib} MiB file, {len(bad)} bad sectors, "
              f"{args.read_delay_us} us per read request, {args.fail_delay_us} us per failed one")
        print(f"{os.cpu_count()} CPUs, load average at start {load()}; data in {work}")
        sys.stdout.flush()
        cases = [c.strip() for c in args.cases.split(",")]
        for case in cases:
            damaged = case == "damaged"
            case_bad = bad if damaged else []
            results = []
            for name, build in tools:
                # Healthy case: no fault list; the stats file still counts requests.
                results.append(run_tool(args, work, name, build, faults if damaged else None,
                                        case_bad))
            print_table(f"({'b' if damaged else 'a'}) {case}: {args.size_mib} MiB"
                        + (f", {len(bad)} bad sectors" if damaged else ""), size, case_bad,
                        results)
        print()
        print(f"Total {time.monotonic() - total_start:.0f} s; load average at end {load()}")
    finally:
        mount = os.path.join(work, "mnt")
        if os.path.ismount(mount):
            subprocess.run(["fusermount3", "-u", mount], check=False)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
