#!/usr/bin/env python3
"""Mutation fuzzing of reelmaker-cli's probe and convert.

Makes a few small sources with the ffmpeg tool (one per container), damages copies of them as
disks, downloads and copies do (bit flips, random bytes over a stretch, a cut, a copied block,
bytes of timestamps raised), and runs `reelmaker-cli probe` and `reelmaker-cli convert` on each
mutant under a time limit, a memory limit and an output-size watch. Reports crashes (a signal),
sanitizer reports, runs stopped by the watchdog, outputs larger than the source's content can
give, and the slowest runs. Not part of the default test run; see README ("Fuzzing").

    tests/fuzz/fuzz.py --cli build/reelmaker/reelmaker-cli --mutants 60
"""

import argparse
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SOURCES = [
    # name, ffmpeg output arguments
    ("clip.flv", ["-c:v", "flv", "-c:a", "libmp3lame", "-ar", "22050", "-ac", "1"]),
    ("clip.mp4", ["-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"]),
    ("clip.ts", ["-c:v", "mpeg2video", "-c:a", "mp2", "-f", "mpegts"]),
    ("clip.mkv", ["-c:v", "libvpx", "-c:a", "libvorbis"]),
    ("clip.avi", ["-c:v", "mpeg4", "-c:a", "pcm_s16le"]),
    ("clip.wmv", ["-c:v", "wmv2", "-c:a", "wmav2"]),
    ("clip.mpg", ["-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"]),
]
SECONDS = 4
# What an output of the run's size (160x120 FLV at the default profile) can hold per second of
# source, many times over: more than this is an output that grows without end.
MAX_OUTPUT_BYTES = 4_000_000


def make_sources(folder):
    made = []
    for name, args in SOURCES:
        path = os.path.join(folder, name)
        cmd = ["ffmpeg", "-nostdin", "-v", "error", "-y",
               "-f", "lavfi", "-i", f"testsrc2=s=160x120:r=25:d={SECONDS}",
               "-f", "lavfi", "-i", f"sine=d={SECONDS}"] + args + [path]
        if subprocess.run(cmd).returncode == 0:
            made.append(path)
        else:
            print(f"fuzz: could not make {name}", file=sys.stderr)
    return made


def mutate(data, rng):
    d = bytearray(data)
    n = len(d)
    kind = rng.choice(["flips", "stretch", "cut", "copy", "raise"])
    if kind == "flips":
        for _ in range(rng.randint(1, 64)):
            i = rng.randrange(n)
            d[i] ^= 1 << rng.randrange(8)
    elif kind == "stretch":
        a = rng.randrange(n)
        b = min(n, a + rng.randint(16, max(17, n // 3)))
        d[a:b] = bytes(rng.getrandbits(8) for _ in range(b - a))
    elif kind == "cut":
        d = d[: rng.randint(1, n)]
    elif kind == "copy":
        a = rng.randrange(n)
        b = min(n, a + rng.randint(16, 65536))
        at = rng.randrange(n)
        d[at:at] = d[a:b]
    else:  # high bytes set here and there: timestamps and lengths that jump by days
        for _ in range(rng.randint(1, 16)):
            i = rng.randrange(n)
            d[i] = 0xFF
    return kind, bytes(d)


def limit_memory(megabytes):
    def apply():
        os.setsid()
        if megabytes:
            resource.setrlimit(resource.RLIMIT_AS, (megabytes << 20, megabytes << 20))
    return apply


def folder_bytes(folder):
    total = 0
    for root, _, files in os.walk(folder):
        for f in files:
            try:
                total += os.path.getsize(os.path.join(root, f))
            except OSError:
                pass
    return total


def run(cmd, env, timeout, memory, watch=None):
    """Runs cmd; returns (exit code or -signal, seconds, stderr, stopped-why, largest bytes)."""
    start = time.monotonic()
    p = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         preexec_fn=limit_memory(memory))
    why, largest = "", 0
    err = b""
    while True:
        try:
            _, err = p.communicate(timeout=0.2)
            break
        except subprocess.TimeoutExpired:
            pass
        if watch:
            largest = max(largest, folder_bytes(watch))
            if largest > MAX_OUTPUT_BYTES:
                why = "output grows"
        if time.monotonic() - start > timeout:
            why = "time limit"
        if why:
            os.killpg(p.pid, signal.SIGKILL)
            _, err = p.communicate()
            break
    if watch:
        largest = max(largest, folder_bytes(watch))
    return p.returncode, time.monotonic() - start, err.decode(errors="replace"), why, largest


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default="build/reelmaker/reelmaker-cli")
    ap.add_argument("--mutants", type=int, default=60, help="mutants per source")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--timeout", type=float, default=120, help="seconds a run may take")
    ap.add_argument("--memory", type=int, default=0,
                    help="address-space limit in MB (0: none; leave 0 under AddressSanitizer)")
    ap.add_argument("--keep", help="folder to keep the mutants that failed a check in")
    args = ap.parse_args()

    cli = os.path.abspath(args.cli)
    work = tempfile.mkdtemp(prefix="rm-fuzz-")
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"),
               ASAN_OPTIONS="detect_leaks=0:abort_on_error=0", UBSAN_OPTIONS="print_stacktrace=1")
    rng = random.Random(args.seed)
    sources = make_sources(work)
    counts, problems = {}, []
    slowest = (0.0, "")
    total = 0
    try:
        for src in sources:
            data = open(src, "rb").read()
            for i in range(args.mutants):
                kind, mutant = mutate(data, rng)
                base, ext = os.path.splitext(os.path.basename(src))
                path = os.path.join(work, f"{base}-{i:03d}-{kind}{ext}")
                with open(path, "wb") as f:
                    f.write(mutant)
                out = os.path.join(work, "out")
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                checks = [
                    ("probe", [cli, "probe", path], None),
                    ("convert", [cli, "convert", "--output", out, "--size", "160x120", "--no-swf", "--no-html",
                                 path], out),
                ]
                for what, cmd, watch in checks:
                    total += 1
                    code, secs, err, why, largest = run(cmd, env, args.timeout, args.memory, watch)
                    counts[(what, code)] = counts.get((what, code), 0) + 1
                    if secs > slowest[0]:
                        slowest = (secs, f"{what} {os.path.basename(path)}")
                    bad = []
                    if why:
                        bad.append(why)
                    if code is not None and code < 0:
                        bad.append(f"signal {-code}")
                    if "AddressSanitizer" in err or "runtime error:" in err or "LeakSanitizer" in err:
                        bad.append("sanitizer report")
                    if largest > MAX_OUTPUT_BYTES:
                        bad.append(f"output of {largest} bytes")
                    if bad:
                        problems.append((os.path.basename(path), what, ", ".join(bad), err[-2000:]))
                        if args.keep:
                            os.makedirs(args.keep, exist_ok=True)
                            shutil.copy(path, args.keep)
                os.remove(path)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"fuzz: {len(sources)} sources x {args.mutants} mutants, {total} runs")
    for (what, code), n in sorted(counts.items(), key=lambda kv: (kv[0][0], kv[0][1] if kv[0][1] is not None else -99)):
        print(f"  {what:8s} exit {code}: {n}")
    print(f"  slowest run: {slowest[0]:.1f} s ({slowest[1]})")
    print(f"  problems: {len(problems)}")
    for name, what, why, err in problems:
        print(f"  - {what} {name}: {why}")
        if err.strip():
            print("    " + err.strip().replace("\n", "\n    ")[-1500:])
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
