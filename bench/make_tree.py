#!/usr/bin/env python3
"""Builds a deterministic sample tree for the benchmark.

    make_tree.py DIRECTORY FILES [SEED]

DIRECTORY is made anew (it must not exist). The same FILES and SEED give the same
tree, byte for byte in names and sizes, on every machine: directories of varied depth
and fan-out, half of the files named *.obj, sizes from empty to 16 KiB (mostly
small), about one file in twenty read-only, and a few names with blanks. Prints one
summary line.

The files are sparse: they have their sizes but no data blocks, so that deleting them
costs the file system the same on every run. (With data, a file system mounted with
online discard makes each deleting run wait on the disk for a time that varies far
more than the tools do.)
"""

import os
import random
import sys

FILES_PER_DIRECTORY = 25  # on average; single directories hold from 1 to a few hundred
MAX_DEPTH = 14
MAX_SIZE_BITS = 14  # sizes up to 16 KiB
OTHER_EXTENSIONS = (".c", ".h", ".res", ".txt", ".o", ".objx", ".lib")


def plan_directories(rng, count):
    """Paths (relative, root first) of `count` directories, each below an earlier one.

    A parent is drawn with a bias towards recent directories, so some branches go deep
    while others stay flat; the depth is capped."""
    directories = [""]
    depths = [0]
    for number in range(1, count):
        while True:
            # Now and then a recent directory (deep chains), else any (wide fan-out).
            if rng.random() < 0.3:
                parent = len(directories) - 1 - min(int(rng.expovariate(0.3)), len(directories) - 1)
            else:
                parent = rng.randrange(len(directories))
            if depths[parent] < MAX_DEPTH:
                break
        name = f"dir {number}" if rng.random() < 0.01 else f"d{number:x}"
        directories.append(os.path.join(directories[parent], name) if directories[parent] else name)
        depths.append(depths[parent] + 1)
    return directories, depths


def file_size(rng):
    """Mostly small files, some larger: a log-uniform draw up to 16 KiB, one in ten empty."""
    if rng.random() < 0.1:
        return 0
    return int(2 ** rng.uniform(0, MAX_SIZE_BITS))


def build(root, files, seed):
    rng = random.Random(seed)
    directory_count = max(1, files // FILES_PER_DIRECTORY)
    directories, depths = plan_directories(rng, directory_count)
    # Uneven shares: each directory gets a weight, files are dealt out by weight.
    weights = [rng.paretovariate(1.5) for _ in directories]
    homes = rng.choices(range(directory_count), weights=weights, k=files)

    os.mkdir(root)
    for directory in directories[1:]:
        os.mkdir(os.path.join(root, directory))

    total_size = matching = read_only = blanks = 0
    for number, home in enumerate(homes):
        matches = number % 2 == 0
        extension = ".obj" if matches else OTHER_EXTENSIONS[rng.randrange(len(OTHER_EXTENSIONS))]
        stem = f"file {number}" if rng.random() < 0.002 else f"f{number}"
        size = file_size(rng)
        path = os.path.join(root, directories[home], stem + extension)
        locked = rng.random() < 0.05
        # The mode applies once the file exists, so a read-only file can be written here.
        descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444 if locked else 0o644)
        if size:
            os.ftruncate(descriptor, size)
        os.close(descriptor)
        read_only += locked
        if matches:
            matching += 1
            total_size += size
        blanks += " " in stem
    print(f"{root}: {files} files ({matching} *.obj of {total_size} bytes, {read_only} read-only, "
          f"{blanks} names with blanks) in {directory_count} directories, up to {max(depths)} deep")


def main(arguments):
    if len(arguments) not in (3, 4):
        sys.exit(__doc__)
    build(arguments[1], int(arguments[2]), int(arguments[3]) if len(arguments) == 4 else 1)


if __name__ == "__main__":
    main(sys.argv)
