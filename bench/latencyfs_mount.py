"""Mounts a folder through bench/latencyfs for the benchmark driver, and makes
sure it is unmounted again: on leaving the `with` block, on an error, on
Ctrl-C or SIGTERM, and at exit.

    with LatencyMount(latencyfs, backing, mountpoint, latency_ms=1) as mount:
        mount.reset()               # start counting requests
        ...                         # walk mount.path
        stats = mount.stats()       # {"requests": ..., "peak": ..., "waited": ...}
"""
import atexit
import os
import select
import shutil
import signal
import subprocess
import time

FUSERMOUNT = "fusermount3"
_live = set()  # mounts not yet unmounted, for atexit and the signal handler


def fuse_unavailable(latencyfs):
    """Why FUSE mounts cannot be made here, or None."""
    if not os.path.exists("/dev/fuse"):
        return "/dev/fuse does not exist (no FUSE in this kernel or container)"
    if not os.access("/dev/fuse", os.R_OK | os.W_OK):
        return "/dev/fuse is not readable and writable for this user (run as root)"
    if not shutil.which(FUSERMOUNT):
        return "%s is not installed (Debian package fuse3; scripts/install-deps.sh)" % FUSERMOUNT
    if not latencyfs or not os.access(latencyfs, os.X_OK):
        return "%s was not built (libfuse3-dev missing? scripts/install-deps.sh)" % (latencyfs or "latencyfs")
    return None


def _unmount_all():
    for mount in list(_live):
        mount.unmount()


def _on_sigterm(signum, frame):
    raise SystemExit("stopped by signal %d" % signum)


atexit.register(_unmount_all)


class LatencyMount:
    def __init__(self, latencyfs, backing, mountpoint, latency_ms, threads=256):
        self.latencyfs, self.backing, self.path = latencyfs, os.path.abspath(backing), os.path.abspath(mountpoint)
        self.latency_us = int(round(latency_ms * 1000))
        self.threads = threads
        self.process = None

    def __enter__(self):
        if os.path.ismount(self.path):
            raise SystemExit("%s is already a mount point" % self.path)
        os.makedirs(self.path, exist_ok=True)
        if signal.getsignal(signal.SIGTERM) is signal.SIG_DFL:
            signal.signal(signal.SIGTERM, _on_sigterm)
        # Its own session: Ctrl-C reaches the driver, which unmounts in order,
        # and not the file system under a walk that is still running.
        self.process = subprocess.Popen(
            [self.latencyfs, self.backing, self.path, "-f", "-o",
             "latency_us=%d,threads=%d,stats" % (self.latency_us, self.threads)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)
        _live.add(self)
        deadline = time.monotonic() + 10
        while not os.path.ismount(self.path):
            if self.process.poll() is not None:
                message = self.process.stderr.read().decode("utf-8", "replace").strip()
                self.unmount()
                raise SystemExit("latencyfs could not mount %s at %s: %s" % (self.backing, self.path, message))
            if time.monotonic() > deadline:
                self.unmount()
                raise SystemExit("latencyfs did not mount %s within 10 s" % self.path)
            time.sleep(0.02)
        return self

    def __exit__(self, *exc):
        self.unmount()
        return False

    def _line(self, timeout=10):
        """The next line that latencyfs writes to its standard error."""
        line = b""
        deadline = time.monotonic() + timeout
        fd = self.process.stderr.fileno()
        while not line.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise SystemExit("latencyfs did not report its counts within %d s" % timeout)
            chunk = os.read(fd, 1)
            if not chunk:
                raise SystemExit("latencyfs stopped: %s" % line.decode("utf-8", "replace"))
            line += chunk
        return line.decode("utf-8", "replace")

    def stats(self):
        """The counts since the last call (or reset()), which start again."""
        self.process.send_signal(signal.SIGUSR1)
        words = []
        while words[:2] != ["latencyfs:", "requests"]:  # past any warning of libfuse's
            words = self._line().split()
        return {words[i]: int(words[i + 1]) for i in range(1, len(words) - 1, 2)}

    reset = stats

    def unmount(self):
        """Unmounts and waits until the mount is gone and latencyfs has ended.
        A mount still busy (a walk killed a moment ago) gets a few tries,
        then is detached lazily."""
        if self not in _live:
            return
        try:
            for attempt in range(50):
                if not os.path.ismount(self.path):
                    break
                lazy = ["-z"] if attempt >= 20 else []
                subprocess.run([FUSERMOUNT, "-u"] + lazy + [self.path], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                if os.path.ismount(self.path):
                    time.sleep(0.1)
            if self.process is not None:
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.process.terminate()
                    self.process.wait(timeout=10)
                self.process.stderr.close()
        finally:
            _live.discard(self)
        if os.path.ismount(self.path):
            raise SystemExit("could not unmount %s (fusermount3 -u %s)" % (self.path, self.path))
