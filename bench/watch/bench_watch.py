#!/usr/bin/env python3
"""Speed and reliability of directory watching, measured with ravo-watch.

  bench_watch.py burst [--bin BUILD/bin]   100 new directories x 100 .dat files
                                           with JPEG heads, written as fast as
                                           this script can; every file must be
                                           captured once by ravo-watch --capture
  bench_watch.py setup [--bin BUILD/bin] [--dirs N] [--cold]
                                           time until watching a tree of N
                                           directories (100,000; three levels
                                           deep) is in force, against
                                           inotifywait -r -m on the same tree,
                                           best of three, with the ratio; the
                                           memory ravo-watch keeps per folder
                                           (its resident size watching the
                                           tree less its size watching an
                                           empty folder); --cold drops the
                                           page cache before every run (root)
  bench_watch.py firstwalk [--bin ...]     a tree of 100,000 directories: a JPEG
                                           written into the folder walked last,
                                           0.2 s after ravo-watch --capture
                                           started (the set-up still running),
                                           must be captured once
  bench_watch.py stop [--bin ...]          a tree of 100,000 directories: how
                                           long ravo-watch takes to end on
                                           SIGTERM once watching is in force,
                                           and in the middle of the set-up
                                           (also with a cold cache, as root)

Prints the figures; exits non-zero when a capture is missing or doubled.
"""
import argparse
import os
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

JPEG_HEAD = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + b"\x01" * 54


class Watcher:
    """A watching program whose output lines are timestamped as they arrive."""

    def __init__(self, argv, ready_text):
        self.started = time.monotonic()
        self.proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.lines = []  # (time, text)
        self.ready_at = None
        self.cond = threading.Condition()
        self.ready_text = ready_text
        threading.Thread(target=self._read_out, daemon=True).start()
        threading.Thread(target=self._read_err, daemon=True).start()

    def _read_out(self):
        for raw in self.proc.stdout:
            with self.cond:
                self.lines.append((time.monotonic(), raw.decode("utf-8", "replace").rstrip("\n")))
                self.cond.notify_all()

    def _read_err(self):
        for raw in self.proc.stderr:
            text = raw.decode("utf-8", "replace")
            with self.cond:
                if self.ready_at is None and self.ready_text in text:
                    self.ready_at = time.monotonic()
                self.cond.notify_all()

    def wait(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        with self.cond:
            while not predicate():
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self.cond.wait(left)
            return True

    def wait_ready(self, timeout=120):
        if not self.wait(lambda: self.ready_at is not None, timeout):
            raise SystemExit("watcher did not become ready")
        return self.ready_at - self.started

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            return self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return None


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def burst(bin_dir):
    root = tempfile.mkdtemp(prefix="ravo-burst-")
    try:
        watcher = Watcher([os.path.join(bin_dir, "ravo-watch"), "--capture", root], "已开始监视")
        watcher.wait_ready()
        expected = set()
        start = time.monotonic()
        for d in range(100):
            folder = os.path.join(root, "d%03d" % d)
            os.mkdir(folder)
            for f in range(100):
                path = os.path.join(folder, "f%03d.dat" % f)
                write_file(path, JPEG_HEAD)
                expected.add(path)
        last_write = time.monotonic()
        complete = watcher.wait(lambda: len(watcher.lines) >= len(expected), 120)
        # Let any duplicate show up before counting.
        watcher.wait(lambda: len(watcher.lines) > len(expected), 2)
        with watcher.cond:
            lines = list(watcher.lines)
        captured = {}
        wrong_type = 0
        for _, text in lines:
            kind, _, path = text.partition("\t")
            captured[path] = captured.get(path, 0) + 1
            wrong_type += kind != ".jpg"
        missing = len(expected - captured.keys())
        doubled = sum(1 for n in captured.values() if n > 1)
        print("burst: %d files written in %.3f s" % (len(expected), last_write - start))
        print("burst: %d captured, %d missing, %d captured twice, %d with another type"
              % (len(captured), missing, doubled, wrong_type))
        if lines:
            print("burst: last line %.3f s after the last write" % (lines[-1][0] - last_write))

        latencies = []
        for i in range(50):
            path = os.path.join(root, "single%02d.dat" % i)
            before = len(watcher.lines)
            t0 = time.monotonic()
            write_file(path, JPEG_HEAD)
            if watcher.wait(lambda: len(watcher.lines) > before, 10):
                latencies.append(watcher.lines[before][0] - t0)
        if latencies:
            print("single file: median %.1f ms, max %.1f ms over %d files"
                  % (statistics.median(latencies) * 1000, max(latencies) * 1000, len(latencies)))
        status = watcher.stop()
        cpu = resource.getrusage(resource.RUSAGE_CHILDREN)
        print("ravo-watch exit status on SIGTERM: %s; its CPU time %.2f s user, %.2f s system"
              % (status, cpu.ru_utime, cpu.ru_stime))
        return 0 if complete and missing == 0 and doubled == 0 and wrong_type == 0 else 1
    finally:
        shutil.rmtree(root, ignore_errors=True)


def make_tree(root, count):
    tops = 30
    per_top = count // tops - 1
    for t in range(tops):
        top = os.path.join(root, "t%02d" % t)
        os.mkdir(top)
        for c in range(per_top):
            os.mkdir(os.path.join(top, "c%04d" % c))
    return os.path.join(root, "t%02d" % (tops - 1), "c%04d" % (per_top - 1))


def time_until_probe_seen(watcher, probe):
    """Writes a file in the deepest directory walked last and waits for its line."""
    t0 = time.monotonic()
    write_file(probe, b"x")
    name = os.path.basename(probe)  # inotifywait prints the folder and the name apart
    seen = watcher.wait(lambda: any(name in text for _, text in watcher.lines), 30)
    return (time.monotonic() - t0) if seen else None


def make_nested_tree(root, count):
    """count directories, three levels deep: 100 tops of folders of ten."""
    made = 0
    a = 0
    while made < count:
        for b in range(100):
            for c in range(10):
                if made >= count:
                    return
                os.makedirs(os.path.join(root, "a%03d" % a, "b%03d" % b, "c%d" % c))
                made += 1
        a += 1


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def setup(bin_dir, dirs=100000, cold=False):
    root = tempfile.mkdtemp(prefix="ravo-setup-")
    empty = tempfile.mkdtemp(prefix="ravo-setup-empty-")
    try:
        make_nested_tree(root, dirs)
        os.sync()
        total = sum(len(d) for _, d, _ in os.walk(root)) + 1
        print("setup: tree of %d directories%s" % (total, ", cold cache" if cold else ""))
        if cold and not drop_caches():
            print("setup: cannot drop the page cache (not root?)")
            return 1
        runs = [
            ("ravo-watch", [os.path.join(bin_dir, "ravo-watch")], "已开始监视"),
            ("inotifywait -r -m", ["inotifywait", "-r", "-m", "-e", "create,delete,move"],
             "Watches established"),
        ]
        best = {}
        for name, argv, ready in runs:
            if shutil.which(argv[0]) is None and not os.path.exists(argv[0]):
                print("setup: %s not found, skipped" % argv[0])
                continue
            times = []
            for _ in range(3):
                if cold:
                    drop_caches()
                watcher = Watcher(argv + [root], ready)
                times.append(watcher.wait_ready())
                if name == "ravo-watch" and len(times) == 1:
                    tree_kib = resident_kib(watcher.proc.pid)
                watcher.stop()
            best[name] = min(times)
            print("setup: %-18s watching in force after %.3f s (best of %s)"
                  % (name, best[name], ", ".join("%.3f" % t for t in times)))
        if len(best) == 2:
            print("setup: ravo-watch / inotifywait: %.2f" % (best["ravo-watch"] / best["inotifywait -r -m"]))
        watcher = Watcher([os.path.join(bin_dir, "ravo-watch"), empty], "已开始监视")
        watcher.wait_ready()
        base_kib = resident_kib(watcher.proc.pid)
        watcher.stop()
        print("setup: ravo-watch keeps %.0f bytes per folder (resident %d KiB watching the tree, "
              "%d KiB watching an empty folder)" % ((tree_kib - base_kib) * 1024.0 / total,
                                                     tree_kib, base_kib))
        return 0
    finally:
        shutil.rmtree(root, ignore_errors=True)
        shutil.rmtree(empty, ignore_errors=True)


def drop_caches():
    """Empties the page cache (root only); False where the kernel refuses."""
    try:
        os.sync()
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def timed_stop(watcher):
    t0 = time.monotonic()
    status = watcher.stop()
    return time.monotonic() - t0, status


def firstwalk(bin_dir):
    root = tempfile.mkdtemp(prefix="ravo-firstwalk-")
    try:
        deepest = make_tree(root, 100000)
        watcher = Watcher([os.path.join(bin_dir, "ravo-watch"), "--capture", root], "已开始监视")
        time.sleep(0.2)  # the write must land while the set-up runs: that is the point
        probe = os.path.join(deepest, "early.dat")
        write_file(probe, JPEG_HEAD)
        written = time.monotonic() - watcher.started
        took = watcher.wait_ready()
        watcher.wait(lambda: any(probe in text for _, text in watcher.lines), 30)
        watcher.wait(lambda: len(watcher.lines) > 1, 1)
        with watcher.cond:
            hits = sum(1 for _, text in watcher.lines if text.endswith(probe))
        print("firstwalk: 100,000 directories; file written %.2f s after the start, "
              "watching in force after %.2f s; captured %d time(s)" % (written, took, hits))
        watcher.stop()
        return 0 if hits == 1 and written < took else 1
    finally:
        shutil.rmtree(root, ignore_errors=True)


def stop(bin_dir):
    root = tempfile.mkdtemp(prefix="ravo-stop-")
    try:
        make_tree(root, 100000)
        argv = [os.path.join(bin_dir, "ravo-watch"), root]
        watcher = Watcher(argv, "已开始监视")
        took = watcher.wait_ready()
        seconds, status = timed_stop(watcher)
        print("stop: 100,000 directories watched (in force after %.2f s): ended %.3f s after "
              "SIGTERM (status %s)" % (took, seconds, status))
        watcher = Watcher(argv, "已开始监视")
        time.sleep(took / 3)
        seconds, status = timed_stop(watcher)
        print("stop: in the middle of the set-up, warm cache: ended %.3f s after SIGTERM" % seconds)
        if drop_caches():
            watcher = Watcher(argv, "已开始监视")
            time.sleep(0.5)
            seconds, status = timed_stop(watcher)
            print("stop: in the middle of the set-up, cold cache: ended %.3f s after SIGTERM"
                  % seconds)
        else:
            print("stop: cold cache skipped (cannot drop the page cache)")
        return 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("what", choices=["burst", "setup", "firstwalk", "stop"])
    parser.add_argument("--bin", default=os.path.join(os.path.dirname(__file__), "../../build/bin"))
    parser.add_argument("--dirs", type=int, default=100000, help="setup: directories in the tree")
    parser.add_argument("--cold", action="store_true", help="setup: drop the page cache first")
    args = parser.parse_args()
    if args.what == "setup":
        return setup(args.bin, args.dirs, args.cold)
    return {"burst": burst, "firstwalk": firstwalk, "stop": stop}[args.what](args.bin)


if __name__ == "__main__":
    sys.exit(main())
