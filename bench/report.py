#!/usr/bin/env python3
"""Turns the benchmark JSON (Google Benchmark, aggregates) into
docs/benchmarks.md: a throughput table per codec, the ratios the targets are
written against, and an SVG plot of throughput against size drawn here
(no plotting library needed).

Usage: report.py BENCH.json [MORE.json ...] OUT.md [OUT.svg]
(several runs' files are merged: `make bench` runs the kernels and the
commands separately)
Medians are used throughout; ratios are ours / yardstick in the same run.
The page ends with a "Gaps" section: the targets not met, computed from the
run, followed by bench/gaps.md (hand-kept analysis: where the time goes and
what would close each gap), included verbatim so that a rerun keeps it.
"""
import os
import json
import math
import sys
from collections import defaultdict

SIZE_NAMES = {1024: "1 KiB", 65536: "64 KiB", 1048576: "1 MiB", 67108864: "64 MiB"}
DATA_NAMES = {0: "page", 1: "page + predictor", 2: "random 1 MiB"}

# (what, ours, yardstick, argument, target ratio); a pair of targets is
# (without AVX-512, with AVX-512 VBMI), chosen by the level the run recorded.
TARGETS = [
    ("CRC-32 in cache", "crc32:ours", "crc32:isal", 1048576, 0.9),
    ("CRC-32 in memory", "crc32:ours", "crc32:isal", 67108864, 0.9),
    ("CRC-32 portable vs zlib (1 MiB)", "crc32:ours-portable", "crc32:zlib", 1048576, 1.0),
    ("CRC-32 portable vs zlib (64 MiB)", "crc32:ours-portable", "crc32:zlib", 67108864, 1.0),
    ("CRC-32 128-bit fold vs ISA-L's (64 KiB)", "crc32:ours-sse", "crc32:isal-128", 65536, 0.9),
    ("CRC-32 128-bit fold vs ISA-L's (1 MiB)", "crc32:ours-sse", "crc32:isal-128", 1048576, 0.9),
    ("CRC-32 128-bit fold vs ISA-L's (64 MiB)", "crc32:ours-sse", "crc32:isal-128", 67108864, 0.9),
    ("CRC-16 model 0 vs ISA-L t10dif (1 MiB)", "crc16-model0:ours", "crc16-model0:isal-t10dif", 1048576, 0.8),
    ("CRC-16 model 1 vs ISA-L t10dif (1 MiB)", "crc16-model1:ours", "crc16-model0:isal-t10dif", 1048576, 0.8),
    ("CRC-16 model 1 vs crcutil (1 MiB)", "crc16-model1:ours", "crc16-model1:crcutil", 1048576, 5.0),
    ("Base64 encode in cache vs modp", "b64encode:ours", "b64encode:modp", 1048576, (6.0, 12.0)),
    ("Base64 decode in cache vs modp", "b64decode:ours", "b64decode:modp", 1048576, (6.0, 12.0)),
    ("Base64 encode in memory vs modp", "b64encode:ours", "b64encode:modp", 67108864, 4.0),
    ("Base64 decode in memory vs modp", "b64decode:ours", "b64decode:modp", 67108864, 4.0),
    ("Base64 decode, lines of 76, vs modp clean (1 MiB)", "b64decode:ours-lines76", "b64decode:modp", 1048576, 3.0),
    ("TEA vs Crypto++, best lanes", "tea:ours", "tea:cryptopp", 1048576, (10.0, 25.0)),
    ("TEA AVX2 lanes vs Crypto++", "tea:ours-avx2", "tea:cryptopp", 1048576, 10.0),
    ("TEA SSE lanes vs Crypto++", "tea:ours-sse", "tea:cryptopp", 1048576, 3.0),
    ("TEA AVX-512 vs AVX2 lanes", "tea:ours", "tea:ours-avx2", 1048576, (1.0, 1.3)),
    ("LZW compress, page", "lzw-compress:ours", "lzw-compress:libtiff", 0, 1.5),
    ("LZW compress, page + predictor", "lzw-compress:ours", "lzw-compress:libtiff", 1, 1.5),
    ("LZW compress, random", "lzw-compress:ours", "lzw-compress:libtiff", 2, 1.0),
    ("LZW expand, page", "lzw-expand:ours", "lzw-expand:libtiff", 0, 1.2),
    ("LZW expand, random", "lzw-expand:ours", "lzw-expand:libtiff", 2, 0.9),
]

# Command level (what, command case, kernel case, kernel argument, target):
# the command at 64 MiB against its kernel plus one memcpy of the input,
# both in the same run; the times add, so the yardstick's throughput is
# 1 / (1 / kernel + 1 / memcpy).
COMMAND_TARGETS = [
    ("CRC-32 command (46)", "command-crc32:ours", "crc32:ours", 67108864, 0.8),
    ("Base64 encode command (25)", "command-b64encode:ours", "b64encode:ours", 67108864, 0.8),
    ("Base64 decode command (26)", "command-b64decode:ours", "b64decode:ours", 67108864, 0.8),
    ("cipher command (19), TEA kernel only", "command-cipher:ours", "tea:ours", 67108864, 0.8),
    ("LZW compress command (45), random vs kernel on random 1 MiB", "command-lzw:ours", "lzw-compress:ours", 2, 0.8),
]
# Cost grows linearly with size: for the paths bound by computation, the
# throughput at 64 MiB against the same case at 1 MiB.
SCALING = ["tea:ours", "tea:ours-avx2", "tea:ours-scalar", "crc32:ours-portable",
           "b64encode:ours-scalar", "b64decode:ours-scalar"]
SCALING_TARGET = 0.8
SMALL_COMMANDS = ["command-crc32:ours", "command-b64encode:ours", "command-b64decode:ours",
                  "command-cipher:ours", "command-lzw:ours"]
SMALL_TARGET = 3.0  # at most this many empty calls
PEAK_TARGET = 3.0  # command 45 on 64 MiB: peak below 3 x input + 4 MiB
GAPS_NOTES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "gaps.md")

PLOTS = ["crc32", "crc16-model1", "b64encode", "b64decode", "tea"]


def load(path):
    with open(path) as handle:
        data = json.load(handle)
    results = {}
    for row in data["benchmarks"]:
        # With repetitions only the medians count; a single run has no aggregates.
        if row.get("run_type") == "aggregate" and row.get("aggregate_name") != "median":
            continue
        name = row.get("run_name", row["name"])
        if "/" not in name:
            continue
        # "case/argument", the argument maybe named ("data:0") and maybe
        # followed by fixed settings ("/iterations:1/repeats:1").
        case, argument = name.split("/")[:2]
        argument = int(argument.split(":")[-1])
        results[(case, argument)] = row
    return data.get("context", {}), results


def throughput(row):
    return row.get("bytes_per_second", 0.0) / 1e9


def fmt(value):
    return "%.2f" % value if value < 10 else "%.1f" % value


def throughput_tables(results):
    groups = defaultdict(lambda: defaultdict(dict))
    for (case, argument), row in results.items():
        codec, implementation = case.split(":", 1)
        if codec.startswith("memory"):
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


def measured_targets(results, context):
    """Every target as (label, ours, yardstick, ratio, target text, met):
    ours and yardstick as printed, ratio None when a case is missing."""
    rows = []
    avx512 = context.get("codec_cpu_level") == "avx512"
    for label, ours, yardstick, argument, target in TARGETS:
        if isinstance(target, tuple):
            target = target[1] if avx512 else target[0]
            label += " (%s)" % ("AVX-512" if avx512 else "AVX2")
        mine, theirs = results.get((ours, argument)), results.get((yardstick, argument))
        if not mine or not theirs or throughput(theirs) == 0:
            rows.append((label, "", "", None, "%s" % target, False))
            continue
        ratio = throughput(mine) / throughput(theirs)
        rows.append((label, fmt(throughput(mine)), fmt(throughput(theirs)), ratio, "%s" % target, ratio >= target))
    memcpy = results.get(("ceiling:memcpy", 67108864))
    for label, command, kernel, argument, target in COMMAND_TARGETS:
        mine, alone = results.get((command, 67108864)), results.get((kernel, argument))
        label = label + ", 64 MiB, vs kernel + memcpy"
        if not mine or not alone or not memcpy or throughput(alone) == 0 or throughput(memcpy) == 0:
            rows.append((label, "", "", None, "%s" % target, False))
            continue
        yardstick = 1 / (1 / throughput(alone) + 1 / throughput(memcpy))
        ratio = throughput(mine) / yardstick
        rows.append((label, fmt(throughput(mine)), fmt(yardstick), ratio, "%s" % target, ratio >= target))
    for case in SCALING:
        large, small = results.get((case, 67108864)), results.get((case, 1048576))
        label = "%s, 64 MiB vs 1 MiB (linear cost)" % case
        if not large or not small or throughput(small) == 0:
            rows.append((label, "", "", None, "%s" % SCALING_TARGET, False))
            continue
        ratio = throughput(large) / throughput(small)
        rows.append((label, fmt(throughput(large)), fmt(throughput(small)), ratio, "%s" % SCALING_TARGET,
                     ratio >= SCALING_TARGET))
    empty = results.get(("command-empty:ours", 64))
    for command in SMALL_COMMANDS:
        mine = results.get((command, 64))
        label = "%s, 64 bytes, time in empty calls" % command.split(":")[0]
        if not mine or not empty or throughput(mine) == 0:
            rows.append((label, "", "", None, "at most %s" % SMALL_TARGET, False))
            continue
        calls = throughput(empty) / throughput(mine)  # same bytes, so time ratio
        rows.append((label, "", "", calls, "at most %s" % SMALL_TARGET, calls <= SMALL_TARGET))
    peak = results.get(("memory-lzw:ours", 67108864))
    label = "command 45 peak memory on 64 MiB, in inputs (beyond the call's arguments)"
    if peak and "peak_over_input" in peak:
        # The limit is 3 x input + 4 MiB; in inputs of 64 MiB that is 3.0625.
        limit = PEAK_TARGET + 4.0 / 64
        value = peak["peak_over_input"]
        rows.append((label, "", "", value, "below %.2f" % limit, value < limit))
    else:
        rows.append((label, "", "", None, "below 3 x input + 4 MiB", False))
    return rows


def ratio_table(results, context):
    lines = ["| comparison | ours GB/s | yardstick GB/s | ratio | target | met |", "|---|---:|---:|---:|---:|:---:|"]
    for label, mine, theirs, ratio, target, met in measured_targets(results, context):
        if ratio is None:
            lines.append("| %s | | | missing | %s | |" % (label, target))
            continue
        lines.append("| %s | %s | %s | %.2f | %s | %s |" % (label, mine, theirs, ratio, target, "yes" if met else "**no**"))
    return lines


def gaps_section(results, context):
    """The targets this run did not meet, then the hand-kept notes."""
    lines = ["## Gaps", "", "Targets not met in this run (computed; the full list is the first table):", ""]
    missed = [row for row in measured_targets(results, context) if not row[5]]
    if missed:
        lines += ["| comparison | ratio | target |", "|---|---:|---:|"]
        for label, _, _, ratio, target, _ in missed:
            lines.append("| %s | %s | %s |" % (label, "missing" if ratio is None else "%.2f" % ratio, target))
    else:
        lines.append("None.")
    lines.append("")
    if os.path.exists(GAPS_NOTES):
        with open(GAPS_NOTES) as handle:
            lines += [handle.read().rstrip("\n"), ""]
    return lines


def svg_plot(results, path):
    """Small multiples: one log-log panel per codec, one line per implementation."""
    panel_width, panel_height, margin = 330, 230, 48
    columns = 3
    rows = math.ceil(len(PLOTS) / columns)
    width, height = columns * panel_width, rows * panel_height + 20
    colours = ["#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#17becf", "#7f7f7f"]
    sizes = sorted(SIZE_NAMES)
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="10">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>']
    for index, codec in enumerate(PLOTS):
        left = (index % columns) * panel_width + margin
        top = (index // columns) * panel_height + 30
        plot_width, plot_height = panel_width - margin - 10, panel_height - 70
        series = defaultdict(dict)
        for (case, argument), row in results.items():
            if case.split(":", 1)[0] == codec and argument in SIZE_NAMES:
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
    context, results = {}, {}
    for source in sources:
        more_context, more_results = load(source)
        context = context or more_context
        results.update(more_results)
    svg_plot(results, plot)
    lines = [
        "# Codec benchmarks",
        "",
        "Generated by `bench/report.py` from a run of `make bench` (Google Benchmark,",
        "median of the repetitions). Absolute numbers depend on the machine and its",
        "load; the ratios to the yardsticks, measured in the same run on the same",
        "buffers, are what we track.",
        "",
        "Machine: %s CPUs at %s MHz, codec CPU level %s; run %s." % (
            context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), context.get("codec_cpu_level", "?"),
            context.get("date", "?")),
        "",
        "## Ratios against the targets",
        "",
    ]
    lines += ratio_table(results, context)
    lines += ["", "## Throughput against size", "", "![throughput](%s)" % plot.rsplit("/", 1)[-1], "", "## Throughput tables", ""]
    lines += throughput_tables(results)
    lines += gaps_section(results, context)
    with open(target, "w") as handle:
        handle.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
