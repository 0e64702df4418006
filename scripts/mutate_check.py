#!/usr/bin/env python3
"""Self-check of scripts/mutate.py's site finder, run by ctest: each sample
line (or short file) must give exactly the mutated lines listed, so a finder
that mutates inside a comment, a literal, a template argument list, a
preprocessor line or a Windows-only branch fails here. Standard library only.
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutate import sites_in_text  # noqa: E402

CASES = [
    # source                                   every mutated line expected
    ('Log("a < b && c", \'<\');  // a < b\n', {""}),
    ("std::vector<uint8_t> v(n);\n", set()),
    ("p->size = q->size; ++i; --j;\n", set()),
    ("if (a < b) Stop();\n", {"if (a >= b) Stop();", "if (!(a < b)) Stop();"}),
    ("while (x != 0) x = x >> 2;\n", {"while (x == 0) x = x >> 2;", "while (x != 0) x = x << 2;",
                                       "while (x != 1) x = x >> 2;", "while (x != 0) x = x >> 1;",
                                       "while (!(x != 0)) x = x >> 2;"}),
    ("static_assert(sizeof(int) < 8);\n#include <map>\nstatic_assert(a ==\n  b, \"x\");\n", set()),
    ("#if defined(_WIN32)\nw = a + b;\n#else\nl = a * b;\n#endif\n", {"l = a / b;"}),
    ("#if 0\nw = a + b;\n#endif\n/* a - b\n c < d */ m = a - b;\n", {" c < d */ m = a + b;"}),
    ("int* p = &x; Foo& r = y;\n", set()),
    ("return -count | mask;\n", {"return -count & mask;"}),
    ("ok = a && b;\n", {"ok = a || b;"}),
    ("n = 0x10 + 9u;\n", {"n = 0x10 - 9u;", "n = 0xf + 9u;", "n = 0x10 + 10u;"}),
    ('std::puts(R"(x < y)");\n', {""}),
    ("if (ready)\n  Flush(out);\n", {"if (!(ready))", "  ;"}),
]


def main():
    failures = 0
    for source, expected in CASES:
        got = {site["mutated"] for site in sites_in_text(source)}
        if got != expected:
            failures += 1
            print(f"FAIL {source!r}\n  expected {sorted(expected)}\n  got      {sorted(got)}")
    print(f"{len(CASES) - failures}/{len(CASES)} site-finder cases pass")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
