# Start-up under Wine: time from the start to the first "=>" on a pseudo-terminal, with the
# Wine server already running. Usage: wine_startup.py RUNS WINE PROGRAM.exe (docs/performance.md)
import os, pty, sys, time, select, signal, statistics
def once(args):
    t0 = time.monotonic()
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(args[0], args)
    out = b''
    while b'=>' not in out:
        r, _, _ = select.select([fd], [], [], 5)
        if not r: break
        try: out += os.read(fd, 4096)
        except OSError: break
    t = time.monotonic() - t0
    try: os.kill(pid, signal.SIGKILL)
    except ProcessLookupError: pass
    os.waitpid(pid, 0); os.close(fd)
    time.sleep(0.5)
    return t
runs = int(sys.argv[1]); args = sys.argv[2:]
once(args)
times = [once(args) for _ in range(runs)]
print("median %.3f s, min %.3f s, max %.3f s over %d runs" % (statistics.median(times), min(times), max(times), runs))
