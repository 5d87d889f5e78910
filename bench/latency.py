#!/usr/bin/env python3
"""Start-up and close latency of the built programs, beside baselines that need no
project code: filling 192 MB of fresh memory, reading the image files with cat,
and writing and syncing 256 MB. Each figure is the median of five runs.

Usage: bench/latency.py [BUILD_DIR]   (default build/release)
quillomar's first paint is timed under a private Xvfb (skipped without Xvfb)."""

import ctypes
import mmap
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

RUNS = 5
MEMORY_BYTES = 192_000_000


def median_ms(samples_ns):
    return statistics.median(samples_ns) / 1e6


def timed_run(args, **kw):
    """Wall time in ns and peak resident memory in KB of one run to its exit."""
    start = time.monotonic_ns()
    process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
    _, _, usage = os.wait4(process.pid, 0)
    process.returncode = 0
    return time.monotonic_ns() - start, usage.ru_maxrss


def memset_baseline():
    block = mmap.mmap(-1, MEMORY_BYTES)
    start = time.monotonic_ns()
    view = ctypes.c_char.from_buffer(block)
    ctypes.memset(ctypes.addressof(view), ord('.'), MEMORY_BYTES)
    elapsed = time.monotonic_ns() - start
    del view
    block.close()
    return elapsed


def sync_baseline(folder):
    path = os.path.join(folder, "sync_baseline.bin")
    chunk = b"." * (1 << 22)
    start = time.monotonic_ns()
    with open(path, "wb") as out:
        for _ in range(256_000_000 // len(chunk)):
            out.write(chunk)
        out.flush()
        os.fsync(out.fileno())
    elapsed = time.monotonic_ns() - start
    os.remove(path)
    return elapsed


def start_xvfb():
    if shutil.which("Xvfb") is None:
        return None, None
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = os.read(read_end, 32).decode().strip()
    os.close(read_end)
    return server, ":" + number


def window_run(binary, display):
    """Exec to first paint, and SIGTERM to exit (a full save), in ns."""
    env = dict(os.environ, DISPLAY=display, QUILLOMAR_REPORT_FIRST_PAINT="1")
    start = time.monotonic_ns()
    process = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    painted = None
    for line in process.stderr:
        if "first paint at" in line:
            painted = int(line.split("first paint at")[1].split()[0])
            break
    if painted is None:
        process.wait()
        raise RuntimeError("quillomar ended without painting")
    closing = time.monotonic_ns()
    process.send_signal(signal.SIGTERM)
    process.stderr.read()
    if process.wait() != 0:
        raise RuntimeError("quillomar did not save at close")
    return painted - start, time.monotonic_ns() - closing


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    app = os.path.join(build, "src", "app")
    quill = os.path.join(app, "quill")
    console = os.path.join(app, "memory_tambrisk.txt")
    rows = []
    with tempfile.TemporaryDirectory(prefix="quill_latency_", dir=os.environ.get("QUILL_BENCH_TMP")) as work:
        small = os.path.join(work, "small.tern")
        with open(small, "w") as f:
            f.write("0000000000\n")
        full = os.path.join(work, "full")
        os.mkdir(full)
        subprocess.run([quill, "run", "--steps", "1", "--save", full, console], stdout=subprocess.DEVNULL)
        images = [os.path.join(full, name) for name in ("memory_trits.txt", "memory_tambrisk.txt")]

        memset = median_ms([memset_baseline() for _ in range(RUNS)])
        cat = median_ms([timed_run(["cat", *images])[0] for _ in range(RUNS)])
        small_runs = [timed_run([quill, "run", "--steps", "1", small]) for _ in range(RUNS)]
        console_runs = [timed_run([quill, "run", console]) for _ in range(RUNS)]
        peak_mb = max(kb for _, kb in small_runs + console_runs) / 1024
        rows.append(("quill run --steps 1 small.tern", median_ms([t for t, _ in small_runs]), 100, "memset 192 MB",
                     memset))
        rows.append(("quill run console to key wait", median_ms([t for t, _ in console_runs]), 200, "memset 192 MB",
                     memset))
        rows.append(("quill run peak RSS (MB)", peak_mb, 192 + 16, "-", None))

        server, display = start_xvfb() if os.path.exists(os.path.join(app, "quillomar")) else (None, None)
        if server is None or not os.path.exists(os.path.join(app, "quillomar")):
            print("latency: no Xvfb or no quillomar, the window's figures are skipped", file=sys.stderr)
        else:
            try:
                shutil.copy(os.path.join(app, "quillomar"), full)
                paints, closes = [], []
                for _ in range(RUNS):
                    paint, close = window_run(os.path.join(full, "quillomar"), display)
                    paints.append(paint)
                    closes.append(close)
                sync = median_ms([sync_baseline(work) for _ in range(RUNS)])
                rows.append(("quillomar exec to first paint", median_ms(paints), 300, "cat image files", cat))
                rows.append(("quillomar SIGTERM to exit (save)", median_ms(closes), 1000, "write+fsync 256 MB", sync))
            finally:
                server.terminate()
                server.wait()

    print(f"{'figure (median of %d)' % RUNS:36} {'value':>9} {'target':>8}   {'baseline':20} {'value':>9}")
    for name, value, target, baseline, base_value in rows:
        base = f"{base_value:9.1f}" if base_value is not None else f"{'':>9}"
        print(f"{name:36} {value:9.1f} {target:8}   {baseline:20} {base}")
    print(f"times in ms; cat of both image files (256 MB) to /dev/null: {cat:.1f} ms")


if __name__ == "__main__":
    main()
