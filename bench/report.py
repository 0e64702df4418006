#!/usr/bin/env python3
"""Turns the benchmark JSON (Google Benchmark, aggregates) of one or more
runs of `make bench` into docs/benchmarks.md: the targets judged on the
median over the runs, a table per CPU level (ours at that level against the
same yardsticks), the scaling across cores of the codec commands, a
throughput table per codec, and an SVG plot of throughput against size
drawn here (no plotting library needed).

Usage: report.py BENCH.json [MORE.json ...] OUT.md [OUT.svg]
Files are grouped into runs by name: "bench-2-kernels.json" and
"bench-2-commands.json" are run "bench-2" (the part after the last "-" is
the part of the run). Within a run each case's figure is the median of its
repetitions; each comparison's ratio is computed per run, from ours and the
yardstick measured in that run, and the page shows the median over the
runs with the lowest and the highest run. A target is met when the median
meets it.

Case names: our kernels are measured at every CPU level as "codec:ours@level"
(bench_support.h); a name without a level means the run's top level, and
the older names (crc32:ours-portable, tea:ours-avx2, ...) map onto the
levels they measured.

The page ends with a "Gaps" section: the targets not met, computed from the
runs, followed by bench/gaps.md (hand-kept analysis: where the time goes and
what would close each gap), included verbatim so that a rerun keeps it.
"""
import os
import json
import math
import statistics
import sys
from collections import defaultdict

SIZE_NAMES = {64: "64 bytes", 1024: "1 KiB", 65536: "64 KiB", 1048576: "1 MiB", 67108864: "64 MiB"}
DATA_NAMES = {0: "page", 1: "page + predictor", 2: "random 1 MiB"}
LEVELS = ["portable", "sse", "avx2", "avx512"]
LEVEL_TITLES = {"portable": "portable (plain C++)", "sse": "SSE (SSSE3, SSE4.1, PCLMULQDQ)", "avx2": "AVX2",
                "avx512": "AVX-512 (F/BW/VL/VBMI, VPCLMULQDQ)"}
IN_CACHE, IN_MEMORY = 1048576, 67108864

# Names the cases had before every level was measured, and what they measured.
ALIASES = {
    "crc32:ours-pclmul": "crc32:ours@sse",
    "crc32:ours-portable": "crc32:ours@portable",
    "crc16-model1:ours-pclmul": "crc16-model1:ours@sse",
    "b64encode:ours-scalar": "b64encode:ours@portable",
    "b64decode:ours-scalar": "b64decode:ours@portable",
    "tea:ours-avx2": "tea:ours@avx2",
    "tea:ours-scalar": "tea:ours@portable",
}

# (what, ours, yardstick, argument, target ratio, level). The level is the
# one ours is forced to: a level name, "top" for the highest the run
# measured, or None for codecs without levels. A yardstick may be a tuple:
# the first case the run has (ISA-L's 128-bit fold where it can be called
# directly, else its dispatching entry).
TARGETS = [
    ("CRC-32 in cache vs ISA-L", "crc32:ours", "crc32:isal", IN_CACHE, 0.9, "top"),
    ("CRC-32 in memory vs ISA-L", "crc32:ours", "crc32:isal", IN_MEMORY, 0.9, "top"),
    ("CRC-32 in memory vs ISA-L 128-bit fold", "crc32:ours", ("crc32:isal-128", "crc32:isal"), IN_MEMORY, 0.9,
     "avx2"),
    ("CRC-32 vs zlib (1 MiB)", "crc32:ours", "crc32:zlib", IN_CACHE, 1.0, "portable"),
    ("CRC-32 vs zlib (64 MiB)", "crc32:ours", "crc32:zlib", IN_MEMORY, 1.0, "portable"),
    ("CRC-32 vs ISA-L's 128-bit fold (1 MiB)", "crc32:ours", "crc32:isal-128", IN_CACHE, 0.9, "sse"),
    ("CRC-32 vs ISA-L's 128-bit fold (64 MiB)", "crc32:ours", "crc32:isal-128", IN_MEMORY, 0.9, "sse"),
    ("CRC-16 model 0 vs ISA-L t10dif (1 MiB)", "crc16-model0:ours", "crc16-model0:isal-t10dif", IN_CACHE, 0.8, "top"),
    ("CRC-16 model 1 vs ISA-L t10dif (1 MiB)", "crc16-model1:ours", "crc16-model0:isal-t10dif", IN_CACHE, 0.8, "top"),
    ("Base64 encode in cache vs modp", "b64encode:ours", "b64encode:modp", IN_CACHE, 1.0, "portable"),
    ("Base64 encode in memory vs modp", "b64encode:ours", "b64encode:modp", IN_MEMORY, 1.0, "portable"),
    ("Base64 decode in cache vs modp", "b64decode:ours", "b64decode:modp", IN_CACHE, 1.0, "portable"),
    ("Base64 decode in memory vs modp", "b64decode:ours", "b64decode:modp", IN_MEMORY, 1.0, "portable"),
    ("Base64 decode, lines of 76, vs modp clean (1 MiB)", "b64decode:ours-lines76", "b64decode:modp", IN_CACHE, 0.8,
     "portable"),
    ("Base64 encode in cache vs modp", "b64encode:ours", "b64encode:modp", IN_CACHE, 3.0, "sse"),
    ("Base64 decode in cache vs modp", "b64decode:ours", "b64decode:modp", IN_CACHE, 3.0, "sse"),
    ("Base64 encode in cache vs modp", "b64encode:ours", "b64encode:modp", IN_CACHE, 6.0, "avx2"),
    ("Base64 encode in cache vs modp", "b64encode:ours", "b64encode:modp", IN_CACHE, 12.0, "avx512"),
    ("Base64 decode in cache vs modp", "b64decode:ours", "b64decode:modp", IN_CACHE, 12.0, "avx512"),
    ("Base64 encode in memory vs modp", "b64encode:ours", "b64encode:modp", IN_MEMORY, 4.0, "top"),
    ("Base64 decode in memory vs modp", "b64decode:ours", "b64decode:modp", IN_MEMORY, 4.0, "top"),
    ("Base64 decode, lines of 76, vs modp clean (1 MiB)", "b64decode:ours-lines76", "b64decode:modp", IN_CACHE, 3.0,
     "top"),
    ("TEA vs Crypto++ (1 MiB)", "tea:ours", "tea:cryptopp", IN_CACHE, 3.0, "sse"),
    ("TEA vs Crypto++ (1 MiB)", "tea:ours", "tea:cryptopp", IN_CACHE, 10.0, "avx2"),
    ("TEA vs our AVX2 lanes (1 MiB)", "tea:ours", "tea:ours@avx2", IN_CACHE, 1.3, "avx512"),
    ("LZW compress, page", "lzw-compress:ours", "lzw-compress:libtiff", 0, 1.5, None),
    ("LZW compress, page + predictor", "lzw-compress:ours", "lzw-compress:libtiff", 1, 1.5, None),
    ("LZW compress, random", "lzw-compress:ours", "lzw-compress:libtiff", 2, 1.0, None),
    ("LZW expand, page", "lzw-expand:ours", "lzw-expand:libtiff", 0, 1.2, None),
    ("LZW expand, random", "lzw-expand:ours", "lzw-expand:libtiff", 2, 0.9, None),
]
# Yardsticks of a per-level table beyond the other implementations of the
# same codec.
EXTRA_YARDSTICKS = {"crc16-model1:ours": ["crc16-model0:isal-t10dif"]}

# Command level (what, command case, kernel case, kernel argument, target):
# the command at 64 MiB against its kernel plus one memcpy of the input,
# both in the same run; the times add, so the yardstick's throughput is
# 1 / (1 / kernel + 1 / memcpy).
COMMAND_TARGETS = [
    ("CRC-32 command (46)", "command-crc32:ours", "crc32:ours", IN_MEMORY, 0.8),
    ("Base64 encode command (25)", "command-b64encode:ours", "b64encode:ours", IN_MEMORY, 0.8),
    ("Base64 decode command (26)", "command-b64decode:ours", "b64decode:ours", IN_MEMORY, 0.8),
    ("cipher command (19), TEA kernel only", "command-cipher:ours", "tea:ours", IN_MEMORY, 0.8),
    ("LZW compress command (45), random vs kernel on random 1 MiB", "command-lzw:ours", "lzw-compress:ours", 2, 0.8),
]
# Cost grows linearly with size: for the paths bound by computation, the
# throughput at 64 MiB against the same case at 1 MiB.
LINEAR = ["tea:ours", "tea:ours@avx2", "tea:ours@portable", "crc32:ours@portable",
          "b64encode:ours@portable", "b64decode:ours@portable"]
LINEAR_TARGET = 0.8
SMALL_COMMANDS = ["command-crc32:ours", "command-b64encode:ours", "command-b64decode:ours",
                  "command-cipher:ours", "command-lzw:ours"]
SMALL_TARGET = 3.0  # at most this many empty calls
PEAK_TARGET = 3.0  # command 45 on 64 MiB: peak below 3 x input + 4 MiB
# The codec commands on N threads at once: throughput / (N x one thread's).
SCALING_CASES = [("CRC-32 (46)", "scaling-crc32:ours"), ("Base64 encode (25)", "scaling-b64encode:ours"),
                 ("Base64 decode (26)", "scaling-b64decode:ours"), ("cipher (19)", "scaling-cipher:ours"),
                 ("LZW compress (45), random", "scaling-lzw:ours")]
SCALING_TARGET = 0.8  # in cache (1 MiB per thread)
GAPS_NOTES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gaps.md")

PLOTS = ["crc32", "crc16-model1", "b64encode", "b64decode", "tea"]


class Run:
    """One run of `make bench`: its cases' medians and the top CPU level."""

    def __init__(self, name):
        self.name, self.context, self.results = name, {}, {}

    @property
    def top(self):
        return self.context.get("codec_cpu_level", "avx512")

    def levels(self):
        return LEVELS[:LEVELS.index(self.top) + 1] if self.top in LEVELS else LEVELS

    def resolve(self, case, level=None):
        """The case name this run measured for `case`, forced to `level`
        (a level name or "top") when ours has levels."""
        case = ALIASES.get(case, case)
        if "@" not in case and ":ours" in case:
            leveled = "%s@%s" % (case, self.top if level in (None, "top") else level)
            if any(key[0] == leveled for key in self.results):
                return leveled
        return case

    def get(self, case, argument, level=None):
        for name in (case if isinstance(case, tuple) else (case,)):
            # The name itself last, for runs made before the levels.
            row = self.results.get((self.resolve(name, level), argument)) or self.results.get((name, argument))
            if row:
                return row
        return None


def parse_row(row):
    """(case, argument) of a result row: "case/argument" with the argument
    maybe named ("data:0") and maybe followed by fixed settings
    ("/iterations:1/repeats:1", "/real_time/threads:2"); a thread count
    above one becomes part of the case ("case/threads:2")."""
    name = row.get("run_name", row["name"])
    if "/" not in name:
        return None
    parts = name.split("/")
    case, argument = parts[0], int(parts[1].split(":")[-1])
    threads = next((int(p.split(":")[1]) for p in parts[2:] if p.startswith("threads:")), 1)
    return (case if threads == 1 else "%s/threads:%d" % (case, threads)), argument


def load_runs(paths):
    runs = {}
    for path in paths:
        stem = os.path.basename(path)[:-len(".json")]
        key = stem.rsplit("-", 1)[0] if "-" in stem else stem
        run = runs.setdefault(key, Run(key))
        with open(path) as handle:
            data = json.load(handle)
        run.context = run.context or data.get("context", {})
        for row in data["benchmarks"]:
            # With repetitions only the medians count; a single run has no aggregates.
            if row.get("run_type") == "aggregate" and row.get("aggregate_name") != "median":
                continue
            if row.get("error_occurred"):
                continue
            key_row = parse_row(row)
            if key_row:
                run.results[key_row] = row
    return [runs[key] for key in sorted(runs)]


def throughput(row):
    return row.get("bytes_per_second", 0.0) / 1e9 if row else 0.0


def fmt(value):
    return "%.2f" % value if value < 10 else "%.1f" % value


class Judged:
    """A comparison over the runs: per run (ours, yardstick, ratio), then
    the median, lowest and highest ratio; `better` is "high" when a ratio
    must reach the target, "low" when it must stay under it."""

    def __init__(self, label, per_run, target, better="high", target_text=None):
        self.label, self.target, self.better = label, target, better
        self.samples = [sample for sample in per_run if sample is not None]
        self.target_text = target_text or ("%s" % target if better == "high" else "at most %s" % target)

    @property
    def measured(self):
        return bool(self.samples)

    def ratio(self, pick=statistics.median):
        return pick([s[2] for s in self.samples])

    def figure(self, index):
        values = [s[index] for s in self.samples if s[index] is not None]
        return fmt(statistics.median(values)) if values else ""

    @property
    def met(self):
        if not self.measured or self.target is None:
            return False
        return self.ratio() >= self.target if self.better == "high" else self.ratio() <= self.target

    def spread(self):
        if len(self.samples) < 2:
            return ""
        return "%.2f to %.2f" % (self.ratio(min), self.ratio(max))


def pair(run, ours, yardstick, argument, level):
    """(ours GB/s, yardstick GB/s, ratio) in one run, or None."""
    mine, theirs = run.get(ours, argument, level), run.get(yardstick, argument)
    if not mine or not theirs or throughput(theirs) == 0:
        return None
    return throughput(mine), throughput(theirs), throughput(mine) / throughput(theirs)


def target_level_text(level, runs):
    if level is None:
        return ""
    if level == "top":
        return runs[0].top if runs else "top"
    return level


def judged_targets(runs):
    """Every target judged over the runs, as Judged rows; targets at a level
    above every run's top level are left out (not measurable here)."""
    rows = []
    top = max((LEVELS.index(r.top) for r in runs if r.top in LEVELS), default=len(LEVELS) - 1)
    for label, ours, yardstick, argument, target, level in TARGETS:
        if level in LEVELS and LEVELS.index(level) > top:
            continue
        shown = target_level_text(level, runs)
        text = "%s, %s" % (label, shown) if shown else label
        rows.append(Judged(text, [pair(r, ours, yardstick, argument, level) for r in runs], target))
    for label, command, kernel, argument, target in COMMAND_TARGETS:
        samples = []
        for run in runs:
            mine, alone = run.get(command, IN_MEMORY), run.get(kernel, argument, "top")
            memcpy = run.get("ceiling:memcpy", IN_MEMORY)
            if not mine or not alone or not memcpy or throughput(alone) == 0 or throughput(memcpy) == 0:
                samples.append(None)
                continue
            yardstick = 1 / (1 / throughput(alone) + 1 / throughput(memcpy))
            samples.append((throughput(mine), yardstick, throughput(mine) / yardstick))
        rows.append(Judged(label + ", 64 MiB, vs kernel + memcpy", samples, target))
    seen = set()
    for case in LINEAR:
        resolved = runs[0].resolve(case) if runs else case
        if resolved in seen:
            continue
        seen.add(resolved)
        samples = []
        for run in runs:
            large, small = run.get(case, IN_MEMORY), run.get(case, IN_CACHE)
            ok = large and small and throughput(small) > 0
            samples.append((throughput(large), throughput(small), throughput(large) / throughput(small)) if ok else None)
        rows.append(Judged("%s, 64 MiB vs 1 MiB (linear cost)" % resolved, samples, LINEAR_TARGET))
    for command in SMALL_COMMANDS:
        samples = []
        for run in runs:
            mine, empty = run.get(command, 64), run.get("command-empty:ours", 64)
            ok = mine and empty and throughput(mine) > 0
            # Same bytes, so the throughput ratio is the time ratio.
            samples.append((None, None, throughput(empty) / throughput(mine)) if ok else None)
        rows.append(Judged("%s, 64 bytes, time in empty calls" % command.split(":")[0], samples, SMALL_TARGET, "low"))
    for label, case in SCALING_CASES:
        rows.append(Judged("%s on all cores, 1 MiB per thread, scaling" % label,
                           [scaling(run, case, IN_CACHE) for run in runs], SCALING_TARGET))
    # The limit is 3 x input + 4 MiB; in inputs of 64 MiB that is 3.0625.
    limit = PEAK_TARGET + 4.0 / 64
    samples = []
    for run in runs:
        peak = run.get("memory-lzw:ours", IN_MEMORY)
        samples.append((None, None, peak["peak_over_input"]) if peak and "peak_over_input" in peak else None)
    rows.append(Judged("command 45 peak memory on 64 MiB, in inputs (beyond the call's arguments)", samples, limit,
                       "low", "below %.2f" % limit))
    return rows


def scaling(run, case, argument):
    """(N threads GB/s, N x one thread's GB/s, their ratio) for the largest
    thread count the run has, or None."""
    counts = [int(c.rsplit(":", 1)[1]) for (c, a) in run.results if c.startswith(case + "/threads:") and a == argument]
    one = run.get(case, argument)
    if not counts or not one or throughput(one) == 0:
        return None
    threads = max(counts)
    many = run.results[("%s/threads:%d" % (case, threads), argument)]
    return throughput(many), threads * throughput(one), throughput(many) / (threads * throughput(one))


def cpu_per_call(run, case, argument):
    """(CPU time per call on one thread, on N threads, their ratio): shared
    writes (a lock, a counter, false sharing) raise the second even where
    the wall clock is blurred by other load; a lock slept on does not."""
    counts = [int(c.rsplit(":", 1)[1]) for (c, a) in run.results if c.startswith(case + "/threads:") and a == argument]
    one = run.get(case, argument)
    if not counts or not one:
        return None
    many = run.results[("%s/threads:%d" % (case, max(counts)), argument)]
    if not many.get("cpu_time"):
        return None
    return one["cpu_time"], many["cpu_time"], one["cpu_time"] / many["cpu_time"]


def judged_table(rows, with_targets=True):
    lines = ["| comparison | ours GB/s | yardstick GB/s | ratio (median) | lowest to highest run |" +
             (" target | met |" if with_targets else ""),
             "|---|---:|---:|---:|---:|" + ("---:|:---:|" if with_targets else "")]
    for row in rows:
        verdict = "" if not row.measured or row.target is None else "yes" if row.met else "**no**"
        tail = " %s | %s |" % (row.target_text if row.target is not None else "", verdict) if with_targets else ""
        if not row.measured:
            lines.append("| %s | | | missing | |%s" % (row.label, tail))
            continue
        lines.append("| %s | %s | %s | %.2f | %s |%s" % (row.label, row.figure(0), row.figure(1), row.ratio(),
                                                         row.spread(), tail))
    return lines


def pick_yardstick(runs, yardstick):
    """The first of a tuple of yardsticks that the runs measured."""
    if isinstance(yardstick, str):
        return yardstick
    measured = {case for run in runs for (case, _) in run.results}
    return next((name for name in yardstick if name in measured), yardstick[-1])


def level_tables(runs):
    """Per level: ours at that level against every yardstick of its codec
    (and the targets held at that level), at 1 MiB and 64 MiB."""
    lines = []
    if not runs:
        return lines
    bases = sorted({case.split("@")[0] for run in runs for (case, _) in run.results if "@" in case})
    for level in runs[0].levels():
        rows = []
        for base in bases:
            codec = base.split(":")[0]
            yardsticks = sorted({case for run in runs for (case, _) in run.results
                                 if case.split(":")[0] == codec and ":ours" not in case and "/" not in case})
            yardsticks += EXTRA_YARDSTICKS.get(base, [])
            targets = {(pick_yardstick(runs, y), a): t
                       for _, o, y, a, t, lv in TARGETS if o == base and target_level_text(lv, runs) == level}
            compared = [(y, a) for y in yardsticks for a in (IN_CACHE, IN_MEMORY)]
            compared += [key for key in targets if key not in compared]
            for yardstick, argument in compared:
                target = targets.get((yardstick, argument))
                label = "%s vs %s, %s" % (base, yardstick.split(":", 1)[1] if yardstick.startswith(codec + ":")
                                          else yardstick, SIZE_NAMES[argument])
                row = Judged(label, [pair(r, base, yardstick, argument, level) for r in runs], target)
                if row.measured:
                    rows.append(row)
        lines += ["### %s" % LEVEL_TITLES.get(level, level), ""]
        lines += judged_table(rows) + [""]
    return lines


def scaling_table(runs):
    lines = ["| command | per thread | threads | N threads GB/s | N x one thread GB/s | scaling (median) |"
             " lowest to highest run | CPU per call, one thread / N |", "|---|---:|---:|---:|---:|---:|---:|---:|"]
    for label, case in SCALING_CASES:
        for argument in (64, IN_CACHE, IN_MEMORY):
            samples = [scaling(run, case, argument) for run in runs]
            row = Judged(label, samples, SCALING_TARGET if argument == IN_CACHE else None)
            cpu = Judged(label, [cpu_per_call(run, case, argument) for run in runs], None)
            cpu_text = "%.2f" % cpu.ratio() if cpu.measured else ""
            if not row.measured:
                lines.append("| %s | %s | | | | missing | | |" % (label, SIZE_NAMES[argument]))
                continue
            threads = max(int(c.rsplit(":", 1)[1]) for run in runs for (c, a) in run.results
                          if c.startswith(case + "/threads:"))
            lines.append("| %s | %s | %d | %s | %s | %.2f | %s | %s |" % (
                label, SIZE_NAMES[argument], threads, row.figure(0), row.figure(1), row.ratio(), row.spread(),
                cpu_text))
    return lines


def median_results(runs):
    """Each case's figure as the median over the runs (for the tables and
    the plot)."""
    values = defaultdict(list)
    for run in runs:
        for key, row in run.results.items():
            values[key].append(throughput(row))
    return {key: {"bytes_per_second": statistics.median(v) * 1e9} for key, v in values.items()}


def throughput_tables(results):
    groups = defaultdict(lambda: defaultdict(dict))
    for (case, argument), row in results.items():
        if "/" in case:
            continue
        codec, implementation = case.split(":", 1)
        if codec.startswith("memory") or codec.startswith("scaling"):
            continue
        groups[codec][implementation][argument] = throughput(row)
    lines = []
    for codec in sorted(groups):
        implementations = groups[codec]
        arguments = sorted({a for values in implementations.values() for a in values})
        names = DATA_NAMES if codec.startswith("lzw") else SIZE_NAMES
        lines.append("### %s (GB/s)\n" % codec)
        lines.append("| implementation | " + " | ".join(names.get(a, str(a)) for a in arguments) + " |")
        lines.append("|---|" + "---:|" * len(arguments))
        for implementation in sorted(implementations):
            values = implementations[implementation]
            lines.append("| %s | " % implementation + " | ".join(
                fmt(values[a]) if a in values else "" for a in arguments) + " |")
        lines.append("")
    return lines


def gaps_section(rows):
    """The targets the runs did not meet, then the hand-kept notes."""
    lines = ["## Gaps", "", "Targets not met on the median of the runs (computed; the full list is the first table):",
             ""]
    missed = [row for row in rows if not row.met]
    if missed:
        lines += ["| comparison | ratio (median) | lowest to highest run | target |", "|---|---:|---:|---:|"]
        for row in missed:
            lines.append("| %s | %s | %s | %s |" % (row.label, "%.2f" % row.ratio() if row.measured else "missing",
                                                    row.spread(), row.target_text))
    else:
        lines.append("None.")
    lines.append("")
    if os.path.exists(GAPS_NOTES):
        with open(GAPS_NOTES) as handle:
            lines += [handle.read().rstrip("\n"), ""]
    return lines


def svg_plot(results, path):
    """Small multiples: one log-log panel per codec, one line per implementation."""
    panel_width, panel_height, margin = 330, 280, 48
    columns = 3
    rows = math.ceil(len(PLOTS) / columns)
    width, height = columns * panel_width, rows * panel_height + 20
    colours = ["#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#17becf", "#7f7f7f"]
    sizes = [size for size in sorted(SIZE_NAMES) if size >= 1024]  # the kernels' sizes
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="10">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>']
    for index, codec in enumerate(PLOTS):
        left = (index % columns) * panel_width + margin
        top = (index // columns) * panel_height + 30
        plot_width, plot_height = panel_width - margin - 10, panel_height - 110
        series = defaultdict(dict)
        for (case, argument), row in results.items():
            if case.split(":", 1)[0] == codec and argument in sizes:
                series[case.split(":", 1)[1]][argument] = max(throughput(row), 1e-3)
        if not series:
            continue
        values = [v for s in series.values() for v in s.values()]
        low = math.floor(math.log10(min(values)))
        high = math.ceil(math.log10(max(values)))
        if high == low:
            high += 1

        def x_of(size):
            return left + plot_width * sizes.index(size) / (len(sizes) - 1)

        def y_of(value):
            return top + plot_height * (1 - (math.log10(value) - low) / (high - low))

        out.append('<text x="%d" y="%d" font-size="12" font-weight="bold">%s (GB/s, log)</text>' % (left, top - 10, codec))
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#999"/>' % (left, top, plot_width, plot_height))
        for decade in range(low, high + 1):
            y = y_of(10 ** decade)
            out.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#eee"/>' % (left, y, left + plot_width, y))
            out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (left - 4, y + 3, 10 ** decade))
        for size in sizes:
            out.append('<text x="%.1f" y="%d" text-anchor="middle">%s</text>' % (x_of(size), top + plot_height + 12, SIZE_NAMES[size]))
        for number, (implementation, points) in enumerate(sorted(series.items())):
            colour = colours[number % len(colours)]
            dash = "" if implementation.startswith("ours") else ' stroke-dasharray="4,3"'
            coordinates = " ".join("%.1f,%.1f" % (x_of(s), y_of(points[s])) for s in sizes if s in points)
            out.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.6"%s/>' % (coordinates, colour, dash))
            out.append('<text x="%d" y="%d" fill="%s">%s</text>' % (left + (number % 3) * 95, top + plot_height + 26 + 11 * (number // 3), colour, implementation))
    out.append('<text x="10" y="%d" fill="#555">solid: ours; dashed: yardsticks</text>' % (height - 6))
    out.append("</svg>")
    with open(path, "w") as handle:
        handle.write("\n".join(out) + "\n")


def main():
    sources = [arg for arg in sys.argv[1:] if arg.endswith(".json")]
    target = next(arg for arg in sys.argv[1:] if arg.endswith(".md"))
    plot = next((arg for arg in sys.argv[1:] if arg.endswith(".svg")), target.rsplit("/", 1)[0] + "/benchmarks.svg")
    runs = load_runs(sources)
    results = median_results(runs)
    # The plot shows the top level's cases under their plain names, the
    # levels below (1 MiB and 64 MiB only) as "ours@level".
    top = runs[0].top if runs else "avx512"
    plotted = {}
    for (case, argument), row in results.items():
        if case.endswith("@" + top):
            case = case.rsplit("@", 1)[0]
        plotted[(case, argument)] = row
    svg_plot(plotted, plot)
    context = runs[0].context if runs else {}
    dates = ", ".join(run.context.get("date", "?") for run in runs)
    rows = judged_targets(runs)
    lines = [
        "# Codec benchmarks",
        "",
        "Generated by `bench/report.py` from %d run%s of `make bench` (Google Benchmark; within" % (
            len(runs), "" if len(runs) == 1 else "s"),
        "a run each figure is the median of its repetitions). Absolute numbers depend on",
        "the machine and its load; the ratios to the yardsticks, measured in the same",
        "run on the same buffers, are what we track. Each ratio is computed per run;",
        "the tables show the median over the runs with the lowest and the highest run,",
        "and a target counts as met when the median meets it.",
        "",
        "Machine: %s CPUs at %s MHz, codec CPU levels up to %s (detected %s); runs %s." % (
            context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), context.get("codec_cpu_level", "?"),
            context.get("codec_cpu_detected", context.get("codec_cpu_level", "?")), dates),
        "",
        "## Ratios against the targets",
        "",
    ]
    lines += judged_table(rows)
    lines += ["", "## Each CPU level against the yardsticks", "",
              "Our kernels forced to each level the machine supports, in the same runs as",
              "the yardsticks; the targets held at that level are shown beside them.", ""]
    lines += level_tables(runs)
    lines += ["## Scaling across cores", "",
              "The codec commands through `FourDPackex` and the development host on one",
              "thread and on all cores at once, each thread with its own input: the",
              "throughput of all threads together over N times one thread's. Target: at",
              "least %s with 1 MiB per thread (in cache). The last column compares the" % SCALING_TARGET,
              "CPU time of a call on one thread with that on N: near 1, the threads",
              "write nothing shared, and a scaling short of 1 comes from cores the run",
              "did not get (other load) or from a lock slept on.", ""]
    lines += scaling_table(runs)
    lines += ["", "## Throughput against size", "", "![throughput](%s)" % plot.rsplit("/", 1)[-1], "",
              "## Throughput tables", "", "Medians over the runs.", ""]
    lines += throughput_tables(results)
    lines += gaps_section(rows)
    with open(target, "w") as handle:
        handle.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
