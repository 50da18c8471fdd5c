#!/usr/bin/env python3
"""Mutation run: does the test suite notice a deliberate small fault in the code?

    tests/mutation/mutate.py                 every mutant (make mutation)
    tests/mutation/mutate.py grid keys/...   some areas, or single mutants as area/name
    tests/mutation/mutate.py --check         only look for stale snippets, build nothing

Each mutant of tests/mutation/mutants/<area>.txt is applied alone in a scratch copy of the tree
(build/mutation/tree; the working tree is never touched); the test binaries that link the
mutated code are rebuilt and run, most telling first, until one fails twice (caught; a failure
that does not repeat is flaky) or all pass (missed). A snippet that does not match exactly once
is stale and never counted; whitespace inside it need not match. Builds and tests run through
--wrap (default: qvbuild when it is on the PATH and no compiler launcher is set yet).

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

# Which test binaries link the code of a source folder, the most telling first. Every binary
# that runs the real program (e2e, menu, the console's terminal tests) sees all of src/.
SEEN_BY = {
    "src/textio/": ["textio_tests", "e2e_tests", "console_tests", "menu_tests", "methods_tests"],
    "src/console/": ["console_tests", "e2e_tests", "menu_tests", "methods_tests"],
    "src/methods/": ["methods_tests", "e2e_tests", "menu_tests", "console_tests"],
    "src/menu/": ["menu_tests", "e2e_tests", "console_tests"],
}
ALL_BINARIES = ["textio_tests", "console_tests", "methods_tests", "menu_tests", "e2e_tests"]


class Mutant:
    def __init__(self, area):
        self.area, self.name, self.file, self.why = area, "", "", []
        self.original, self.replacement = [], []

    @property
    def id(self):
        return f"{self.area}/{self.name}"

    def apply(self, text):
        """The mutated text, or None with the reason when the snippet is not there once."""
        chunks = " ".join(self.original).split()
        pattern = re.compile(r"\s+".join(re.escape(chunk) for chunk in chunks))
        matches = list(pattern.finditer(text))
        if len(matches) != 1:
            return None, "stale (snippet not found)" if not matches else "stale (ambiguous)"
        m = matches[0]
        return text[: m.start()] + "\n".join(self.replacement).lstrip() + text[m.end():], ""


def load_mutants():
    mutants = []
    for path in sorted(MUTANTS.glob("*.txt")):
        current = None
        for number, line in enumerate(path.read_text().splitlines() + [""], 1):
            if line.startswith("#"):
                continue
            if not line.strip():
                if current and not (current.name and current.file and current.original):
                    sys.exit(f"{path}:{number}: a mutant needs a name, a file and an original")
                mutants += [current] if current else []
                current = None
                continue
            current = current or Mutant(path.stem)
            key, _, rest = line.partition(" ")
            if key in ("mutant", "file"):
                setattr(current, "name" if key == "mutant" else "file", rest.strip())
            elif key == "why":
                current.why.append(rest.strip())
            elif key in ("-", "+"):
                (current.original if key == "-" else current.replacement).append(rest)
            else:
                sys.exit(f"{path}:{number}: cannot read '{line}'")
    return mutants


def run(command, wrap, cwd=None):
    """(exit code, output). Stopped early, the harness takes the command's processes along."""
    process = subprocess.Popen(wrap + command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, start_new_session=True, text=True,
                               errors="replace")
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


def first_failure(binaries, wrap, timeout):
    """(the binary that catches the mutant or None, binaries that failed only once). The time
    limit starts inside the wrapper: waiting for the machine's slot does not count."""
    flaky = []
    for binary in binaries:
        for attempt in (1, 2):
            limit = ["timeout", "--kill-after=10", str(timeout)]
            code, _ = run(limit + [str(BUILD / "tests" / binary), "--gtest_brief=1"], wrap, BUILD)
            if code == 0:
                flaky += [binary] if attempt == 2 else []
                break
            if code in (124, 137):
                return binary + " (timeout)", flaky
        else:
            return binary, flaky
    return None, flaky


def test_mutant(mutant, wrap, timeout):
    binaries = next((b for folder, b in SEEN_BY.items() if mutant.file.startswith(folder)),
                    ALL_BINARIES)
    code, _ = run(["cmake", "--build", str(BUILD), "-j2", "--target", *binaries], wrap)
    if code != 0:
        return "broken (does not build)"
    failed, flaky = first_failure(binaries, wrap, timeout)
    return (f"caught by {failed}" if failed else "missed") + (
        " (flaky: " + ", ".join(flaky) + ")" if flaky else "")


def summary(results):
    lines, areas = ["", f"{'area':<10} caught / counted   missed"], {}
    for mutant, outcome in results:
        areas.setdefault(mutant.area, []).append((mutant, outcome))
    for area, entries in areas.items():
        caught = sum(o.startswith("caught") for _, o in entries)
        counted = sum(o.startswith(("caught", "missed")) for _, o in entries)
        missed = ", ".join(m.name for m, o in entries if o.startswith("missed"))
        lines.append(f"{area:<10} {caught:>6} / {counted:<9} {missed}")
    others = [f"  {m.id}: {o}" for m, o in results if not o.startswith(("caught", "missed"))]
    lines += ["", "not counted:"] + others if others else []
    caught = sum(o.startswith("caught") for _, o in results)
    counted = sum(o.startswith(("caught", "missed")) for _, o in results)
    score = 100.0 * caught / counted if counted else 0.0
    return "\n".join(lines + ["", f"score: {caught} of {counted} mutants caught ({score:.0f}%)"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("names", nargs="*", help="areas or area/name (default: every mutant)")
    parser.add_argument("--check", action="store_true", help="report stale snippets only")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per test binary")
    parser.add_argument("--wrap", default="auto", help="command prefix for builds and tests")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # puts the mutated file back
    mutants = load_mutants()
    unknown = set(args.names) - {m.area for m in mutants} - {m.id for m in mutants}
    if unknown:
        sys.exit("no such area or mutant: " + ", ".join(sorted(unknown)))
    mutants = [m for m in mutants if not args.names or m.area in args.names or m.id in args.names]

    if args.check:
        stale = [(m, m.apply((ROOT / m.file).read_text())[1] if (ROOT / m.file).exists()
                  else "stale (file gone)") for m in mutants]
        stale = [f"{m.id}: {reason}" for m, reason in stale if reason]
        print("\n".join(stale + [f"{len(mutants) - len(stale)} of {len(mutants)} mutants apply"]))
        return 1 if stale else 0

    # Inside qvbuild already (it sets the launcher), taking the slot again would wait forever.
    wrap = args.wrap.split() if args.wrap != "auto" else (
        ["qvbuild"] if shutil.which("qvbuild") and "CMAKE_CXX_COMPILER_LAUNCHER" not in os.environ
        else [])
    sync_tree()
    if not (BUILD / "CMakeCache.txt").exists():
        code, output = run(["cmake", "-S", str(TREE), "-B", str(BUILD),
                            "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQV_BENCH=OFF"], wrap)
        if code != 0:
            sys.exit(output + "\nconfiguring the scratch build failed")
    print("baseline: building and running every test binary on the unchanged code")
    code, output = run(["cmake", "--build", str(BUILD), "-j2", "--target", *ALL_BINARIES], wrap)
    failed, flaky = first_failure(ALL_BINARIES, wrap, args.timeout) if code == 0 else ("build", [])
    if failed:
        sys.exit((output if code else "") + f"\nthe unchanged code fails ({failed}):"
                 " a mutation run means nothing until the suite passes")
    if flaky:
        print("flaky on the unchanged code: " + ", ".join(flaky))

    results = []
    for mutant in mutants:
        started, path = time.monotonic(), TREE / mutant.file
        original = path.read_text() if path.exists() else ""
        mutated, outcome = mutant.apply(original)
        if mutated is not None:
            path.write_text(mutated)
            try:
                outcome = test_mutant(mutant, wrap, args.timeout)
            finally:
                path.write_text(original)  # a newer time stamp: the next build recompiles it
        results.append((mutant, outcome))
        print(f"{outcome:<34} {mutant.id} ({time.monotonic() - started:.0f} s)", flush=True)
        if outcome.startswith("missed"):
            print("\n".join(f"{'':<37}{line}" for line in mutant.why))

    text = summary(results)
    print(text)
    (WORK / "last-run.txt").write_text(
        "\n".join(f"{o:<34} {m.id}" for m, o in results) + "\n" + text + "\n")
    return 1 if any(o.startswith(("stale", "broken")) for _, o in results) else 0


if __name__ == "__main__":
    sys.exit(main())
