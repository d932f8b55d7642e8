#!/usr/bin/env python3
"""Deterministic benchmark data: a large set and a small-files set.

    gen_data.py FOLDER

Writes FOLDER/large/ (about 200 MB in 40 files: random, text-like and
zero-filled) and FOLDER/small/ (5,000 files of 1 to 20 KB in nested
folders). The same seed gives the same bytes on every machine.
"""
import os
import random
import sys

LARGE_FILES = 40
LARGE_FILE_SIZE = 5 * 1000 * 1000
SMALL_FILES = 5000
WORDS = ("cabinet folder stream header block window value table index "
         "record string buffer offset length count entry module setup").split()


def text_like(rng, size):
    parts = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14))) + "\n"
        parts.append(line)
        total += len(line)
    return "".join(parts).encode()[:size]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    root = sys.argv[1]
    rng = random.Random(20261210)
    for i in range(LARGE_FILES):
        kind = i % 3
        if kind == 0:
            data = rng.randbytes(LARGE_FILE_SIZE)
        elif kind == 1:
            data = text_like(rng, LARGE_FILE_SIZE)
        else:
            data = bytes(LARGE_FILE_SIZE)
        write(os.path.join(root, "large", "file%02d.bin" % i), data)
    for i in range(SMALL_FILES):
        folder = os.path.join(root, "small", "d%02d" % (i % 25), "e%02d" % (i // 25 % 8))
        size = rng.randint(1024, 20 * 1024)
        data = text_like(rng, size) if i % 2 else rng.randbytes(size)
        write(os.path.join(folder, "f%04d.dat" % i), data)


if __name__ == "__main__":
    main()
