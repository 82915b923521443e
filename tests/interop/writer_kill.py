#!/usr/bin/python3
"""`varnelo-dicom comment` killed with SIGKILL while it writes a large file
over its own source. After every kill the file is either the source as it
was or the finished commented copy, and nothing else is in its folder.

usage: writer_kill.py VARNELO_DICOM [ROUNDS]
"""
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TOOL = sys.argv[1]
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 12
GEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "writer_gen.py")
ENV = dict(os.environ, LC_ALL="C")
DATE = rb"\d\d/\d\d/\d\d \d\d:\d\d:\d\d"
HEAD = 64 * 1024  # the part that holds the comment; the rest is pixel data


def digest(path, start=0):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        f.seek(start)
        while chunk := f.read(1 << 20):
            h.update(chunk)
    return h.hexdigest()


def head(path):
    with open(path, "rb") as f:
        return re.sub(DATE, b"DATE", f.read(HEAD))


def main():
    seed = int(os.environ.get("VARNELO_KILL_SEED", time.time_ns() % 1000003))
    rnd = random.Random(seed)
    print(f"seed {seed}")
    work = tempfile.mkdtemp(prefix="varnelo-writer-kill-")
    failures = []
    try:
        original = os.path.join(work, "original.dcm")
        subprocess.run(["/usr/bin/python3", GEN, original, "160"], check=True)  # about 84 MB
        size_o, sum_o = os.path.getsize(original), digest(original)

        folder = os.path.join(work, "victim")
        os.mkdir(folder)
        target = os.path.join(folder, "image.dcm")

        # The finished result, written over a copy undisturbed, and how long
        # that takes.
        shutil.copy(original, target)
        t0 = time.monotonic()
        subprocess.run([TOOL, "comment", target, target, "Killed or not"], check=True, env=ENV)
        span = time.monotonic() - t0
        size_d, head_d, rest_d = os.path.getsize(target), head(target), digest(target, HEAD)
        print(f"one write takes {span:.3f} s")

        outcomes = {"old": 0, "new": 0}
        for n in range(ROUNDS):
            shutil.copy(original, target)
            # Spread over the whole write and past it, as runs vary in length.
            delay = (n + rnd.random()) / ROUNDS * span * 2
            p = subprocess.Popen([TOOL, "comment", target, target, "Killed or not"], env=ENV)
            time.sleep(delay)
            p.send_signal(signal.SIGKILL)
            p.wait()
            left = sorted(os.listdir(folder))
            if left != ["image.dcm"]:
                failures.append(f"round {n} (after {delay:.3f} s): folder holds {left}")
            size = os.path.getsize(target)
            if size == size_o and digest(target) == sum_o:
                outcomes["old"] += 1
            elif size == size_d and head(target) == head_d and digest(target, HEAD) == rest_d:
                outcomes["new"] += 1
            else:
                failures.append(f"round {n} (after {delay:.3f} s): the file is neither the old nor the new one")
        print(f"after {ROUNDS} kills: {outcomes['old']} times the old file, {outcomes['new']} times the new one")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
