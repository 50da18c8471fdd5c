#!/usr/bin/env python3
"""Mutation run: does the test suite notice a deliberate small fault in the code?

Each mutant in tests/mutation/mutants/<area>.txt names a file, an exact snippet of it and the
snippet's replacement. One at a time, in a scratch copy of the tree (build/mutation/tree; the
working tree is never touched), a mutant is applied, the test binaries that link the mutated
code are rebuilt and run, most telling first, until one fails twice (caught; a failure that
does not repeat is flaky) or all pass (missed); then the file is put back. A snippet that no
longer matches exactly once is reported as stale and never counted. Whitespace and line breaks
inside a snippet need not match.

    tests/mutation/mutate.py                 every mutant (make mutation)
    tests/mutation/mutate.py grid keys/...   some areas, or single mutants as area/name
    tests/mutation/mutate.py --check         only look for stale snippets, build nothing
    tests/mutation/mutate.py --list          the mutants and what each one breaks

Every build and test command runs through --wrap (default: qvbuild when it is on the PATH and
no compiler launcher is set yet, so that a shared machine gives its slot one mutant at a time).

Mutant file format: '#' starts a comment line; a blank line ends a mutant.
    mutant <name>
    file <path from the repository root>
    why <the fault a user would meet>          (optional, any number of lines)
    note <why the suite does not catch it>    (optional: printed when it is missed)
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
        self.area, self.name, self.file = area, "", ""
        self.why, self.note, self.original, self.replacement = [], [], [], []

    @property
    def id(self):
        return f"{self.area}/{self.name}"

    def pattern(self):
        chunks = " ".join(self.original).split()
        return re.compile(r"\s+".join(re.escape(chunk) for chunk in chunks))

    def apply(self, text):
        """The mutated text, or None with the reason when the snippet is not there once."""
        matches = list(self.pattern().finditer(text))
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
                if current:
                    mutants.append(current)
                current = None
                continue
            current = current or Mutant(path.stem)
            key, _, rest = line.partition(" ")
            if key == "mutant":
                current.name = rest.strip()
            elif key == "file":
                current.file = rest.strip()
            elif key in ("why", "note"):
                getattr(current, key).append(rest.strip())
            elif key in ("-", "+"):
                (current.original if key == "-" else current.replacement).append(rest)
            else:
                sys.exit(f"{path}:{number}: cannot read '{line}'")
        for m in mutants:
            if m.area == path.stem and not (m.name and m.file and m.original):
                sys.exit(f"{path}: mutant '{m.name}' needs a name, a file and an original")
    return mutants


def wrapper(choice):
    if choice != "auto":
        return choice.split()
    # Inside qvbuild already (it sets the launcher): taking the slot again would wait forever.
    if shutil.which("qvbuild") and "CMAKE_CXX_COMPILER_LAUNCHER" not in os.environ:
        return ["qvbuild"]
    return []


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


def tree_files():
    """The working tree's files as git sees them (tracked or new, not ignored), or, outside a
    repository, every file but the build folder's; never the mutation run's own."""
    try:
        listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard"], cwd=ROOT, capture_output=True,
                                check=True).stdout.decode().split("\0")
        files = [Path(name) for name in listed if name]
    except (OSError, subprocess.CalledProcessError):
        files = [p.relative_to(ROOT) for p in ROOT.rglob("*") if p.is_file()]
        files = [f for f in files if f.parts[0] not in ("build", ".git")]
    return {f for f in files if f.parts[:2] != ("tests", "mutation") and (ROOT / f).is_file()}


def sync_tree():
    """Copies the working tree into the scratch tree, touching only files that differ, so that
    the scratch build stays incremental from run to run."""
    wanted = tree_files()
    for relative in wanted:
        target = TREE / relative
        data = (ROOT / relative).read_bytes()
        if not target.exists() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
    for path in [p for p in TREE.rglob("*") if p.is_file()]:
        if path.relative_to(TREE) not in wanted:
            path.unlink()


def binaries_for(mutant):
    for folder, binaries in SEEN_BY.items():
        if mutant.file.startswith(folder):
            return binaries
    return ALL_BINARIES


def build(binaries, wrap):
    code, output = run(["cmake", "--build", str(BUILD), "-j2", "--target", *binaries], wrap)
    return code == 0, output


def first_failure(binaries, wrap, timeout):
    """(the binary that catches the mutant or None, binaries that failed only once). A catch
    must fail twice: a test that fails once and then passes is flaky and catches nothing. The
    time limit starts inside the wrapper: waiting for the machine's slot does not count."""
    flaky = []
    for binary in binaries:
        for attempt in (1, 2):
            limit = ["timeout", "--kill-after=10", str(timeout)]
            code, _ = run(limit + [str(BUILD / "tests" / binary), "--gtest_brief=1"], wrap, BUILD)
            if code == 0:
                break
            if code in (124, 137):
                return binary + " (timeout)", flaky
            if attempt == 2:
                return binary, flaky
        if attempt == 2:
            flaky.append(binary)
    return None, flaky


def select(mutants, names):
    if not names:
        return mutants
    chosen = [m for m in mutants if m.area in names or m.id in names]
    unknown = set(names) - {m.area for m in mutants} - {m.id for m in mutants}
    if unknown:
        sys.exit("no such area or mutant: " + ", ".join(sorted(unknown)))
    return chosen


def summary(results):
    areas = {}
    for mutant, outcome in results:
        areas.setdefault(mutant.area, []).append((mutant, outcome))
    lines = ["", f"{'area':<10} caught / counted   missed"]
    caught = counted = 0
    for area, entries in areas.items():
        area_caught = sum(o.startswith("caught") for _, o in entries)
        area_counted = sum(o.startswith(("caught", "missed")) for _, o in entries)
        missed = [m.name for m, o in entries if o.startswith("missed")]
        caught, counted = caught + area_caught, counted + area_counted
        lines.append(f"{area:<10} {area_caught:>6} / {area_counted:<9} {', '.join(missed)}")
    others = [f"{m.id}: {o}" for m, o in results if not o.startswith(("caught", "missed"))]
    if others:
        lines += ["", "not counted:"] + ["  " + line for line in others]
    score = 100.0 * caught / counted if counted else 0.0
    lines += ["", f"score: {caught} of {counted} mutants caught ({score:.0f}%)"]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("names", nargs="*", help="areas or area/name (default: every mutant)")
    parser.add_argument("--check", action="store_true", help="report stale snippets only")
    parser.add_argument("--list", action="store_true", help="list the mutants")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per test binary")
    parser.add_argument("--wrap", default="auto", help="command prefix for builds and tests")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))  # puts the mutated file back
    mutants = select(load_mutants(), args.names)

    if args.list:
        for m in mutants:
            print(f"{m.id:<46} {m.file}\n    {' '.join(m.why)}")
        return 0
    stale = [(m, m.apply((ROOT / m.file).read_text())[1] if (ROOT / m.file).exists()
              else "stale (file gone)") for m in mutants]
    stale = [(m, reason) for m, reason in stale if reason]
    if args.check:
        for m, reason in stale:
            print(f"{m.id}: {reason}")
        print(f"{len(mutants) - len(stale)} of {len(mutants)} mutants apply")
        return 1 if stale else 0

    wrap = wrapper(args.wrap)
    sync_tree()
    if not (BUILD / "CMakeCache.txt").exists():
        code, output = run(["cmake", "-S", str(TREE), "-B", str(BUILD),
                            "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQV_BENCH=OFF"], wrap)
        if code != 0:
            sys.exit(output + "\nconfiguring the scratch build failed")
    print("baseline: building and running every test binary on the unchanged code")
    ok, output = build(ALL_BINARIES, wrap)
    failed, flaky = first_failure(ALL_BINARIES, wrap, args.timeout) if ok else (None, [])
    if not ok or failed:
        sys.exit((output if not ok else "") + f"\nthe unchanged code fails ({failed or 'build'}):"
                 " a mutation run means nothing until the suite passes")
    if flaky:
        print("flaky on the unchanged code: " + ", ".join(flaky))

    results = []
    for mutant in mutants:
        path = TREE / mutant.file
        original = path.read_text() if path.exists() else ""
        mutated, reason = mutant.apply(original)
        started = time.monotonic()
        if mutated is None:
            outcome = reason
        else:
            path.write_text(mutated)
            try:
                binaries = binaries_for(mutant)
                ok, output = build(binaries, wrap)
                if not ok:
                    outcome = "broken (does not build)"
                else:
                    failed, flaky = first_failure(binaries, wrap, args.timeout)
                    outcome = f"caught by {failed}" if failed else "missed"
                    if flaky:
                        outcome += " (flaky: " + ", ".join(flaky) + ")"
            finally:
                path.write_text(original)  # a newer time stamp: the next build recompiles it
        results.append((mutant, outcome))
        print(f"{outcome:<34} {mutant.id} ({time.monotonic() - started:.0f} s)", flush=True)
        if outcome.startswith("missed"):
            for line in mutant.why + [f"note: {n}" for n in mutant.note]:
                print(f"{'':<34}   {line}")

    text = summary(results)
    print(text)
    (WORK / "last-run.txt").write_text(
        "\n".join(f"{o:<34} {m.id}" for m, o in results) + "\n" + text + "\n")
    return 1 if any(o.startswith(("stale", "broken")) for _, o in results) else 0


if __name__ == "__main__":
    sys.exit(main())
