"""The block list and the flood guard, seen from outside: a burst above
BombLevel blocks its sender within the second while others are served, the
block survives a restart through blocks.dat, and alternating or no-block
senders are never blocked."""

import os
import shutil
import socket
import subprocess
import time

import pytest

from test_authoritative import ask, raw_query, start_with_zones

import dns.exception  # noqa: E402  (after test_authoritative has cleaned sys.path)
import dns.message  # noqa: E402
import dns.query  # noqa: E402

LEVEL = 10
BLOCKED_LINE = "IP address 127.0.0.2 blocked (more than 10 Requests per second)"


def answered(server, source, timeout=1.0):
    try:
        return bool(ask(server, "www.example.com.", "A", source=source, timeout=timeout).answer)
    except dns.exception.Timeout:
        return False


def burst(server, source, count):
    """count queries from source, sent back to back; the replies received."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind((source, 0))
        s.settimeout(0.5)
        for ident in range(count):
            s.sendto(raw_query(ident, "www.example.com.", 1), ("127.0.0.1", server.port))
        replies = 0
        try:
            while True:
                s.recv(4096)
                replies += 1
        except socket.timeout:
            return replies


def tcp_answered(server, source):
    query = dns.message.make_query("www.example.com.", "A")
    try:
        return bool(dns.query.tcp(query, "127.0.0.1", port=server.port, source=source, timeout=1.5).answer)
    except (dns.exception.DNSException, OSError, EOFError):
        return False


def test_burst_above_the_level_blocks_the_sender_across_a_restart(home, start):
    ini = ["BombLevel: %d" % LEVEL]
    server = start_with_zones(start, home, ini=ini)
    assert answered(server, "127.0.0.3")
    assert burst(server, "127.0.0.2", 3 * LEVEL) == LEVEL  # the 11th and all after get nothing
    assert server.wait_for(BLOCKED_LINE)
    assert not answered(server, "127.0.0.2")
    assert answered(server, "127.0.0.3")
    assert not tcp_answered(server, "127.0.0.2")
    assert tcp_answered(server, "127.0.0.3")
    assert server.wait_for("Request from 127.0.0.2 on Block list. Ignored!")
    assert server.wait_for("TCP Connection Request from 127.0.0.2 on Block list. Ignored!")
    assert server.texts().count(BLOCKED_LINE) == 1
    assert server.stop() == 0

    with open(os.path.join(home, "blocks.dat"), "rb") as f:
        assert f.read() == b"; Vellion - IP address blocks\r\n127.0.0.2\r\n"
    again = start_with_zones(start, home, ini=ini)
    assert not answered(again, "127.0.0.2")
    assert answered(again, "127.0.0.3")
    assert "Request from 127.0.0.2 on Block list. Ignored!" in again.texts()


@pytest.mark.parametrize("ini, senders", [
    (["BombLevel: %d" % LEVEL], ["127.0.0.2", "127.0.0.3"]),  # alternating, far above the level together
    (["BombLevel: %d" % LEVEL, "NoBlock: 127.0.0.2"], ["127.0.0.2"]),  # never blocked
    (["BombLevel: 0"], ["127.0.0.2"]),  # the guard is off
])
def test_senders_that_are_never_blocked(home, start, ini, senders):
    server = start_with_zones(start, home, ini=ini)
    sockets = []
    try:
        for source in senders:
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.bind((source, 0))
            s.settimeout(1.0)
            sockets.append(s)
        for ident in range(4 * LEVEL):
            s = sockets[ident % len(sockets)]
            s.sendto(raw_query(ident, "www.example.com.", 1), ("127.0.0.1", server.port))
            s.recv(4096)  # every one is answered
    finally:
        for s in sockets:
            s.close()
    assert not any("blocked" in text or "Block list" in text for text in server.texts())
    assert server.stop() == 0
    with open(os.path.join(home, "blocks.dat"), "rb") as f:
        assert f.read() == b"; Vellion - IP address blocks\r\n"


def test_block_file_lines(home, start):
    with open(os.path.join(home, "blocks.dat"), "wb") as f:
        f.write(b"; Vellion - IP address blocks\r\n   ; a note\r\n127.0.0.002\r\n")
    server = start_with_zones(start, home)
    assert not answered(server, "127.0.0.2")
    assert answered(server, "127.0.0.3")
    assert server.stop() == 0
    with open(os.path.join(home, "blocks.dat"), "rb") as f:
        assert f.read() == b"; Vellion - IP address blocks\r\n127.0.0.2\r\n"


@pytest.mark.skipif(shutil.which("dnsperf") is None, reason="dnsperf is not installed")
def test_dnsperf_flood_is_blocked_and_a_second_address_keeps_being_answered(home, start, tmp_path):
    # LogBlock: NO, as an administrator under a flood would have it: one
    # refusal line per flooded datagram is not what is measured here.
    server = start_with_zones(start, home, ini=["BombLevel: 100", "LogBlock: NO"])
    queries = tmp_path / "queries"
    queries.write_text("www.example.com A\nmx.example.com A\n")
    # Some 75,000 queries a second: 20,000 outstanding, each given up after 50 ms.
    dnsperf = ["dnsperf", "-T", "1", "-s", "127.0.0.1", "-p", str(server.port), "-a", "127.0.0.2",
               "-d", str(queries), "-l", "4", "-q", "20000", "-t", "0.05"]
    cores = sorted(os.sched_getaffinity(0))
    if len(cores) >= 2:
        # The server and the flood on cores of their own, as in the benchmarks.
        os.sched_setaffinity(server.proc.pid, {cores[0]})
        dnsperf = ["taskset", "-c", str(cores[1])] + dnsperf
    flood = subprocess.Popen(dnsperf, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.3)  # the flood is under way
        lost = 0
        sent = 0
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            sent += 1
            lost += not answered(server, "127.0.0.3", timeout=1.0)
            time.sleep(0.01)
    finally:
        flood.wait(timeout=15)
    assert server.wait_for("IP address 127.0.0.2 blocked (more than 100 Requests per second)")
    assert sent >= 100
    assert lost <= sent // 100, "%d of %d queries lost" % (lost, sent)
