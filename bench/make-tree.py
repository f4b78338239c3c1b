#!/usr/bin/env python3
"""Makes the bench data sets.

  make-tree.py small DIR   50,000 files of 1 to 16 KB in about 2,000 folders
  make-tree.py photos DIR  a photo card: DCIM/1xxCANON folders of 3 to 12 MB files (about 3 GB)
  make-tree.py big DIR     two 1 GB files
  make-tree.py walk DIR    200,000 empty files in 8,000 folders (for the walk)
"""
import os
import random
import sys


def write(path, size, rng):
    with open(path, "wb") as f:
        remaining = size
        block = rng.randbytes(1 << 20) if size > (1 << 20) else None
        while remaining > 0:
            n = min(remaining, 1 << 20)
            f.write(block[:n] if block else rng.randbytes(n))
            remaining -= n


def small(root, rng):
    for d in range(2000):
        folder = os.path.join(root, f"set{d // 100:02d}", f"album{d:04d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(25):
            write(os.path.join(folder, f"note_{i:02d}.txt"), rng.randint(1024, 16384), rng)


def walk(root, rng):
    for d in range(8000):
        folder = os.path.join(root, f"set{d // 100:02d}", f"album{d:04d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(25):
            open(os.path.join(folder, f"note_{i:02d}.txt"), "wb").close()


def photos(root, rng, total=3 << 30):
    written, n = 0, 0
    while written < total:
        folder = os.path.join(root, "DCIM", f"{100 + n // 200}CANON")
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(3 << 20, 12 << 20)
        write(os.path.join(folder, f"IMG_{n:04d}.JPG"), size, rng)
        written += size
        n += 1
    os.makedirs(os.path.join(root, "MISC"), exist_ok=True)
    write(os.path.join(root, "MISC", "AUTPRINT.MRK"), 2048, rng)


def big(root, rng):
    os.makedirs(root, exist_ok=True)
    for name in ("video1.mp4", "video2.mp4"):
        write(os.path.join(root, name), 1 << 30, rng)


if __name__ == "__main__":
    kind, root = sys.argv[1], sys.argv[2]
    os.makedirs(root, exist_ok=True)
    {"small": small, "photos": photos, "big": big, "walk": walk}[kind](root, random.Random(7))
