"""Starts the real vellmain on loopback with a temporary program directory."""

import os
import queue
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import pytest

# Run from the repository root, its own dns/ folder (C++ sources) would hide
# dnspython from every test module.
_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path[:] = [p for p in sys.path if os.path.abspath(p or ".") != _ROOT]

VELLMAIN = os.environ.get("VELLMAIN", os.path.join(os.path.dirname(__file__), "../../build/vellmain"))
# The companion is built beside the server.
VELLCTL = os.environ.get("VELLCTL", os.path.join(os.path.dirname(VELLMAIN), "vellctl"))


def vellctl(home, *args):
    """Runs vellctl for the program directory home; the finished process."""
    return subprocess.run([VELLCTL, "--home", home] + list(args), timeout=10, capture_output=True, text=True)


def free_port():
    """A port free for both UDP and TCP on 127.0.0.1."""
    for _ in range(50):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
            u.bind(("127.0.0.1", 0))
            port = u.getsockname()[1]
            with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as t:
                try:
                    t.bind(("127.0.0.1", port))
                except OSError:
                    continue
            return port
    raise RuntimeError("no free port")


def read(path):
    """A file's text, one character per octet."""
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def write(path, text):
    """text with CR LF line ends, one octet per character."""
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("latin-1"))


def write_zone(home, text, zone="example.com."):
    """data/<zone>dns in the program directory."""
    os.makedirs(os.path.join(home, "data"), exist_ok=True)
    write(os.path.join(home, "data", zone + "dns"), text)


def write_ini(home, lines):
    write(os.path.join(home, "vellion.ini"), "".join(line + "\n" for line in lines))


class Server:
    """One vellmain process; its standard output is collected line by line."""

    def __init__(self, home, args, env=None, binary=VELLMAIN, prefix=None):
        self.home = home
        self.lines = []
        self._queue = queue.Queue()
        self.proc = subprocess.Popen(
            (prefix or []) + [binary] + args,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            env=dict(os.environ, **(env or {})),
        )
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self._queue.put(raw.decode("latin-1").rstrip("\n"))
        self._queue.put(None)

    def texts(self):
        """Log texts seen so far, without their time of day."""
        self._drain(0)
        return [line[11:] for line in self.lines]

    def _take(self, timeout):
        """One more output line into self.lines; False when none came in time
        or the output has ended."""
        try:
            item = self._queue.get(timeout=timeout) if timeout > 0 else self._queue.get_nowait()
        except queue.Empty:
            return False
        if item is None:
            self._queue.put(None)  # the end stays visible to later calls
            return False
        self.lines.append(item)
        return True

    def _drain(self, timeout):
        deadline = time.monotonic() + timeout
        while self._take(deadline - time.monotonic()):
            pass

    def wait_for(self, text, timeout=5.0):
        if any(text in line for line in self.lines):
            return True
        deadline = time.monotonic() + timeout
        while self._take(deadline - time.monotonic()):
            if text in self.lines[-1]:
                return True
        return False

    def stop(self, timeout=10):
        """SIGTERM, then wait; returns the exit status."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            code = self.proc.wait()
        self._drain(0.2)
        return code

    def stderr(self):
        return self.proc.stderr.read().decode("latin-1") if self.proc.poll() is not None else ""


@pytest.fixture
def home():
    path = tempfile.mkdtemp(prefix="vellion-sys-")
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def start(home):
    """start(args=[...], ini=[...]) runs vellmain in `home` (or in home_dir);
    all are stopped at the end. prefix runs it through another command
    (`ip netns exec NAME`, which execs it: the pid stays vellmain's)."""
    servers = []

    def _start(args=None, ini=None, env=None, port=None, home_dir=None, binary=VELLMAIN, prefix=None):
        where = home_dir or home
        if ini is not None:
            write_ini(where, ini)
        port = port or free_port()
        # Several servers run at once in some tests: the console only where asked for.
        args = list(args or [])
        if "--console" not in args:
            args += ["--console", "off"]
        server = Server(where, ["--home", where, "--dns-port", str(port)] + args, env, binary, prefix)
        server.port = port
        servers.append(server)
        return server

    yield _start
    for server in servers:
        server.stop()
