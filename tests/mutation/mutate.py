#!/usr/bin/env python3
"""Mutation run: does the test suite notice a deliberate small fault in the code?

    tests/mutation/mutate.py                 every mutant (make mutation)
    tests/mutation/mutate.py grid keys/...   some areas, or single mutants as area/name
    tests/mutation/mutate.py --check         only look for stale snippets, build nothing
    tests/mutation/mutate.py --table [...]   every test that catches each mutant, not only the
                                             first binary: build/mutation/table.txt

Each mutant of tests/mutation/mutants/<area>.txt is applied alone in a scratch copy of the tree
(build/mutation/tree; the working tree is never touched); the test binaries that link the
mutated code are rebuilt and run, most telling first, until one fails twice (caught; a failure
that does not repeat is flaky) or all pass (missed). A snippet that does not match exactly once
is stale and never counted; whitespace inside it need not match. Builds and tests run through
qvbuild when it is on the PATH and no compiler launcher is set yet (inside qvbuild already,
taking its slot again would wait forever).

Mutant files: '#' starts a comment line, a blank line ends a mutant.
    mutant <name>
    file <path from the repository root>
    why <the fault a user would meet>          (any number of lines)
    - <original line>                          (one or more)
    + <replacement line>                       (none: the snippet is deleted)
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
MUTANTS = Path(__file__).resolve().parent / "mutants"
WORK = ROOT / "build" / "mutation"
TREE, BUILD = WORK / "tree", WORK / "build"
TIMEOUT = 120  # seconds per test binary, once it has the machine's slot

# Which test binaries link the code of a source folder, the most telling first. The binaries
# that run a program on a terminal (e2e: the real one; console: its helpers) see all of src/.
SEEN_BY = {
    "src/channels/": ["channels_tests", "e2e_tests", "console_tests", "menu_tests", "methods_tests"],
    "src/runtime/": ["runtime_tests", "e2e_tests", "console_tests", "menu_tests", "methods_tests"],
    "src/arithmetic/": ["arithmetic_tests", "runtime_tests", "methods_tests", "e2e_tests",
                        "menu_tests"],
    "src/console/": ["console_tests", "e2e_tests", "menu_tests", "methods_tests"],
    "src/methods/": ["methods_tests", "e2e_tests", "menu_tests", "console_tests"],
    "src/menu/": ["menu_tests", "e2e_tests", "console_tests"],
    "src/picture/": ["picture_tests", "e2e_tests", "menu_tests"],
}
ALL_BINARIES = ["channels_tests", "runtime_tests", "arithmetic_tests", "console_tests",
                "methods_tests", "menu_tests", "picture_tests", "e2e_tests"]
WRAP = ["qvbuild"] if shutil.which("qvbuild") and "CMAKE_CXX_COMPILER_LAUNCHER" not in os.environ \
    else []


def load_mutants():
    """Every mutant as a dict: id, area, file, why, and the original ("-") and replacement
    ("+") lines."""
    mutants = []
    for path in sorted(MUTANTS.glob("*.txt")):
        text = "\n".join(line for line in path.read_text().splitlines() if line[:1] != "#")
        for block in re.split(r"\n\s*\n", text):
            if not block.strip():
                continue
            mutant = {"area": path.stem, "why": [], "-": [], "+": []}
            for line in block.strip("\n").splitlines():
                key, _, rest = line.partition(" ")
                if key not in ("mutant", "file", "why", "-", "+"):
                    sys.exit(f"{path}: cannot read '{line}'")
                if key in ("mutant", "file"):
                    mutant[key] = rest.strip()
                else:
                    mutant[key].append(rest.strip() if key == "why" else rest)
            if not ("mutant" in mutant and "file" in mutant and mutant["-"]):
                sys.exit(f"{path}: a mutant needs a name, a file and an original:\n{block}")
            mutant["id"] = f"{path.stem}/{mutant['mutant']}"
            mutants.append(mutant)
    return mutants


def apply(mutant, text):
    """The mutated text, or None with the reason when the snippet is not there once."""
    chunks = " ".join(mutant["-"]).split()
    matches = list(re.finditer(r"\s+".join(re.escape(chunk) for chunk in chunks), text))
    if len(matches) != 1:
        return None, "stale (snippet not found)" if not matches else "stale (ambiguous)"
    start, end = matches[0].span()
    return text[:start] + "\n".join(mutant["+"]).lstrip() + text[end:], ""


def run(command, cwd=None):
    """(exit code, output). Stopped early, the harness takes the command's processes along."""
    process = subprocess.Popen(WRAP + command, cwd=cwd, stdout=subprocess.PIPE, text=True,
                               stderr=subprocess.STDOUT, start_new_session=True, errors="replace")
    try:
        output, _ = process.communicate()
        return process.returncode, output
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        raise


def sync_tree():
    """Copies the files git knows in the working tree (tracked or new, not ignored) into the
    scratch tree, touching only those that differ, so that the scratch build stays
    incremental from run to run."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=ROOT, capture_output=True, check=True).stdout.decode()
    wanted = {Path(name) for name in listed.split("\0")
              if name and Path(name).parts[:2] != ("tests", "mutation") and (ROOT / name).is_file()}
    for relative in wanted:
        target, data = TREE / relative, (ROOT / relative).read_bytes()
        if not target.exists() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
    for path in [p for p in TREE.rglob("*") if p.is_file()]:
        if path.relative_to(TREE) not in wanted:
            path.unlink()


def outcome(binaries):
    """Builds and runs the binaries: "caught by ...", "missed" or "broken", and who was flaky."""
    code, output = run(["cmake", "--build", str(BUILD), "-j2", "--target", *binaries])
    if code != 0:
        return "broken (does not build)", [], output
    flaky = []
    for binary in binaries:
        for attempt in (1, 2):
            limit = ["timeout", "--kill-after=10", str(TIMEOUT)]
            code, _ = run(limit + [str(BUILD / "tests" / binary), "--gtest_brief=1"], BUILD)
            if code in (124, 137):
                return f"caught by {binary} (timeout)", flaky, ""
            if code == 0:
                flaky += [binary] if attempt == 2 else []
                break
        else:
            return f"caught by {binary}", flaky, ""
    return "missed", flaky, ""


def failing_tests(binaries):
    """Every test of the binaries that fails with the mutant in, each confirmed by a second run
    of that test alone (a failure that does not repeat is flaky and left out); None when the
    mutant does not build."""
    code, _ = run(["cmake", "--build", str(BUILD), "-j2", "--target", *binaries])
    if code != 0:
        return None
    failed = []
    for binary in binaries:
        limit = ["timeout", "--kill-after=10", str(TIMEOUT)]
        code, output = run(limit + [str(BUILD / "tests" / binary), "--gtest_brief=1"], BUILD)
        if code in (124, 137):
            failed.append(f"{binary}:(timeout)")
            continue
        for name in sorted(set(re.findall(r"^\[  FAILED  \] ([^\s,]+\.[^\s,]+)", output, re.M))):
            again, _ = run(limit + [str(BUILD / "tests" / binary), f"--gtest_filter={name}"], BUILD)
            if again != 0:
                failed.append(f"{binary}:{name}")
    return failed


def table_report(rows):
    """The catchers of each mutant, then the tests that are some mutant's only catcher."""
    lines = [f"{m['id']}: " + (", ".join(c) if c else "MISSED") if c is not None
             else f"{m['id']}: broken (does not build)" for m, c in rows]
    sole = {}
    for mutant, catchers in rows:
        if catchers is not None and len(catchers) == 1:
            sole.setdefault(catchers[0], []).append(mutant["id"])
    lines += ["", "only catcher of:"] + [f"  {t}: {', '.join(ids)}" for t, ids in sorted(sole.items())]
    return "\n".join(lines) + "\n"


def tally(entries):
    return (sum(r.startswith("caught") for _, r in entries),
            sum(r.startswith(("caught", "missed")) for _, r in entries))


def summary(results):
    lines, areas = ["", f"{'area':<10} caught / counted   missed"], {}
    for mutant, result in results:
        areas.setdefault(mutant["area"], []).append((mutant, result))
    for area, entries in areas.items():
        missed = ", ".join(m["mutant"] for m, r in entries if r.startswith("missed"))
        lines.append(f"{area:<10} {tally(entries)[0]:>6} / {tally(entries)[1]:<9} {missed}")
    others = [f"  {m['id']}: {r}" for m, r in results if not r.startswith(("caught", "missed"))]
    lines += ["", "not counted:"] + others if others else []
    caught, counted = tally(results)
    score = 100.0 * caught / counted if counted else 0.0
    return "\n".join(lines + ["", f"score: {caught} of {counted} mutants caught ({score:.0f}%)"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("names", nargs="*", help="areas or area/name (default: every mutant)")
    parser.add_argument("--check", action="store_true", help="report stale snippets only")
    parser.add_argument("--table", action="store_true",
                        help="run every test with each mutant: which tests catch it")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # puts the mutated file back
    mutants = load_mutants()
    unknown = set(args.names) - {m["area"] for m in mutants} - {m["id"] for m in mutants}
    if unknown:
        sys.exit("no such area or mutant: " + ", ".join(sorted(unknown)))
    mutants = [m for m in mutants if not args.names or {m["area"], m["id"]} & set(args.names)]
    if args.check:
        stale = []
        for mutant in mutants:
            path = ROOT / mutant["file"]
            reason = apply(mutant, path.read_text())[1] if path.exists() else "stale (file gone)"
            stale += [f"{mutant['id']}: {reason}"] if reason else []
        print("\n".join(stale + [f"{len(mutants) - len(stale)} of {len(mutants)} mutants apply"]))
        return 1 if stale else 0

    sync_tree()
    if not (BUILD / "CMakeCache.txt").exists():
        code, output = run(["cmake", "-S", str(TREE), "-B", str(BUILD),
                            "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQV_BENCH=OFF"])
        if code != 0:
            sys.exit(output + "\nconfiguring the scratch build failed")
    print("baseline: building and running every test binary on the unchanged code")
    result, flaky, output = outcome(ALL_BINARIES)
    if result != "missed":
        sys.exit(f"{output}\nthe unchanged code fails ({result}): a mutation run means nothing"
                 " until the suite passes")
    if flaky:
        print("flaky on the unchanged code: " + ", ".join(flaky))

    if args.table:
        rows = []
        for mutant in mutants:
            started, path = time.monotonic(), TREE / mutant["file"]
            original = path.read_text() if path.exists() else ""
            mutated, reason = apply(mutant, original)
            if mutated is None:
                print(f"{reason:<34} {mutant['id']}", flush=True)
                continue
            path.write_text(mutated)
            try:
                binaries = next((b for folder, b in SEEN_BY.items()
                                 if mutant["file"].startswith(folder)), ALL_BINARIES)
                rows.append((mutant, failing_tests(binaries)))
            finally:
                path.write_text(original)
            caught = rows[-1][1]
            print(f"{len(caught) if caught is not None else 'broken'} catchers  {mutant['id']}"
                  f" ({time.monotonic() - started:.0f} s)", flush=True)
            (WORK / "table.txt").write_text(table_report(rows))
        print(table_report(rows))
        return 0

    results = []
    for mutant in mutants:
        started, path = time.monotonic(), TREE / mutant["file"]
        original = path.read_text() if path.exists() else ""
        mutated, result = apply(mutant, original)
        if mutated is not None:
            path.write_text(mutated)
            try:
                binaries = next((b for folder, b in SEEN_BY.items()
                                 if mutant["file"].startswith(folder)), ALL_BINARIES)
                result, flaky, _ = outcome(binaries)
                result += " (flaky: " + ", ".join(flaky) + ")" if flaky else ""
            finally:
                path.write_text(original)  # a newer time stamp: the next build recompiles it
        results.append((mutant, result))
        print(f"{result:<34} {mutant['id']} ({time.monotonic() - started:.0f} s)", flush=True)
        if result.startswith("missed"):
            print("\n".join(f"{'':<37}{line}" for line in mutant["why"]))

    text = summary(results)
    print(text)
    (WORK / "last-run.txt").write_text(
        "\n".join(f"{r:<34} {m['id']}" for m, r in results) + "\n" + text + "\n")
    return 1 if any(r.startswith(("stale", "broken")) for _, r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
