#!/usr/bin/env python3
"""Package size, packing time and unpacking time per method and level.

    compression.py DATA-FOLDER VUVPACK STUB RAW-EXTRACT RESULTS.md [RUNS]

The corpus is made from what the machine has, under DATA-FOLDER/corpus:
programs (every second PE file by name of Wine's x86-64 DLLs and programs,
stripped, up to about 30 MB), text (C headers, about 10 MB) and images (the
icon themes' PNG files). Each set is packed by gcab (MSZIP), by xz -9 (a
tar of the set; the size a self-extractor with its own LZMA decoder
reaches, shown, not a target) and by vuvpack with each method and level.
Packing runs are alternated with gcab's and compared pair by pair;
unpacking runs the raw cabinet-library program (RAW-EXTRACT) on our LZX
cabinet and on gcab's, alternately. The section "## Compression" of
RESULTS.md is replaced (or added).
"""
import os
import shutil
import statistics
import subprocess
import sys

from compare import fresh, machine_line, timed, windows_path, wine

WINE_PROGRAMS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
PROGRAM_BYTES = 30 * 1000 * 1000
TEXT_BYTES = 10 * 1000 * 1000
METHODS = [
    ("MSZIP (ours)", ["--compress", "mszip"]),
    ("LZX 2 MB, fast", ["--compress", "lzx:21", "--level", "fast"]),
    ("LZX 2 MB, default", ["--compress", "lzx:21", "--level", "default"]),
    ("LZX 2 MB, best", ["--compress", "lzx:21", "--level", "best"]),
    ("LZX 32 KB, default", ["--compress", "lzx:15", "--level", "default"]),
]
UNPACKED = ["LZX 2 MB, fast", "LZX 2 MB, default", "LZX 2 MB, best"]


def copy_until(paths, base, target, limit, transform=None):
    total = 0
    for path in paths:
        if total >= limit:
            break
        destination = os.path.join(target, os.path.relpath(path, base))
        os.makedirs(os.path.dirname(destination), exist_ok=True)
        shutil.copyfile(path, destination)
        if transform:
            transform(destination)
        total += os.path.getsize(destination)


def is_pe(path):
    with open(path, "rb") as f:
        return f.read(2) == b"MZ"


def strip(path):
    subprocess.run(["x86_64-w64-mingw32-strip", path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def files_under(folder, suffix):
    found = []
    for base, _, names in os.walk(folder):
        found += [os.path.join(base, name) for name in names if name.endswith(suffix)]
    return sorted(p for p in found if os.path.isfile(p) and not os.path.islink(p))


def make_corpus(corpus):
    if os.path.exists(os.path.join(corpus, ".ready")):
        return
    shutil.rmtree(corpus, ignore_errors=True)
    names = sorted(n for n in os.listdir(WINE_PROGRAMS) if is_pe(os.path.join(WINE_PROGRAMS, n)))
    programs = [os.path.join(WINE_PROGRAMS, n) for n in names[::2]]
    copy_until(programs, WINE_PROGRAMS, os.path.join(corpus, "programs"), PROGRAM_BYTES, strip)
    copy_until(files_under("/usr/include", ".h"), "/usr/include", os.path.join(corpus, "text"), TEXT_BYTES)
    copy_until(files_under("/usr/share/icons", ".png"), "/usr/share/icons", os.path.join(corpus, "images"),
               TEXT_BYTES)
    open(os.path.join(corpus, ".ready"), "w").close()


def set_files(folder):
    return sorted(os.path.relpath(p, folder) for p in files_under(folder, ""))


def cabinet_of(package, cabinet):
    """Writes the cabinet inside package to cabinet; returns its size."""
    with open(package, "rb") as f:
        data = f.read()
    start = data.find(b"MSCF\0\0\0\0")
    size = int.from_bytes(data[start + 8:start + 12], "little")
    with open(cabinet, "wb") as f:
        f.write(data[start:start + size])
    return size


def run_in(folder, command):
    def run():
        return subprocess.run(command, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return run


def median_spread(values):
    return "%.2f (%.2f–%.2f)" % (statistics.median(values), min(values), max(values))


def timed_pairs(runs, a, b):
    """Runs a and b alternately; their times and the per-pair ratios a/b."""
    a_times, b_times = [], []
    for _ in range(runs):
        a_times.append(timed(a)[0])
        b_times.append(timed(b)[0])
    return a_times, b_times, [x / y for x, y in zip(a_times, b_times)]


def measure_set(name, folder, work, vuvpack, stub, raw, runs):
    files = set_files(folder)
    total = sum(os.path.getsize(os.path.join(folder, f)) for f in files)
    gcab_cab = os.path.join(work, name + "-gcab.cab")
    gcab = ["gcab", "-c", "-z", gcab_cab] + files
    subprocess.run(gcab, cwd=folder, check=True, stdout=subprocess.DEVNULL)
    gcab_size = os.path.getsize(gcab_cab)
    tar_xz = os.path.join(work, name + ".tar.xz")
    with open(tar_xz, "wb") as out:
        tar = subprocess.Popen(["tar", "--sort=name", "--owner=0", "--group=0", "--mtime=@0", "-cf", "-"] + files,
                               cwd=folder, stdout=subprocess.PIPE)
        subprocess.run(["xz", "-9", "-T1", "-c"], stdin=tar.stdout, stdout=out, check=True)
        tar.wait()
    xz_size = os.path.getsize(tar_xz)

    lines = ["", "### %s: %d files, %.2f MB" % (name, len(files), total / 1e6), "",
             "| method | size (MB) | × gcab MSZIP | × xz -9 | packing s, median (min–max) | × gcab's time |",
             "|---|---|---|---|---|---|",
             "| gcab MSZIP | %.2f | 1.000 | %.3f | | |" % (gcab_size / 1e6, gcab_size / xz_size),
             "| xz -9 (tar, one thread) | %.2f | %.3f | 1.000 | | |" % (xz_size / 1e6, xz_size / gcab_size)]
    cabinets, figures = {}, {}
    for label, options in METHODS:
        package = os.path.join(work, "%s-%d.exe" % (name, len(cabinets)))
        build = [vuvpack, "build", "--stub", stub, "--dir", folder, "-o", package, "--quiet"] + options
        method_runs = max(1, runs // 3) if "best" in label else runs
        ours, theirs, ratios = timed_pairs(method_runs, build, ["sh", "-c", 'cd "$0" && exec "$@"', folder] + gcab)
        cabinet = os.path.join(work, "%s-%d.cab" % (name, len(cabinets)))
        size = cabinet_of(package, cabinet)
        cabinets[label] = cabinet
        figures[label] = (size / gcab_size, statistics.median(ratios))
        lines.append("| vuvpack %s | %.2f | %.3f | %.3f | %s (gcab %s) | %.2f× |" % (
            label, size / 1e6, size / gcab_size, size / xz_size, median_spread(ours), median_spread(theirs),
            statistics.median(ratios)))

    lines += ["", "Unpacking through the system's cabinet library (raw program, 64-bit, under Wine), "
              "alternately with gcab's MSZIP cabinet:", "",
              "| cabinet | seconds, median (min–max) | gcab MSZIP | × MSZIP |", "|---|---|---|---|"]
    out_a, out_b = os.path.join(work, "out-a"), os.path.join(work, "out-b")
    for label in UNPACKED:
        ours, theirs = [], []
        for _ in range(runs):
            fresh(out_a)
            ours.append(timed(wine(raw, windows_path(cabinets[label]), windows_path(out_a) + "\\"))[0])
            fresh(out_b)
            theirs.append(timed(wine(raw, windows_path(gcab_cab), windows_path(out_b) + "\\"))[0])
        if set_files(out_a) != files or set_files(out_b) != files:
            sys.exit("%s: the raw program did not write every file of %s" % (label, name))
        lines.append("| %s | %s | %s | %.2f× |" % (label, median_spread(ours), median_spread(theirs),
                                                  statistics.median(o / t for o, t in zip(ours, theirs))))
    return lines, figures


def target_line(figures):
    checks = [("size at the default level", figures["LZX 2 MB, default"][0], 0.62, "× gcab's MSZIP"),
              ("size at the best level", figures["LZX 2 MB, best"][0], 0.56, "× gcab's MSZIP"),
              ("packing time at the fast level", figures["LZX 2 MB, fast"][1], 1.0, "× gcab's"),
              ("packing time at the default level", figures["LZX 2 MB, default"][1], 3.0, "× gcab's")]
    return "Against the targets on the programs: " + "; ".join(
        "%s %.3f%s (≤ %.2f: %s)" % (what, value, unit, limit, "met" if value <= limit else "missed")
        for what, value, limit, unit in checks) + "."


def main():
    data, vuvpack, stub, raw, results = sys.argv[1:6]
    runs = int(sys.argv[6]) if len(sys.argv) > 6 else 3
    corpus = os.path.join(data, "corpus")
    make_corpus(corpus)
    work = os.path.join(data, "compression")
    fresh(work)
    lines = ["## Compression", "",
             "Machine: %s. The machine is shared with other jobs, so times vary from run to run; each time "
             "is the median of %d runs (best level: %d), packing alternated with gcab's." % (
                 machine_line(), runs, max(1, runs // 3)),
             "Targets on the programs: size at the default level ≤ 0.62× gcab's MSZIP, at the best level "
             "≤ 0.56×; packing time at the fast level ≤ gcab's, at the default level ≤ 3× gcab's."]
    for name in ("programs", "text", "images"):
        set_lines, figures = measure_set(name, os.path.join(corpus, name), work, vuvpack, stub, raw, runs)
        if name == "programs":
            lines += ["", target_line(figures)]
        lines += set_lines
    text = open(results).read() if os.path.exists(results) else "# Benchmark results\n"
    start = text.find("## Compression")
    if start >= 0:
        end = text.find("\n## ", start + 1)
        text = text[:start] + text[end + 1:] if end >= 0 else text[:start]
    with open(results, "w") as f:
        f.write(text.rstrip("\n") + "\n\n" + "\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
