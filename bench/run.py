#!/usr/bin/env python3
"""Compares rubo with find and fd on generated trees.

    run.py --rubo PATH --floor PATH [--work DIR] [--tmpfs DIR] [--pairs N]
           [--sizes 10000,100000,1000000]

Every timed case runs its peers (rubo and the other tools) in rounds, one run of each
per round; the order rotates from round to round, so no tool always goes first. It
reports the median wall time of each peer, the min-max spread, the cpu median and
rubo's ratio to each other peer. Deleting runs each get a fresh `cp -a` copy of the
master tree, made and removed outside the timing. Master trees are kept in the work
directory and made again only when the generator or the size changes.

The full run is timed twice: in the work directory, and on a tmpfs (--tmpfs, a
directory of /dev/shm by default), where no disk journal hides what the tools cost. The
floor walker (floor_walker.c, built by the benchmark) is the least a deleting program
must do there, on one thread and on two. On the tmpfs, rubo also runs with its output
going to a regular file, as a user keeping a log has it.

fd is `fd` when that is on the PATH and is the file finder, else `fdfind` (the
program of the Debian package fd-find).
"""

import argparse
import hashlib
import os
import platform
import re
import shlex
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
FIND_FULL_SIZES = FIND_RESOLVE + ["-delete"]
FD_RESOLVE = ["-u", "-t", "f", "-g", "*.obj"]  # after fd's program
FD_FULL = FD_RESOLVE + ["-X", "rm", "--"]


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


def version(program):
    """The first line of `program --version`, or "" when there is none."""
    try:
        lines = subprocess.run([program, "--version"], capture_output=True, text=True).stdout.splitlines()
    except OSError:
        return ""
    return lines[0].strip() if lines else ""


def fd_program():
    for name in ("fd", "fdfind"):
        path = shutil.which(name)
        if path is not None and version(path).split()[:1] in (["fd"], ["fdfind"]):
            return path
    sys.exit("bench: fd is missing (the package fd-find gives it as fdfind)")


def tool_versions(rubo, fd):
    return "rubo %s; %s; %s (%s)" % (rubo, version("find") or "find (version unknown)",
                                     version(fd) or "fd (version unknown)", fd)


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


def timed(command, directory, output=None):
    """Runs the command with standard input at its end and output thrown away, or
    written to the file `output`."""
    started = time.perf_counter()
    with open(output or os.devnull, "wb") as written:
        child = subprocess.Popen(command, cwd=directory, stdin=subprocess.DEVNULL, stdout=written)
        _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - started
    return Run(seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, os.waitstatus_to_exitcode(status))


def expect(condition, message):
    if not condition:
        sys.exit("bench: " + message)


class Peer:
    """One tool of a case: its name in the tables, its command and the exit status it
    ends with when all goes well."""

    def __init__(self, name, command, status=0, to_file=False):
        self.name, self.command, self.status, self.to_file = name, command, status, to_file

    def shown(self):
        return shlex.join([os.path.basename(self.command[0])] + self.command[1:])


def full_peers(rubo, fd):
    return [Peer("rubo", [rubo, FULL_ARGUMENT]),
            Peer("rubo, one thread", ["env", "RUBO_THREADS=1", rubo, FULL_ARGUMENT]),
            Peer("find -print -delete", FIND_FULL),
            Peer("find -printf -delete", FIND_FULL_SIZES),
            Peer("fd -X rm", [fd] + FD_FULL)]


def tmpfs_peers(rubo, floor):
    return [Peer("rubo", [rubo, FULL_ARGUMENT]),
            Peer("rubo to a file", [rubo, FULL_ARGUMENT], to_file=True),
            Peer("rubo, one thread", ["env", "RUBO_THREADS=1", rubo, FULL_ARGUMENT]),
            Peer("find -print -delete", FIND_FULL),
            Peer("floor, one thread", [floor, ".", ".obj", "1"]),
            Peer("floor, two threads", [floor, ".", ".obj", "2"])]


def resolve_peers(rubo, fd):
    # The unmatched pattern makes rubo ask; the ended input declines.
    return [Peer("rubo", [rubo, RESOLVE_ARGUMENT], status=3),
            Peer("rubo, one thread", ["env", "RUBO_THREADS=1", rubo, RESOLVE_ARGUMENT], status=3),
            Peer("find -printf", FIND_RESOLVE),
            Peer("fd", [fd] + FD_RESOLVE)]


class Case:
    """Rounds of runs of its peers and what they add up to."""

    def __init__(self, name, peers):
        self.name = name
        self.peers = peers
        self.runs = {peer.name: [] for peer in peers}

    def median(self, tool):
        return statistics.median(run.seconds for run in self.runs[tool])

    def ratio(self, tool):
        """rubo's median time over the peer's."""
        return self.median("rubo") / self.median(tool)

    def report(self):
        lines = ["  %-20s %9s  %19s  %10s  %4s  %9s" % ("", "median", "spread", "cpu median", "runs", "rubo/peer")]
        for peer in self.peers:
            runs = self.runs[peer.name]
            seconds = [run.seconds for run in runs]
            ratio = "" if peer.name == "rubo" else "%9.2f" % self.ratio(peer.name)
            row = ("  %-20s %7.3f s  %7.3f - %7.3f s  %8.3f s  %4d  %9s"
                   % (peer.name, statistics.median(seconds), min(seconds), max(seconds),
                      statistics.median(run.cpu for run in runs), len(runs), ratio))
            lines.append(row.rstrip())
        return "\n".join(lines)


def alternate(case, rounds, directory_for, check):
    """Runs `rounds` rounds of every peer, the order rotated by one from round to round;
    directory_for(peer) gives the directory of one run (a fresh copy for a deleting run),
    check(peer, directory) looks at what it did once its exit status is seen to."""
    for round_ in range(rounds):
        shift = round_ % len(case.peers)
        for peer in case.peers[shift:] + case.peers[:shift]:
            directory = directory_for(peer)
            output = os.path.join(os.path.dirname(directory), "output.txt") if peer.to_file else None
            run = timed(peer.command, directory, output)
            expect(run.status == peer.status, "%s ended with %d in the %s" % (peer.name, run.status, case.name))
            check(peer, directory)
            case.runs[peer.name].append(run)


def full_run(peers, work, pairs, copies, files, master=None, where=""):
    master = master or master_tree(work, files)
    left = files - files // 2
    case = Case("full run, %d files%s" % (files, where), peers)

    def check(peer, directory):
        expect(count_files(directory) == left, "%s left a wrong number of files" % peer.name)
        copies.discard(directory)

    alternate(case, pairs, lambda peer: copies.fresh(master), check)
    copies.wait()
    return case


def resolution(peers, work, pairs, files):
    master = master_tree(work, files)
    case = Case("resolution alone, %d files" % files, peers)
    for peer in peers:  # one untimed run each, so all start with the same cache
        timed(peer.command, master)
    alternate(case, pairs, lambda peer: master, lambda peer, directory: None)
    expect(count_files(master) == files, "the resolution changed the master tree of %d files" % files)
    return case


def peak_memory(peers, work, files):
    master = master_tree(work, files)
    peaks = {}
    for peer in peers:
        with tempfile.NamedTemporaryFile(mode="r") as report:
            subprocess.run(["/usr/bin/time", "-v", "-o", report.name] + peer.command, cwd=master,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            found = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read())
        expect(found is not None, "no peak memory from /usr/bin/time for " + peer.name)
        peaks[peer.name] = int(found.group(1))
    return peaks


def system_calls(peers, work, files, copies):
    """Calls per deleted file in the full run, from strace's count of every call (of
    every process: fd's count holds those of the rm it starts)."""
    master = master_tree(work, files)
    deleted = files // 2
    result = {}
    for peer in peers:
        copy = copies.fresh(master)
        with tempfile.NamedTemporaryFile(mode="r") as counts:
            subprocess.run(["strace", "-c", "-f", "-o", counts.name] + peer.command, cwd=copy,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
            table = counts.read()
        expect(count_files(copy) == files - deleted, "%s under strace left a wrong number of files" % peer.name)
        copies.discard(copy)
        calls = {}
        for line in table.splitlines():
            fields = line.split()
            # % time, seconds, usecs/call, calls, [errors,] name
            if len(fields) >= 5 and fields[-1] != "total" and fields[3].isdigit():
                calls[fields[-1]] = int(fields[3])
        result[peer.name] = calls
    copies.wait()
    return result, deleted


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rubo", required=True)
    parser.add_argument("--work", default=os.path.join(HERE, "..", "build", "bench"))
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--sizes", default="10000,100000,1000000", help="files of the resolution trees")
    parser.add_argument("--full-size", type=int, default=100_000, help="files of the full-run tree")
    parser.add_argument("--floor", required=True, help="the floor walker")
    parser.add_argument("--tmpfs", default="/dev/shm/rubo-bench", help="a directory on a tmpfs")
    parser.add_argument("--tmpfs-pairs", type=int, default=7)
    options = parser.parse_args()
    rubo = os.path.abspath(options.rubo)
    work = os.path.abspath(options.work)
    sizes = [int(size) for size in options.sizes.split(",")]
    for tool in ("find", "strace", "/usr/bin/time"):
        expect(shutil.which(tool) is not None, tool + " is missing")
    fd = fd_program()
    full_tools, resolve_tools = full_peers(rubo, fd), resolve_peers(rubo, fd)
    tmpfs_tools = tmpfs_peers(rubo, os.path.abspath(options.floor))
    os.makedirs(work, exist_ok=True)
    started = time.perf_counter()

    say("machine: " + machine())
    say("date:    " + time.strftime("%Y-%m-%d %H:%M:%S %Z"))
    say("commit:  " + commit())
    say("tools:   " + tool_versions(rubo, fd))
    say("work:    %s (%s)" % (work, subprocess.run(["stat", "-f", "-c", "%T", work], capture_output=True,
                                                     text=True).stdout.strip()))
    say("load:    %s at the start" % load())
    say()
    say("Master trees (seed %d):" % SEED)
    for files in sorted(set(sizes + [options.full_size, STRACE_SIZE])):
        master_tree(work, files)
    say()
    for title, peers in (("full run (deleting; a fresh copy each run)", full_tools),
                         ("full run on the tmpfs", tmpfs_tools),
                         ("resolution alone (nothing deleted)", resolve_tools)):
        say("Peers of the %s:" % title)
        for peer in peers:
            say("  %-20s  %s" % (peer.name, peer.shown()))
    say()

    copies = Copies(work)
    full = full_run(full_tools, work, options.pairs, copies, options.full_size)
    say(full.name + ":")
    say(full.report())
    say("  load %s" % load())
    remove_tree(options.tmpfs)
    os.makedirs(options.tmpfs)
    try:
        tmpfs_master = os.path.join(options.tmpfs, "master")
        subprocess.run(["cp", "-a", "--sparse=always", master_tree(work, options.full_size), tmpfs_master],
                       check=True)
        memory = full_run(tmpfs_tools, options.tmpfs, options.tmpfs_pairs, Copies(options.tmpfs),
                          options.full_size, tmpfs_master, " on the tmpfs")
    finally:
        remove_tree(options.tmpfs)
    say(memory.name + ":")
    say(memory.report())
    say("  load %s" % load())
    scaling = {}
    for files in sizes:
        case = resolution(resolve_tools, work, options.pairs, files)
        scaling[files] = case
        say(case.name + ":")
        say(case.report())
        say("  load %s" % load())

    say()
    say("Scaling of the resolution (median time; rubo's per file):")
    for files, case in sorted(scaling.items()):
        say("  %9d files: rubo %7.3f s (%.2f us/file), %s" %
            (files, case.median("rubo"), case.median("rubo") / files * 1e6,
             ", ".join("%s %.3f s" % (peer.name, case.median(peer.name)) for peer in resolve_tools[1:])))
    growth = {}
    if 100_000 in scaling and 1_000_000 in scaling:
        for peer in resolve_tools:
            growth[peer.name] = scaling[1_000_000].median(peer.name) / scaling[100_000].median(peer.name)
            say("  %s: 1,000,000 files take %.1fx as long as 100,000" % (peer.name, growth[peer.name]))

    say()
    if MEMORY_SIZE in sizes:
        peaks = peak_memory(resolve_tools, work, MEMORY_SIZE)
        say("Peak resident memory of the resolution at %d files (/usr/bin/time -v):" % MEMORY_SIZE)
        for peer in resolve_tools:
            say("  %-20s %8.1f MB" % (peer.name, peaks[peer.name] / 1024))
        say()

    calls, deleted = system_calls(full_tools, work, STRACE_SIZE, copies)
    say("System calls of the full run at %d files (strace -c -f), %d files deleted:" % (STRACE_SIZE, deleted))
    per_file = {}
    for peer in full_tools:
        total = sum(calls[peer.name].values())
        per_file[peer.name] = total / deleted
        top = sorted(calls[peer.name].items(), key=lambda item: -item[1])[:6]
        say("  %-20s %8d calls, %.2f per deleted file: %s" %
            (peer.name, total, per_file[peer.name], ", ".join("%s %d" % item for item in top)))
    say()
    say("Targets:")
    # (what, figure, limit, whether the figure must stay below the limit rather than reach it at most)
    checks = [("tmpfs: full run rubo / find -print -delete <= 0.6", memory.ratio("find -print -delete"), 0.6, False),
              ("tmpfs: full run rubo / two-thread floor <= 1.3", memory.ratio("floor, two threads"), 1.3, False),
              ("tmpfs: output to a file / to /dev/null <= 1.05",
               memory.median("rubo to a file") / memory.median("rubo"), 1.05, False),
              ("full run rubo / find -print -delete <= 1.2", full.ratio("find -print -delete"), 1.2, False),
              ("full run rubo / find -print -delete <= 1.0", full.ratio("find -print -delete"), 1.0, False),
              ("full run rubo / find -printf -delete < 1", full.ratio("find -printf -delete"), 1.0, True),
              ("full run rubo / fd -X rm < 1", full.ratio("fd -X rm"), 1.0, True)]
    if 100_000 in scaling:
        checks.append(("resolution at 100,000 files rubo / find -printf <= 1.5",
                       scaling[100_000].ratio("find -printf"), 1.5, False))
    for files in (100_000, 1_000_000):
        if files in scaling:
            checks += [("resolution at %s files rubo / find -printf <= 0.6" % format(files, ","),
                        scaling[files].ratio("find -printf"), 0.6, False),
                       ("resolution at %s files rubo / fd <= 1.5" % format(files, ","),
                        scaling[files].ratio("fd"), 1.5, False)]
    if growth:
        checks.append(("1,000,000 files take <= 11x as long as 100,000", growth["rubo"], 11, False))
    if MEMORY_SIZE in sizes:
        checks += [("peak memory at 1,000,000 files <= 300 MB", peaks["rubo"] / 1024, 300, False),
                   ("peak memory at 1,000,000 files <= 60 MB", peaks["rubo"] / 1024, 60, False),
                   ("peak memory at 1,000,000 files <= 24 MB", peaks["rubo"] / 1024, 24, False)]
    checks.append(("system calls per deleted file <= find's + 3", per_file["rubo"],
                   per_file["find -print -delete"] + 3, False))
    for text, value, limit, below in checks:
        met = value < limit if below else value <= limit
        say("  %-56s %8.2f  %s" % (text, value, "met" if met else "MISSED"))
    say()
    say("load:    %s at the end; the whole benchmark took %.0f s" % (load(), time.perf_counter() - started))
    with open(os.path.join(work, "last-run.txt"), "w") as kept:
        kept.write("\n".join(REPORT) + "\n")


if __name__ == "__main__":
    main()
