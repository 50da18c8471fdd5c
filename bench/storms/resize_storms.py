#!/usr/bin/env python3
"""Resize storms against the dialogue, counted: the ratios of method c that a storm loses,
repeats or garbles, and whether the exit question and its prompt stand on the screen at the end.

Runs each kind of storm in tmux and in the libvterm pseudo-terminal (storm_screen), beside a
CPU load (stress-ng, or busy processes where it is missing):
  listing  25 sizes (heights and widths) 40 ms apart while the 19,999 ratios of c 20000 stream
  prompt   30 heights 30 ms apart at the exit question after c 300, then 80x25 again
  late     (libvterm) the answer to a grow's cursor question comes after the program gave up
  stop     stopped mid-listing, grown 25->40 rows, continued (tmux: Ctrl-Z and fg in a shell)

  bench/storms/resize_storms.py build/default [--storms 20] [--load 4] [--only tmux|vterm]
"""
import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

RATIO = re.compile(r"^-?\d+\.\d{15}$")
EXIT_QUESTION = "Type 'esci' to exit or press enter to continue"


def reference_ratios(program, n):
    out = subprocess.run([program, "c", str(n)], capture_output=True, text=True, check=True)
    return [line for line in out.stdout.splitlines() if RATIO.match(line.strip())]


def ratio_rows(rows):
    """The rows between the pause line and the closing phi~= line, blank ones and a shell's
    (job control, the command typed) left out."""
    start = max((i for i, r in enumerate(rows) if "Premi invio" in r), default=-1)
    end = next((i for i in range(start + 1, len(rows)) if rows[i].startswith("phi~=")), len(rows))
    shell = re.compile(r"^(\[\d+\]|\$ |bash|.*quorvendalist$|fg$)")
    return [r.strip() for r in rows[start + 1:end] if r.strip() and not shell.match(r.strip())]


def count(reference, rows):
    """Lost, repeated and garbled rows: a reference row missing, an extra copy of one, a row
    that is none of them (a replaced row counts as garbled, not as lost too)."""
    known = set(reference)
    lost = repeated = garbled = 0
    matcher = difflib.SequenceMatcher(None, reference, rows, autojunk=False)
    for tag, i1, i2, j1, j2 in matcher.get_opcodes():
        if tag == "equal":
            continue
        missing, extra = i2 - i1, j2 - j1
        if tag == "replace":
            paired = min(missing, extra)
            garbled += paired
            missing -= paired
            extra -= paired
            j1 += paired
        lost += missing
        for row in rows[j2 - extra:j2]:
            if row in known:
                repeated += 1
            else:
                garbled += 1
    return lost, repeated, garbled


def prompt_at(rows, cursor):
    """The prompt on the cursor's row, the exit question the last row with text above it."""
    above = [r.strip() for r in rows[:cursor] if r.strip()]
    return (0 <= cursor < len(rows) and rows[cursor].strip() == "=>" and bool(above) and
            above[-1] == EXIT_QUESTION)


class Tmux:
    """A private tmux server (its own socket), one session at a time."""

    def __init__(self):
        self.socket = "qvstorm%d" % os.getpid()
        self.conf = tempfile.NamedTemporaryFile("w", suffix=".conf", delete=False)
        self.conf.write("set -g history-limit 200000\nset -g escape-time 10\n")
        self.conf.close()

    def run(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", self.conf.name, *args],
                              capture_output=True, text=True).stdout

    def start(self, command):
        self.run("new-session", "-d", "-s", "s", "-x", "80", "-y", "25", command)

    def screen(self):
        return self.run("capture-pane", "-p", "-t", "s").splitlines()

    def all_rows(self):
        return self.run("capture-pane", "-p", "-t", "s", "-S", "-", "-E", "-").splitlines()

    def wait_for(self, text, seconds=120, anywhere=False):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if any(text in row for row in (self.all_rows() if anywhere else self.screen())):
                return True
            time.sleep(0.05)
        return False

    def settle(self):
        last, quiet = None, 0
        for _ in range(600):
            now = self.all_rows()
            quiet = quiet + 1 if now == last else 0
            if quiet >= 10:
                return
            last = now
            time.sleep(0.1)

    def prompt_shown(self):
        at = self.run("display", "-p", "-t", "s", "#{history_size} #{cursor_y}").split()
        return prompt_at(self.all_rows(), int(at[0]) + int(at[1]))

    def keys(self, *keys):
        self.run("send-keys", "-t", "s", *keys)

    def resize(self, rows, cols):
        self.run("resize-window", "-t", "s", "-x", str(cols), "-y", str(rows))

    def stop(self):
        self.run("kill-server")

    def __del__(self):
        os.unlink(self.conf.name)


def tmux_storm(program, mode, seed):
    import random
    rnd = random.Random(seed)
    tmux = Tmux()
    try:
        if mode == "stop":
            tmux.start("env -i PATH=/usr/bin:/bin LANG=C.UTF-8 PS1='$ ' bash --norc --noprofile")
            time.sleep(0.3)
            tmux.keys(program, "Enter")
        else:
            tmux.start("env LANG=C.UTF-8 " + program)
        n = 300 if mode == "prompt" else 20000
        if not tmux.wait_for("=>", 60):
            return None
        tmux.keys("c", "Enter")
        tmux.wait_for("[<47]")
        tmux.keys(str(n), "Enter")
        tmux.wait_for("Premi invio")
        tmux.keys("Enter")
        if mode == "listing":
            time.sleep(0.2)
            for _ in range(25):
                tmux.resize(5 + rnd.randrange(45), 60 + rnd.randrange(40))
                time.sleep(0.04)
            tmux.resize(25, 80)
        elif mode == "prompt":
            tmux.wait_for(EXIT_QUESTION)
            time.sleep(0.1)
            for _ in range(30):
                tmux.resize(5 + rnd.randrange(45), 80)
                time.sleep(0.03)
            tmux.resize(25, 80)
        elif mode == "stop":
            tmux.keys("C-z")
            tmux.wait_for("Stopped", 30)
            tmux.resize(40, 80)
            time.sleep(0.3)
            tmux.keys("fg", "Enter")
        tmux.wait_for(EXIT_QUESTION, 300, anywhere=True)
        tmux.settle()
        return tmux.all_rows(), tmux.prompt_shown()
    finally:
        tmux.stop()


def vterm_storm(build, program, mode, seed):
    with tempfile.NamedTemporaryFile("r", suffix=".rows") as rows:
        out = subprocess.run([os.path.join(build, "storm_screen"), mode, str(seed), rows.name,
                              program], capture_output=True, text=True)
        if out.returncode != 0:
            sys.stderr.write(out.stderr)
            return None
        return rows.read().splitlines(), "prompt 1" in out.stdout


def start_load(cpus):
    if cpus <= 0:
        return []
    if shutil.which("stress-ng"):
        return [subprocess.Popen(["stress-ng", "--cpu", str(cpus), "--quiet"])]
    busy = [sys.executable, "-c", "while True: pass"]
    return [subprocess.Popen(busy) for _ in range(cpus)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--storms", type=int, default=20)
    parser.add_argument("--load", type=int, default=4, help="CPU load processes (0: none)")
    parser.add_argument("--only", choices=["tmux", "vterm"])
    parser.add_argument("--modes", default="listing,prompt,late,stop")
    args = parser.parse_args()
    program = os.path.abspath(os.path.join(args.build, "quorvendalist"))
    references = {n: reference_ratios(program, n) for n in (300, 20000)}
    load = start_load(args.load)
    print("%-6s %-8s %6s %6s %8s %8s %8s %7s" %
          ("where", "kind", "storms", "rows", "lost", "repeated", "garbled", "prompt"))
    try:
        for where in ("vterm", "tmux"):
            if args.only and args.only != where:
                continue
            for mode in args.modes.split(","):
                if where == "tmux" and mode == "late":
                    continue  # tmux answers at once: no way to make it late from here
                runs = args.storms if mode in ("listing", "prompt") else max(args.storms // 4, 1)
                reference = references[300 if mode == "prompt" else 20000]
                totals = [0, 0, 0, 0, 0]
                for seed in range(runs):
                    result = (vterm_storm(args.build, program, mode, seed) if where == "vterm"
                              else tmux_storm(program, mode, seed))
                    if result is None:
                        print("  %s %s %d: did not run" % (where, mode, seed), file=sys.stderr)
                        continue
                    rows, prompt = result
                    lost, repeated, garbled = count(reference, ratio_rows(rows))
                    totals = [totals[0] + 1, totals[1] + lost, totals[2] + repeated,
                              totals[3] + garbled, totals[4] + int(prompt)]
                    if lost or repeated or garbled or not prompt:
                        print("  %s %s seed %d: lost %d, repeated %d, garbled %d, prompt %s" %
                              (where, mode, seed, lost, repeated, garbled, prompt), flush=True)
                print("%-6s %-8s %6d %6d %8d %8d %8d %4d/%d" %
                      (where, mode, totals[0], len(reference), totals[1], totals[2], totals[3],
                       totals[4], totals[0]), flush=True)
    finally:
        for process in load:
            process.terminate()
            process.wait()


if __name__ == "__main__":
    main()
