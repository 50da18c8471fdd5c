# Method a with n lines under Wine in an 80x25 pseudo-terminal drained as fast as possible: time
# from the Enter after n to the exit question. Usage: wine_throughput.py N WINE PROGRAM.exe
import os, pty, sys, time, select, signal, termios, struct, fcntl
n = sys.argv[1]; args = sys.argv[2:]
pid, fd = pty.fork()
if pid == 0:
    os.execvp(args[0], args)
fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack('HHHH', 25, 80, 0, 0))
buf = b''
def until(token, t=600):
    global buf
    end = time.monotonic() + t
    while token not in buf and time.monotonic() < end:
        r, _, _ = select.select([fd], [], [], 1)
        if r:
            try: buf += os.read(fd, 65536)
            except OSError: return
        buf = buf[-4096:]
def raw():
    while termios.tcgetattr(fd)[3] & termios.ICANON: time.sleep(0.005)
until(b'=>'); raw(); os.write(fd, b'a\r'); until(b'ciclo'); raw()
t0 = time.monotonic(); os.write(fd, n.encode() + b'\r'); until(b'phi~='); until(b'continue'); t = time.monotonic() - t0
print("n=%s: %.2f s" % (n, t))
os.kill(pid, signal.SIGKILL); os.waitpid(pid, 0)
