#!/usr/bin/env python3
"""Mutation testing of the plugin's sources (src/**/*.cpp, src/**/*.h).

Each mutant is one operator applied at one site of one line. The tool builds
the mutant in its own build directory, compares the built binaries with the
unmutated ones (an identical build means the mutant changed no code), runs the
tests that cover the mutated folder, and records the outcome in
<build-dir>/mutation.json, rewritten after every mutant so that a run can be
resumed, and summarised in <build-dir>/mutation.md.

Invariants: a mutated file is always put back byte for byte (try/finally, and
SIGINT/SIGTERM are turned into an exception that reaches the finally); the
tool refuses to start when src/ has uncommitted changes, so "put back" always
means "as committed". The sample depends only on the sources and --seed.
Standard library only; docs/testing.md explains use and scoring.
"""
import argparse
import hashlib
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ["base", "host", "codecs", "resources", "formats", "printdoc", "frame"]
MIN_PER_FOLDER = 10

# Which tests run for a mutant of each src/ folder: a gtest filter for
# bin/lqm_tests and a ctest -R regex (None: no ctest run). The codec,
# resource, format and print layers are reached through the command table,
# so their rows include the robustness and fault-walk suites and the session
# transcripts. base, host and frame sit under everything, so they run every
# unit test and every ctest that runs a built binary. The other ctests
# (include layers, generated docs, the zip) read no mutable code.
CTEST_BINARIES = "^(session|interop|plugin_exports)"
WALKS = "FaultWalk.*:RobustnessTable.*:HostileFiles.*:LifecycleAbuse.*"
TESTS_BY_FOLDER = {
    #  folder      gtest filter                                                ctest regex
    "base":      ("*",                                                          CTEST_BINARIES),
    "host":      ("*",                                                          CTEST_BINARIES),
    "frame":     ("*",                                                          CTEST_BINARIES),
    "codecs":    ("Base64*:Crc*:Tea*:ByteOrder.*:Lzw*:Envelope.*:CodecCommands.*:"
                  "ConcurrentCallers.*:FuzzCorpus.*:ResourceCompiler.*:" + WALKS, "^(session|interop)"),
    "resources": ("Resource*:Discovery.*:PluginInHost.*:" + WALKS,              "^session"),
    "formats":   ("FormatCommands.*:Discovery.*:" + WALKS,                      "^session"),
    "printdoc":  ("PrintCommands.*:PrintVocabulary.*:SlotStore.*:" + WALKS,     "^session"),
}
# ctest's "unit" test is bin/lqm_tests unfiltered; it is run directly instead.
CTEST_EXCLUDE = "^unit$"
BUILD_TARGETS = ["lqm_tests", "VarnelFolioforge", "lqm-host", "lqm_interop_tests"]
# The binaries whose hash tells whether a mutant changed the program.
HASHED = ["bin/lqm_tests", "bin/lqm-host", "bin/lqm_interop_tests",
          "app/Plugins/VarnelFolioforge.bundle/Contents/Linux64/VarnelFolioforge.so"]

# The operators: SWAPS gives each swapping operator's replacement for every
# token it matches; OPERATORS the pattern that finds its sites. Patterns run
# on the masked line (comments and literals blanked), so they see code only;
# sites_in_line then drops the matches that are not what the operator means
# (template brackets, unary signs, streams).
SWAPS = {
    "rel": {"<": ">=", ">": "<=", "<=": ">", ">=": "<"},
    "eq": {"==": "!=", "!=": "=="},
    "arith": {"+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+="},
    "shift": {"<<": ">>", ">>": "<<", "<<=": ">>=", ">>=": "<<="},
    "bit": {"&": "|", "|": "&", "&=": "|=", "|=": "&="},
    "logic": {"&&": "||", "||": "&&"},
}
OPERATORS = {
    "rel":       r"(?<![<>=!-])(<=|>=|<|>)(?![<>=])",
    "eq":        r"(==|!=)",
    "arith":     r"(?<![+\-*/=<>!&|^%])(\+=|-=|\+|-|\*|/)(?![+\-=>*/])",
    "shift":     r"(?<![<>])(<<=|>>=|<<|>>)(?![<>])",
    "bit":       r"(?<![&|])(&=|\|=|&|\|)(?![&|=])",
    "logic":     r"(&&|\|\|)",
    "const":     r"(?<![\w.])(0[xX][0-9a-fA-F]+|[1-9]\d*|0)([uUlL]*)(?![\w.'])",
    "negate":    r"\b(if|while)(\s+constexpr)?\s*\(",
    "drop_call": r"^(\s*)([A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\s*\(.*\)\s*;)\s*$",
}
KEYWORDS = {"return", "case", "throw", "delete", "new", "sizeof", "co_return", "else", "do",
            "if", "while", "for", "switch", "static_assert", "alignof", "decltype", "typeid"}
TYPE_WORDS = {"char", "int", "void", "auto", "const", "unsigned", "long", "short", "bool",
              "double", "float", "volatile", "struct", "class", "typename"}
SKIP_LINE = re.compile(r"\b(static_assert|template|operator|#\s*include)\b")
STREAM = re.compile(r"\b(std::(cout|cerr|clog|endl)|\w*stream\b|os|out)\s*<<")
LINUX_EXCLUDED = {"_WIN32", "_WIN64", "_MSC_VER"}


def mask_code(text):
    """Blanks comments and string/char literals (keeping line breaks), so
    that every later pattern sees code only."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_") or text[i - 1] in "Lu8U"):
            delim = text[i + 2:text.find("(", i)]
            j = text.find(")" + delim + '"', i)
            j = n if j < 0 else j + len(delim) + 2
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j += 1
        else:
            out.append(c)
            i += 1
            continue
        out.append(re.sub(r"[^\n]", " ", text[i:j]))
        i = j
    return "".join(out)


def excluded_lines(lines):
    """Line numbers (1-based) that are preprocessor directives or sit in an
    #if branch known not to be compiled on Linux (#if 0, _WIN32, _MSC_VER).
    Branches it cannot decide count as compiled; the build hash catches them."""
    skip, stack, continued = set(), [], False
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if continued or stripped.startswith("#"):
            skip.add(number)
            continued = stripped.endswith("\\")
            word = re.match(r"#\s*(\w+)\s*(.*)", stripped) if stripped.startswith("#") else None
            if word:
                kind, cond = word.group(1), word.group(2).strip()
                if kind in ("if", "ifdef", "ifndef"):
                    stack.append(branch_state(kind, cond))
                elif kind == "elif" and stack:
                    stack[-1] = "out" if stack[-1] == "in" else "unknown"
                elif kind == "else" and stack:
                    stack[-1] = {"in": "out", "out": "in"}.get(stack[-1], "unknown")
                elif kind == "endif" and stack:
                    stack.pop()
            continue
        if "out" in stack:
            skip.add(number)
    return skip


def branch_state(kind, cond):
    names = "|".join(LINUX_EXCLUDED)
    if kind == "if" and cond == "0":
        return "out"
    if (kind == "ifdef" and cond in LINUX_EXCLUDED
            or kind == "if" and re.fullmatch(rf"defined\s*\(?\s*({names})\s*\)?", cond)):
        return "out"
    if (kind == "ifndef" and cond in LINUX_EXCLUDED
            or kind == "if" and re.fullmatch(rf"!\s*defined\s*\(?\s*({names})\s*\)?", cond)):
        return "in"
    return "unknown"


def template_spans(code):
    """Column ranges of template argument lists (`name<...>`) on one masked
    line: their angle brackets and contents are never mutated."""
    spans = []
    for m in re.finditer(r"[\w)]\s*<", code):
        start, depth = m.end() - 1, 0
        for j in range(start, len(code)):
            ch = code[j]
            depth += ch == "<"
            depth -= ch == ">"
            if depth == 0:
                inner = code[start + 1:j]
                if (re.fullmatch(r"[\w\s:,*&\[\]<>()]*", inner) and "&&" not in inner
                        and inner.count("(") == inner.count(")")):
                    spans.append((start, j + 1))
                break
            if not re.match(r"[\w\s:,*&\[\]<>()]", ch):
                break
    return spans


def previous_token(code, col):
    m = re.search(r"([\w.]+|\S)\s*$", code[:col])
    return m.group(1) if m else ""


def is_binary(code, col, op):
    """True when the operator at col has a value on its left (so it is not a
    unary minus, a dereference, an address-of or part of a declaration)."""
    prev = previous_token(code, col)
    if not prev or prev in KEYWORDS or not (prev[-1].isalnum() or prev[-1] in "_)]"):
        return False
    if re.fullmatch(r"\d[\w.]*[eE]", prev):  # 1e-5
        return False
    if op in ("*", "&"):
        spaced = code[col - 1:col] == " " and code[col + len(op):col + len(op) + 1] == " "
        return spaced and prev not in TYPE_WORDS and not prev.endswith("_t")
    return True


def sites_in_line(code, original, prev_code):
    """All (column, operator, mutated line) of one line; code is the masked
    line, original the real one, prev_code the previous non-blank masked line."""
    found = []
    spans = template_spans(code)
    in_template = lambda c: any(a <= c < b for a, b in spans)
    stream = bool(STREAM.search(code))
    for op, pattern in OPERATORS.items():
        for m in re.finditer(pattern, code):
            col = m.start(1) if op != "drop_call" else m.start(2)
            text = m.group(2) if op == "drop_call" else m.group(1)
            if op in ("rel", "shift") and in_template(col):
                continue
            if op == "shift" and stream:
                continue
            if op in ("arith", "bit") and not is_binary(code, col, text):
                continue
            if op == "const":
                if in_template(col):
                    continue
                # One mutant per literal, so literals do not crowd out the
                # other operators: +1 or -1 by the column's parity, +1 for 0.
                is_hex = text[:2].lower() == "0x"
                value = int(text, 16 if is_hex else 10)
                delta = 1 if value == 0 or col % 2 else -1
                literal = hex(value + delta) if is_hex else str(value + delta)
                found.append((col, f"const{delta:+d}", original[:col] + literal + original[m.end(1):]))
                continue
            if op == "negate":
                close = matching_paren(code, m.end() - 1)
                if close is None:
                    continue
                inner = original[m.end():close]
                found.append((m.start(1), op, original[:m.end()] + "!(" + inner + ")" + original[close:]))
                continue
            if op == "drop_call":
                head = re.match(r"[\w:.\->]+", text).group(0).split("::")[-1]
                if head in KEYWORDS or matching_paren(code, code.index("(", col)) != len(code.rstrip()) - 2:
                    continue
                keep = ";" if re.search(r"(\)|\belse)\s*$", prev_code) else ""
                found.append((col, op, original[:col] + keep + "\n"))
                continue
            found.append((col, op, original[:col] + SWAPS[op][text] + original[col + len(text):]))
    return found


def matching_paren(code, open_col):
    depth = 0
    for j in range(open_col, len(code)):
        depth += code[j] == "("
        depth -= code[j] == ")"
        if depth == 0:
            return j
    return None


def sites_in_file(path):
    name = str(path.relative_to(ROOT))
    return [dict(site, file=name) for site in sites_in_text(path.read_text())]


def sites_in_text(text):
    lines = text.splitlines(keepends=True)
    masked = mask_code(text).splitlines(keepends=True)
    skip = excluded_lines(lines)
    result, prev_code, open_parens = [], "", 0
    for number, (original, code) in enumerate(zip(lines, masked), 1):
        # A static_assert or template line that goes on over further lines
        # skips them too, up to its closing parenthesis.
        if open_parens > 0 or SKIP_LINE.search(code):
            open_parens = max(0, open_parens) + code.count("(") - code.count(")")
            continue
        if number in skip:
            continue
        if code.strip():
            for col, op, mutated in sites_in_line(code, original, prev_code):
                if mutated != original:
                    result.append({"line": number, "col": col + 1,
                                   "op": op, "original": original.rstrip("\n"), "mutated": mutated.rstrip("\n")})
            prev_code = code
    return result


def all_sites(folders):
    sites = []
    for folder in folders:
        for path in sorted((ROOT / "src" / folder).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                sites.extend(sites_in_file(path))
    for s in sites:
        s["id"] = f"{s['file']}:{s['line']}:{s['col']}:{s['op']}"
        s["folder"] = s["file"].split("/")[1]
    return sites


def quotas(counts, total):
    """Shares of `total` proportional to counts, at least MIN_PER_FOLDER each
    (fewer when the folder or the total is too small)."""
    floor = min(MIN_PER_FOLDER, total // max(1, len(counts)))
    all_sites_count = sum(counts.values())
    share = {f: min(n, max(floor, round(total * n / all_sites_count))) for f, n in counts.items()}
    while sum(share.values()) > total:
        f = max((f for f in share if share[f] > floor), key=lambda f: share[f])
        share[f] -= 1
    while sum(share.values()) < total and any(share[f] < counts[f] for f in share):
        f = max((f for f in share if share[f] < counts[f]), key=lambda f: total * counts[f] / all_sites_count - share[f])
        share[f] += 1
    return share


def draw(sites, count, seed):
    rng = random.Random(seed)
    by_folder = {f: [s for s in sites if s["folder"] == f] for f in FOLDERS}
    by_folder = {f: v for f, v in by_folder.items() if v}
    share = quotas({f: len(v) for f, v in by_folder.items()}, count)
    sample = []
    for f in by_folder:
        sample.extend(rng.sample(by_folder[f], share[f]))
    return sample


# --------------------------------------------------------------------------
# Running mutants
# --------------------------------------------------------------------------
class Stop(Exception):
    pass


def on_signal(signum, _frame):
    raise Stop(f"signal {signum}")


def run(cmd, timeout, cwd=ROOT):
    """Runs cmd in its own process group; returns (status, seconds, tail of
    output) with status "ok", "failed" or "timeout"."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        status = "ok" if proc.returncode == 0 else "failed"
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        status = "timeout"
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise
    return status, time.monotonic() - start, out


def build(build_dir, timeout):
    return run(["cmake", "--build", str(build_dir), "--target", *BUILD_TARGETS, "-j1"], timeout)


def binaries_hash(build_dir):
    digest = hashlib.sha256()
    for rel in HASHED:
        path = build_dir / rel
        if path.exists():
            digest.update(rel.encode() + path.read_bytes())
    return digest.hexdigest()


def run_tests(build_dir, folder, timeout, all_tests=False):
    """Runs the folder's tests (every test that runs a built binary with
    all_tests); returns (outcome, detail): outcome is "killed", "timeout" or
    "survived"."""
    gtest, ctest = ("*", CTEST_BINARIES) if all_tests else TESTS_BY_FOLDER[folder]
    steps = [("gtest " + gtest, [str(build_dir / "bin/lqm_tests"), "--gtest_brief=1", "--gtest_filter=" + gtest])]
    if ctest:
        steps.append(("ctest " + ctest, ["ctest", "--test-dir", str(build_dir), "-R", ctest, "-E", CTEST_EXCLUDE,
                                         "--stop-on-failure", "--timeout", str(timeout)]))
    for name, cmd in steps:
        # ctest bounds each of its tests by itself; the outer bound is a backstop.
        status, _, out = run(cmd, timeout * (3 if name.startswith("ctest") else 1), cwd=build_dir)
        if status == "timeout" or (name.startswith("ctest") and "Timeout" in out):
            return "timeout", name
        if status == "failed":
            return "killed", name
    return "survived", ""


def mutate_one(site, build_dir, args, baseline):
    path = ROOT / site["file"]
    original = path.read_bytes()
    lines = original.decode().splitlines(keepends=True)
    assert lines[site["line"] - 1].rstrip("\n") == site["original"], "source moved since the sample was drawn"
    lines[site["line"] - 1] = site["mutated"] + "\n"
    start = time.monotonic()
    try:
        path.write_text("".join(lines))
        status, build_s, out = build(build_dir, args.build_timeout)
        if status != "ok":
            outcome, detail = "build_failed", ("build timeout" if status == "timeout" else first_error(out))
        elif binaries_hash(build_dir) == baseline:
            outcome, detail = "no_change", ""
        else:
            outcome, detail = run_tests(build_dir, site["folder"], args.timeout, args.all_tests)
    finally:
        # A second signal must not interrupt the restore itself.
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM})
        path.write_bytes(original)
        signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGINT, signal.SIGTERM})
    return dict(site, outcome=outcome, detail=detail, build_seconds=round(build_s, 1),
                seconds=round(time.monotonic() - start, 1))


def first_error(out):
    errors = [line for line in out.splitlines() if "error:" in line or "Error" in line]
    lines = errors or out.strip().splitlines()[-1:] or [""]
    return lines[0][-300:]


def ensure_build(build_dir, timeout, sanitize=False):
    if not (build_dir / "CMakeCache.txt").exists():
        # The sanitized build catches the mutants that only overrun a block or
        # misuse memory, which a plain build runs without a visible fault.
        extra = ["-DLQM_SANITIZE=ON"] if sanitize else []
        status, _, out = run(["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
                              "-DLQM_BUILD_BENCHMARKS=OFF"] + extra, timeout)
        if status != "ok":
            sys.exit("configure failed:\n" + out[-3000:])
    # Everything once, so that the baseline's full ctest finds all it runs.
    status, seconds, out = run(["cmake", "--build", str(build_dir), "-j1"], timeout * 10)
    if status != "ok":
        sys.exit("the unmutated tree does not build:\n" + out[-3000:])
    return seconds


def measure_baseline(build_dir, timeout):
    """Times the full unit tests and the full ctest on the unmutated build;
    every mutant is judged against these passing."""
    times = {}
    for name, cmd in (("lqm_tests", [str(build_dir / "bin/lqm_tests"), "--gtest_brief=1"]),
                      ("ctest", ["ctest", "--test-dir", str(build_dir), "-E", CTEST_EXCLUDE])):
        status, seconds, out = run(cmd, timeout * 5, cwd=build_dir)
        if status != "ok":
            sys.exit(f"{name} fails on the unmutated tree:\n{out[-3000:]}")
        times[name] = round(seconds, 1)
    return times


def save(results_path, state):
    tmp = results_path.with_suffix(".tmp")
    tmp.write_text(json.dumps(state, indent=1))
    tmp.replace(results_path)


# --------------------------------------------------------------------------
# Report
# --------------------------------------------------------------------------
OUTCOMES = ["killed", "timeout", "survived", "build_failed", "no_change"]


def score(counts):
    caught = counts["killed"] + counts["timeout"]
    judged = caught + counts["survived"]
    return f"{100 * caught / judged:.1f}%" if judged else "n/a"


def report(state):
    mutants = state["mutants"]
    rows = {}
    for m in mutants:
        rows.setdefault(m["folder"], dict.fromkeys(OUTCOMES, 0))[m["outcome"]] += 1
    total = dict.fromkeys(OUTCOMES, 0)
    for counts in rows.values():
        for k in OUTCOMES:
            total[k] += counts[k]
    spent = sum(m["seconds"] for m in mutants)
    md = [f"# Mutation run (seed {state['seed']}, {len(mutants)} of {state['count']} mutants)", "",
          f"Unmutated tests: lqm_tests {state['baseline']['lqm_tests']} s, ctest {state['baseline']['ctest']} s. "
          f"Time per mutant: {spent / max(1, len(mutants)):.1f} s on average.", "",
          "| folder | " + " | ".join(OUTCOMES) + " | score |", "|---" * (len(OUTCOMES) + 2) + "|"]
    for folder in FOLDERS + ["total"]:
        counts = total if folder == "total" else rows.get(folder)
        if counts:
            md.append(f"| {folder} | " + " | ".join(str(counts[k]) for k in OUTCOMES) + f" | {score(counts)} |")
    md += ["", "Score = (killed + timeout) / (killed + timeout + survived).", "", "## Survivors", ""]
    for m in sorted((m for m in mutants if m["outcome"] == "survived"), key=lambda m: m["id"]):
        md += [f"- `{m['file']}:{m['line']}` {m['op']}", "  ```", "  - " + m["original"].strip(),
               "  + " + m["mutated"].strip(), "  ```"]
    return "\n".join(md) + "\n"


# --------------------------------------------------------------------------
def src_is_clean():
    out = subprocess.run(["git", "status", "--porcelain", "--", "src"], cwd=ROOT,
                         capture_output=True, text=True, check=True).stdout
    return not out.strip()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--seed", type=int, default=17)
    p.add_argument("--count", type=int, default=240)
    p.add_argument("--build-dir", default="build-mut")
    p.add_argument("--only", nargs="+", choices=FOLDERS, metavar="FOLDER")
    p.add_argument("--pick", nargs="+", metavar="ID", help="run these mutants (file:line:col:op) instead of a sample")
    p.add_argument("--list", action="store_true", help="print the sample and stop")
    p.add_argument("--resume", action="store_true", help="keep the results already in mutation.json")
    p.add_argument("--timeout", type=int, default=300, help="seconds per test command (a hang counts as killed)")
    p.add_argument("--build-timeout", type=int, default=900)
    p.add_argument("--all-tests", action="store_true",
                   help="run every unit test and binary-running ctest for each mutant, not the folder's share "
                        "(for comparing two test suites whose test names differ)")
    p.add_argument("--sanitize", action="store_true",
                   help="configure a new build dir with ASan and UBSan (for rerunning survivors)")
    args = p.parse_args()

    folders = args.only or FOLDERS
    sites = all_sites(folders)
    sample = [s for s in sites if s["id"] in set(args.pick)] if args.pick else draw(sites, args.count, args.seed)
    sample.sort(key=lambda s: (s["file"], s["line"], s["col"], s["op"]))
    if args.list:
        per = {f: sum(s["folder"] == f for s in sites) for f in folders}
        drawn = {f: sum(s["folder"] == f for s in sample) for f in folders}
        print(f"{len(sites)} candidate sites: " + ", ".join(f"{f} {n}" for f, n in per.items()))
        print(f"{len(sample)} drawn: " + ", ".join(f"{f} {n}" for f, n in drawn.items()))
        for s in sample:
            print(f"{s['id']}\n    - {s['original'].strip()}\n    + {s['mutated'].strip()}")
        return
    if not src_is_clean():
        sys.exit("src/ has uncommitted changes; commit or stash them first")

    build_dir = (ROOT / args.build_dir).resolve()
    results_path = build_dir / "mutation.json"
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    try:
        ensure_build(build_dir, args.build_timeout, args.sanitize)
        baseline = binaries_hash(build_dir)
        state = {"seed": args.seed, "count": len(sample), "mutants": []}
        if args.resume and results_path.exists():
            state = json.loads(results_path.read_text())
            state["count"] = len({m["id"] for m in state["mutants"]} | {s["id"] for s in sample})
        else:
            state["baseline"] = measure_baseline(build_dir, args.timeout)
            print(f"unmutated: lqm_tests {state['baseline']['lqm_tests']} s, ctest {state['baseline']['ctest']} s")
        done = {m["id"] for m in state["mutants"]}
        todo = [s for s in sample if s["id"] not in done]
        for i, site in enumerate(todo, 1):
            result = mutate_one(site, build_dir, args, baseline)
            state["mutants"].append(result)
            save(results_path, state)
            (build_dir / "mutation.md").write_text(report(state))
            print(f"[{i}/{len(todo)}] {result['outcome']:12} {result['seconds']:6.1f}s  {site['id']}", flush=True)
        # Leave the build matching the sources, so the next run's baseline is right.
        build(build_dir, args.build_timeout)
    except Stop as stop:
        sys.exit(f"stopped by {stop}; sources restored, rerun with --resume")
    print(f"results: {results_path} and {build_dir / 'mutation.md'}")


if __name__ == "__main__":
    main()
