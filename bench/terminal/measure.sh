#!/usr/bin/env bash
# Measures the terminal host on the real program in a pseudo-terminal of 80x32:
#   - time from start to the first screen drawn,
#   - bytes written per echoed key, and for the whole dialogue,
#   - processor time used while waiting at a prompt for 10 s,
#   - peak resident memory,
#   - how soon the program ends after its terminal hangs up.
# Usage: bench/terminal/measure.sh [path to mirvane]   (default: builds build/release)
set -euo pipefail
cd "$(dirname "$0")/../.."

program=${1:-}
if [[ -z $program ]]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRVANE_BUILD_TESTS=OFF >/dev/null
  cmake --build build/release --target mirvane >/dev/null
  program=build/release/app/mirvane
fi
program=$(realpath "$program")

exec python3 - "$program" <<'PYTHON'
import fcntl, os, pty, select, signal, struct, sys, termios, time

program = sys.argv[1]
env = dict(os.environ, TERM="xterm-256color", LANG="C.UTF-8", LC_ALL="")
env.pop("NO_COLOR", None)


def spawn(argv=None):
    pid, fd = pty.fork()
    if pid == 0:
        os.execve((argv or [program])[0], argv or [program], env)
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 32, 80, 0, 0))
    return pid, fd


seen_at = 0.0


def read_until(fd, needle, timeout=10.0):
    """Everything the program writes until needle has appeared and the output has paused;
    seen_at is when needle appeared."""
    global seen_at
    data = b""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        wait = 0.05 if needle in data else end - time.monotonic()
        ready, _, _ = select.select([fd], [], [], max(wait, 0))
        if not ready:
            if needle in data:
                return data
            continue
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        if needle not in data and needle in data + chunk:
            seen_at = time.monotonic()
        data += chunk
    if needle not in data:
        raise SystemExit(f"did not see {needle!r}")
    return data


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kib(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return -1


# ---- start-up, echo and the whole dialogue --------------------------------------------------
starts = []
for _ in range(9):
    started = time.monotonic()
    pid, fd = spawn()
    read_until(fd, b"[F/M]?")
    starts.append((seen_at - started) * 1000)
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    os.close(fd)

# The same measure of a program that only prints the text: what the harness itself costs.
baseline = []
for _ in range(5):
    started = time.monotonic()
    pid, fd = spawn(["/usr/bin/printf", "[F/M]?"])
    read_until(fd, b"[F/M]?")
    baseline.append((seen_at - started) * 1000)
    os.waitpid(pid, 0)
    os.close(fd)

pid, fd = spawn()
total = len(read_until(fd, b"[F/M]?"))
echo_sizes = []


def type_key(key, expect):
    global total
    os.write(fd, key)
    out = read_until(fd, expect)
    total += len(out)
    return out


echo_sizes.append(len(type_key(b"M", b"M")))
total += len(type_key(b"\r", b"left speaker?"))
for digit in b"1234567890123456789":
    echo_sizes.append(len(type_key(bytes([digit]), bytes([digit]))))
backspace = len(type_key(b"\x7f", b"\b"))

# Waiting at a prompt: the processor time the program uses in 10 s of nothing.
before = cpu_seconds(pid)
time.sleep(10)
idle = cpu_seconds(pid) - before

total += len(type_key(b"\r", b"right speaker?"))
for answer, shows in [(b"3\r", b"Height of left/right"), (b"\r", b"centre speaker?"),
                      (b"2\r", b"Height of centre"), (b"\r", b"left surround"),
                      (b"\r", b"right surround"), (b"\r", b"Height of surround"),
                      (b"\r", b"press any key")]:
    total += len(type_key(answer, shows))
rss = peak_rss_kib(pid)
os.write(fd, b"q")
while True:
    try:
        chunk = os.read(fd, 65536)
    except OSError:
        break
    if not chunk:
        break
    total += len(chunk)
_, status = os.waitpid(pid, 0)

# ---- hang-up -------------------------------------------------------------------------------
hangups = []
for _ in range(5):
    pid, fd = spawn()
    read_until(fd, b"[F/M]?")
    started = time.monotonic()
    os.close(fd)  # the terminal goes away
    while os.waitpid(pid, os.WNOHANG) == (0, 0):
        time.sleep(0.001)
    hangups.append((time.monotonic() - started) * 1000)

print(f"start to first screen drawn: median {sorted(starts)[len(starts) // 2]:.1f} ms, "
      f"max {max(starts):.1f} ms (goal < 10 ms); printf(1) in the same harness: median "
      f"{sorted(baseline)[2]:.1f} ms")
print(f"bytes per echoed key: first {echo_sizes[0]}, then median "
      f"{sorted(echo_sizes[1:])[len(echo_sizes[1:]) // 2]}, max {max(echo_sizes[1:])} "
      f"(goal <= 16); Backspace {backspace}")
print(f"bytes for the whole dialogue: {total} (exit status {os.waitstatus_to_exitcode(status)})")
print(f"processor time waiting 10 s at a prompt: {idle * 1000:.0f} ms = {idle * 10:.2f}% of a core "
      f"(goal < 1%)")
print(f"peak resident memory: {rss} KiB = {rss / 1024:.2f} MiB (goal < 4 MiB)")
print(f"end after the terminal hangs up: median {sorted(hangups)[2]:.1f} ms, "
      f"max {max(hangups):.1f} ms (goal < 1000 ms)")
PYTHON
