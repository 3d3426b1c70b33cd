#!/usr/bin/env python3
"""Compares rubo with find on generated trees.

    run.py --rubo PATH [--work DIR] [--pairs N] [--sizes 10000,100000,1000000]

Every timed case alternates the two tools, pair by pair (the one that starts a pair
changes from pair to pair), and reports the median wall time of each, the min-max
spread and the ratio rubo/find. Deleting runs each get a fresh `cp -a` copy of the
master tree, made and removed outside the timing. Master trees are kept in the work
directory and made again only when the generator or the size changes.
"""

import argparse
import hashlib
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SEED = 1
MEMORY_SIZE = 1_000_000
STRACE_SIZE = 10_000  # the calls per file hardly depend on the size; copies of it are quick
FULL_ARGUMENT = "*.obj"
RESOLVE_ARGUMENT = "*.obj;nomatch.zzz"
FIND_FULL = ["find", ".", "-name", "*.obj", "-print", "-delete"]
FIND_RESOLVE = ["find", ".", "-name", "*.obj", "-printf", "%s %p\\n"]


REPORT = []  # every line said, written to last-run.txt in the work directory at the end


def say(text=""):
    REPORT.append(text)
    print(text, flush=True)


def load():
    return "%.2f %.2f %.2f" % os.getloadavg()


def machine():
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES") // 2**20
    return "%s, %d cores, %d MiB, %s %s" % (model, os.cpu_count(), memory, platform.system(), platform.release())


def commit():
    def git(*arguments):
        return subprocess.run(["git", "-C", HERE] + list(arguments), capture_output=True, text=True).stdout.strip()
    head = git("rev-parse", "--short", "HEAD") or "unknown"
    return head + (" (with uncommitted changes)" if git("status", "--porcelain", "--untracked-files=no") else "")


def tool_versions(rubo):
    find = subprocess.run(["find", "--version"], capture_output=True, text=True).stdout.splitlines()
    return "rubo %s; %s" % (rubo, find[0] if find else "find (version unknown)")


# ---- Trees

def generator_stamp(files):
    with open(os.path.join(HERE, "make_tree.py"), "rb") as source:
        return "%d %d %s" % (files, SEED, hashlib.sha256(source.read()).hexdigest())


def master_tree(work, files):
    """The master tree of `files` files, made unless an up-to-date one is there."""
    root = os.path.join(work, "master-%d" % files)
    stamp_file = root + ".stamp"
    stamp = generator_stamp(files)
    if os.path.isdir(root) and os.path.exists(stamp_file):
        with open(stamp_file) as kept:
            if kept.read() == stamp:
                return root
    remove_tree(root)
    if os.path.exists(stamp_file):
        os.remove(stamp_file)
    started = time.perf_counter()
    subprocess.run([sys.executable, os.path.join(HERE, "make_tree.py"), root, str(files), str(SEED)], check=True)
    say("  made in %.1f s" % (time.perf_counter() - started))
    with open(stamp_file, "w") as kept:
        kept.write(stamp)
    return root


def remove_tree(root):
    if os.path.lexists(root):
        shutil.rmtree(root)


class Copies:
    """Fresh copies of a master tree for deleting runs. A used copy is removed while
    the next one is made; both are done, and written out, before the next run starts."""

    def __init__(self, work):
        self.work = work
        self.used = 0
        self.removal = None

    def fresh(self, master):
        self.used += 1
        copy = os.path.join(self.work, "copy-%d" % self.used)
        remove_tree(copy)
        # Holes stay holes (see make_tree.py).
        subprocess.run(["cp", "-a", "--sparse=always", master, copy], check=True)
        self.wait()
        subprocess.run(["sync"], check=True)
        return copy

    def discard(self, copy):
        self.wait()
        self.removal = subprocess.Popen(["rm", "-rf", copy])

    def wait(self):
        if self.removal is not None:
            self.removal.wait()
            self.removal = None


def count_files(root):
    return sum(len(files) for _, _, files in os.walk(root))


# ---- Runs

class Run:
    def __init__(self, seconds, cpu, max_rss_kb, status):
        self.seconds, self.cpu, self.max_rss_kb, self.status = seconds, cpu, max_rss_kb, status


def timed(command, directory):
    """Runs the command with standard input at its end and output thrown away."""
    started = time.perf_counter()
    child = subprocess.Popen(command, cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - started
    return Run(seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, os.waitstatus_to_exitcode(status))


def expect(condition, message):
    if not condition:
        sys.exit("bench: " + message)


class Case:
    """Alternating runs of rubo and find and what they add up to."""

    def __init__(self, name):
        self.name = name
        self.runs = {"rubo": [], "find": []}

    def median(self, tool):
        return statistics.median(run.seconds for run in self.runs[tool])

    def ratio(self):
        return self.median("rubo") / self.median("find")

    def report(self):
        lines = []
        for tool in ("rubo", "find"):
            seconds = [run.seconds for run in self.runs[tool]]
            cpu = statistics.median(run.cpu for run in self.runs[tool])
            lines.append("  %-4s median %7.3f s  spread %7.3f - %7.3f s  (cpu median %6.3f s, %d runs)"
                         % (tool, statistics.median(seconds), min(seconds), max(seconds), cpu, len(seconds)))
        lines.append("  ratio rubo/find %.2f" % self.ratio())
        return "\n".join(lines)


def alternate(case, pairs, commands, directory_for, check):
    """Runs `pairs` pairs; directory_for(tool) gives the directory of one run (a fresh
    copy for a deleting run), check(tool, run, directory) looks at what it did."""
    for pair in range(pairs):
        order = ("rubo", "find") if pair % 2 == 0 else ("find", "rubo")
        for tool in order:
            directory = directory_for(tool)
            run = timed(commands[tool], directory)
            check(tool, run, directory)
            case.runs[tool].append(run)


def full_run(rubo, work, pairs, copies, files):
    master = master_tree(work, files)
    left = files - files // 2
    case = Case("full run, %d files" % files)

    def check(tool, run, directory):
        expect(run.status == 0, "%s ended with %d in the full run" % (tool, run.status))
        expect(count_files(directory) == left, "%s left a wrong number of files" % tool)
        copies.discard(directory)

    alternate(case, pairs, {"rubo": [rubo, FULL_ARGUMENT], "find": FIND_FULL},
              lambda tool: copies.fresh(master), check)
    copies.wait()
    return case


def resolution(rubo, work, pairs, files):
    master = master_tree(work, files)
    case = Case("resolution alone, %d files" % files)

    def check(tool, run, directory):
        # The unmatched pattern makes rubo ask; the ended input declines.
        expect(run.status == (3 if tool == "rubo" else 0), "%s ended with %d in the resolution" % (tool, run.status))

    commands = {"rubo": [rubo, RESOLVE_ARGUMENT], "find": FIND_RESOLVE}
    for tool in ("rubo", "find"):  # one untimed run each, so both start with the same cache
        timed(commands[tool], master)
    alternate(case, pairs, commands, lambda tool: master, check)
    expect(count_files(master) == files, "the resolution changed the master tree of %d files" % files)
    return case


def peak_memory(rubo, work, files):
    master = master_tree(work, files)
    peaks = {}
    for tool, command in (("rubo", [rubo, RESOLVE_ARGUMENT]), ("find", FIND_RESOLVE)):
        with tempfile.NamedTemporaryFile(mode="r") as report:
            subprocess.run(["/usr/bin/time", "-v", "-o", report.name] + command, cwd=master,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            found = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read())
        expect(found is not None, "no peak memory from /usr/bin/time for " + tool)
        peaks[tool] = int(found.group(1))
    return peaks


def system_calls(rubo, work, files, copies):
    """Calls per deleted file in the full run, from strace's count of every call."""
    master = master_tree(work, files)
    deleted = files // 2
    result = {}
    for tool, command in (("rubo", [rubo, FULL_ARGUMENT]), ("find", FIND_FULL)):
        copy = copies.fresh(master)
        with tempfile.NamedTemporaryFile(mode="r") as counts:
            subprocess.run(["strace", "-c", "-f", "-o", counts.name] + command, cwd=copy,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
            table = counts.read()
        expect(count_files(copy) == files - deleted, "%s under strace left a wrong number of files" % tool)
        copies.discard(copy)
        calls = {}
        for line in table.splitlines():
            fields = line.split()
            # % time, seconds, usecs/call, calls, [errors,] name
            if len(fields) >= 5 and fields[-1] != "total" and fields[3].isdigit():
                calls[fields[-1]] = int(fields[3])
        result[tool] = calls
    copies.wait()
    return result, deleted


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rubo", required=True)
    parser.add_argument("--work", default=os.path.join(HERE, "..", "build", "bench"))
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--sizes", default="10000,100000,1000000", help="files of the resolution trees")
    parser.add_argument("--full-size", type=int, default=100_000, help="files of the full-run tree")
    options = parser.parse_args()
    rubo = os.path.abspath(options.rubo)
    work = os.path.abspath(options.work)
    sizes = [int(size) for size in options.sizes.split(",")]
    for tool in ("find", "strace", "/usr/bin/time"):
        expect(shutil.which(tool) is not None, tool + " is missing")
    os.makedirs(work, exist_ok=True)
    started = time.perf_counter()

    say("machine: " + machine())
    say("date:    " + time.strftime("%Y-%m-%d %H:%M:%S %Z"))
    say("commit:  " + commit())
    say("tools:   " + tool_versions(rubo))
    say("work:    %s (%s)" % (work, subprocess.run(["stat", "-f", "-c", "%T", work], capture_output=True,
                                                     text=True).stdout.strip()))
    say("load:    %s at the start" % load())
    say()
    say("Master trees (seed %d):" % SEED)
    for files in sorted(set(sizes + [options.full_size, STRACE_SIZE])):
        master_tree(work, files)
    say()

    copies = Copies(work)
    full = full_run(rubo, work, options.pairs, copies, options.full_size)
    say("%s: rubo %s  vs  %s" % (full.name, FULL_ARGUMENT, " ".join(FIND_FULL)))
    say(full.report())
    say("  load %s" % load())
    scaling = {}
    for files in sizes:
        case = resolution(rubo, work, options.pairs, files)
        scaling[files] = case
        say("%s: rubo '%s'  vs  %s" % (case.name, RESOLVE_ARGUMENT, " ".join(FIND_RESOLVE)))
        say(case.report())
        say("  load %s" % load())

    say()
    say("Scaling of the resolution (median time per file):")
    for files, case in sorted(scaling.items()):
        say("  %9d files: rubo %7.3f s (%.2f us/file), find %7.3f s" %
            (files, case.median("rubo"), case.median("rubo") / files * 1e6, case.median("find")))
    if 100_000 in scaling and 1_000_000 in scaling:
        for tool in ("rubo", "find"):
            say("  %s: 1,000,000 files take %.1fx as long as 100,000" %
                (tool, scaling[1_000_000].median(tool) / scaling[100_000].median(tool)))

    say()
    if MEMORY_SIZE in sizes:
        peaks = peak_memory(rubo, work, MEMORY_SIZE)
        say("Peak resident memory of the resolution at %d files (/usr/bin/time -v):" % MEMORY_SIZE)
        for tool in ("rubo", "find"):
            say("  %-4s %8.1f MB" % (tool, peaks[tool] / 1024))
        say()

    calls, deleted = system_calls(rubo, work, STRACE_SIZE, copies)
    say("System calls of the full run at %d files (strace -c -f), %d files deleted:" % (STRACE_SIZE, deleted))
    for tool in ("rubo", "find"):
        total = sum(calls[tool].values())
        top = sorted(calls[tool].items(), key=lambda item: -item[1])[:6]
        say("  %-4s %8d calls, %.2f per deleted file: %s" %
            (tool, total, total / deleted, ", ".join("%s %d" % item for item in top)))
    say()
    say("Targets:")
    checks = [("full run rubo/find <= 1.2", full.ratio(), 1.2)]
    if 100_000 in scaling:
        checks.append(("resolution at 100,000 files rubo/find <= 1.5", scaling[100_000].ratio(), 1.5))
    if 100_000 in scaling and 1_000_000 in scaling:
        checks.append(("1,000,000 files take <= 11x as long as 100,000",
                       scaling[1_000_000].median("rubo") / scaling[100_000].median("rubo"), 11))
    if MEMORY_SIZE in sizes:
        checks.append(("peak memory at 1,000,000 files <= 300 MB", peaks["rubo"] / 1024, 300))
    per_file = {tool: sum(calls[tool].values()) / deleted for tool in ("rubo", "find")}
    checks.append(("system calls per deleted file <= find's + 3", per_file["rubo"], per_file["find"] + 3))
    for text, value, limit in checks:
        say("  %-48s %8.2f  %s" % (text, value, "met" if value <= limit else "MISSED"))
    say()
    say("load:    %s at the end; the whole benchmark took %.0f s" % (load(), time.perf_counter() - started))
    with open(os.path.join(work, "last-run.txt"), "w") as kept:
        kept.write("\n".join(REPORT) + "\n")


if __name__ == "__main__":
    main()
