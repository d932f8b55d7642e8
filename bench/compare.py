#!/usr/bin/env python3
"""Side-by-side timings of the module against the raw cabinet library.

    compare.py DATA-FOLDER BUILD-FOLDER RESULTS.md [RUNS]

Every comparison runs its pair alternately (A, B, A, B ...), each run into a
fresh output folder on the data folder's file system (a tmpfs), with one
wineserver kept alive by the caller. Reported: medians and min-max of each
side, and the median of the per-pair ratios A/B.
"""
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def timed(command, env=None):
    """Runs command; returns (seconds, peak resident KiB, exit status)."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss, process.returncode


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


# The 64-bit loader: bench/run selects the 64-bit tree.
WINE = os.environ.get("WINELOADER", "/usr/lib/wine/wine64")


def wine(exe, *args):
    return [WINE, exe] + list(args)


class Pair:
    def __init__(self, name, a_label, a_command, b_label, b_command, out_a, out_b, expect_a=None, expect_b=0,
                 prefill=None):
        self.prefill = prefill  # a tree copied into each output folder first: every file is replaced
        self.name, self.a_label, self.b_label = name, a_label, b_label
        self.a_command, self.b_command = a_command, b_command
        self.out_a, self.out_b = out_a, out_b
        self.expect_a, self.expect_b = expect_a, expect_b
        self.a, self.b, self.ratios, self.a_memory, self.b_memory = [], [], [], [], []

    def run(self, runs):
        for _ in range(runs):
            self.prepare(self.out_a)
            a, a_memory, a_status = timed(self.a_command)
            self.prepare(self.out_b)
            b, b_memory, b_status = timed(self.b_command)
            if self.expect_a is not None and a_status != self.expect_a:
                raise SystemExit("%s: %s exited %d" % (self.name, self.a_label, a_status))
            if self.expect_b is not None and b_status != self.expect_b:
                raise SystemExit("%s: %s exited %d" % (self.name, self.b_label, b_status))
            self.a.append(a)
            self.b.append(b)
            self.ratios.append(a / b)
            self.a_memory.append(a_memory)
            self.b_memory.append(b_memory)

    def prepare(self, folder):
        if not self.prefill:
            fresh(folder)
            return
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(self.prefill, folder)
        os.sync()

    def row(self):
        def spread(values):
            return "%.3f (%.3f–%.3f)" % (statistics.median(values), min(values), max(values))

        return "| %s | %s: %s | %s: %s | %.3f× (%.3f–%.3f) |" % (
            self.name, self.a_label, spread(self.a), self.b_label, spread(self.b),
            statistics.median(self.ratios), min(self.ratios), max(self.ratios))


def machine_line():
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    wine_version = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
    bits = "every run on the 64-bit build, vuvuzu64.exe, natively (the 32-bit product runs emulated here)"
    return "%s, %d cores, Linux %s, %s, %s" % (cpu, os.cpu_count(), platform.release(), wine_version, bits)


def tree_summary(folder):
    files, total = 0, 0
    for base, _, names in os.walk(folder):
        for name in names:
            files += 1
            total += os.path.getsize(os.path.join(base, name))
    return files, total


def stub_line(name, kind, path, limit_kib):
    size = os.path.getsize(path)
    verdict = "within" if size <= limit_kib * 1024 else "OVER"
    return "- Stub (`%s`, %s): %d bytes (%.1f KiB), %s the %d KiB limit" % (name, kind, size, size / 1024,
                                                                         verdict, limit_kib)


def main():
    data, build, results = sys.argv[1], sys.argv[2], sys.argv[3]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 9
    # The runs take the 64-bit stub; the 32-bit one is measured as a file.
    stub32 = sys.argv[5]
    module = os.path.join(build, "vuvuzu64.exe")
    raw = os.path.join(build, "bench", "raw_extract.exe")
    out_a, out_b = os.path.join(data, "out-a"), os.path.join(data, "out-b")
    raw_command = lambda cab: wine(raw, windows_path(cab), windows_path(out_b) + "\\")

    pairs = []
    one = os.path.join(data, "one.cab")
    pairs.append(Pair("one small file, archive mode", "module",
                      wine(module, "/H", "/O", "/N", windows_path(one), windows_path(out_a)),
                      "raw", raw_command(one), out_a, out_b, expect_a=1))
    for name in ("large", "large-store", "small"):
        cab = os.path.join(data, name + ".cab")
        pairs.append(Pair("%s, archive mode" % name, "module",
                          wine(module, "/H", "/O", "/N", windows_path(cab), windows_path(out_a)),
                          "raw", raw_command(cab), out_a, out_b, expect_a=1))
        package = os.path.join(data, name + "-pkg.exe")
        pairs.append(Pair("%s, package" % name, "module", wine(package), "raw", raw_command(cab),
                          out_a, out_b, expect_a=255))
    pairs.append(Pair("large, package with CRC check", "module", wine(os.path.join(data, "large-crc-pkg.exe")),
                      "raw", raw_command(os.path.join(data, "large.cab")), out_a, out_b, expect_a=255))
    # Every file replaced on a disk, where the module flushes each one before
    # it takes the old name (on the tmpfs a flush costs nothing); the raw
    # program overwrites in place and flushes nothing.
    disk = sys.argv[6] if len(sys.argv) > 6 else None
    if disk:
        disk_a, disk_b = os.path.join(disk, "out-a"), os.path.join(disk, "out-b")
        pairs.append(Pair("small, package replacing every file, on disk", "module",
                          wine(os.path.join(data, "small-replace-pkg.exe")), "raw",
                          wine(raw, windows_path(os.path.join(data, "small.cab")), windows_path(disk_b) + "\\"),
                          disk_a, disk_b, expect_a=255, prefill=os.path.join(data, "small")))
    for name in ("large", "small"):
        cab = os.path.join(data, name + ".cab")
        pairs.append(Pair("%s, cabextract (native)" % name, "cabextract", ["cabextract", "-q", "-d", out_a, cab],
                          "raw", raw_command(cab), out_a, out_b, expect_a=0))

    lines = ["# Benchmark results", "", "Machine: " + machine_line(), "",
             "Each row: %d alternating runs of A and B; seconds as median (min–max); ratio = median of the "
             "per-pair ratios A/B (min–max). Output on tmpfs, one wineserver alive, progress dialog on Xvfb."
             % runs, "", "| comparison | A | B | A/B |", "|---|---|---|---|"]
    memory = []
    for pair in pairs:
        pair.run(runs)
        if tree_summary(pair.out_a) != tree_summary(pair.out_b):
            raise SystemExit("%s: the outputs differ: %s against %s" % (pair.name, tree_summary(pair.out_a),
                                                                        tree_summary(pair.out_b)))
        lines.append(pair.row())
        print(lines[-1], flush=True)
        if pair.name.startswith(("large,", "one ")) and pair.a_label == "module":
            memory.append((pair.name, statistics.median(pair.a_memory), statistics.median(pair.b_memory)))

    lines += ["", "## Size and memory", "",
              stub_line("vuvuzu.exe", "32-bit", stub32, 48), stub_line("vuvuzu64.exe", "64-bit", module, 56)]
    for name, a_memory, b_memory in memory:
        lines.append("- Peak resident memory, %s: module %.1f MiB, raw %.1f MiB, difference %+.1f MiB"
                     % (name, a_memory / 1024, b_memory / 1024, (a_memory - b_memory) / 1024))
    crc = os.path.join(data, "crc.md")
    if os.path.exists(crc):
        lines += ["", "## CRC pass", ""] + open(crc).read().strip().splitlines()
    with open(results, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
