"""The flood guard seen from outside: a burst above BombLevel blocks its
sender within the second while others are served, also over TCP and after a
restart (blocks.dat). Which runs block is a unit test on the fake clock."""

import os
import shutil
import socket
import subprocess
import time

import pytest

from conftest import read
from test_authoritative import raw_query, start_with_zones

import dns.exception
import dns.message
import dns.query

BLOCKED_LINE = "IP address 127.0.0.2 blocked (more than 10 Requests per second)"


def answered(server, source, tcp=False):
    query = dns.message.make_query("www.example.com.", "A")
    try:
        send = dns.query.tcp if tcp else dns.query.udp
        return bool(send(query, "127.0.0.1", port=server.port, source=source, timeout=1.0).answer)
    except (dns.exception.DNSException, OSError, EOFError):
        return False


def test_burst_above_the_level_blocks_the_sender_across_a_restart(home, start):
    ini = ["BombLevel: 10"]
    server = start_with_zones(start, home, ini=ini)
    replies = 0
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.2", 0))
        s.settimeout(0.5)
        for ident in range(30):  # back to back: well within the second
            s.sendto(raw_query(ident, "www.example.com.", 1), ("127.0.0.1", server.port))
        try:
            while replies < 30:
                s.recv(4096)
                replies += 1
        except socket.timeout:
            pass
    assert replies == 10  # the 11th and all after get nothing
    assert server.wait_for(BLOCKED_LINE)
    assert (answered(server, "127.0.0.2"), answered(server, "127.0.0.3")) == (False, True)
    assert (answered(server, "127.0.0.2", tcp=True), answered(server, "127.0.0.3", tcp=True)) == (False, True)
    assert server.wait_for("TCP Connection Request from 127.0.0.2 on Block list. Ignored!")
    assert [t for t in server.texts() if "blocked" in t] == [BLOCKED_LINE]
    assert server.stop() == 0
    assert read(os.path.join(home, "blocks.dat")) == "; Vellion - IP address blocks\r\n127.0.0.2\r\n"  # and no other

    again = start_with_zones(start, home, ini=ini)
    assert (answered(again, "127.0.0.2"), answered(again, "127.0.0.3")) == (False, True)
    assert "Request from 127.0.0.2 on Block list. Ignored!" in again.texts()


@pytest.mark.skipif(shutil.which("dnsperf") is None, reason="dnsperf is not installed")
def test_dnsperf_flood_is_blocked_and_a_second_address_keeps_being_answered(home, start, tmp_path):
    # LogBlock: NO, as under a real flood: a refusal line per datagram is not what is measured.
    server = start_with_zones(start, home, ini=["BombLevel: 100", "LogBlock: NO"])
    (tmp_path / "queries").write_text("www.example.com A\nmx.example.com A\n")
    # Some 75,000 queries a second for 4 s: 20,000 outstanding, each given up after 50 ms.
    dnsperf = ["dnsperf", "-T", "1", "-s", "127.0.0.1", "-p", str(server.port), "-a", "127.0.0.2",
               "-d", str(tmp_path / "queries"), "-l", "4", "-q", "20000", "-t", "0.05"]
    cores = sorted(os.sched_getaffinity(0))
    if len(cores) >= 2:  # the server and the flood on cores of their own, as in the benchmarks
        os.sched_setaffinity(server.proc.pid, {cores[0]})
        dnsperf = ["taskset", "-c", str(cores[1])] + dnsperf
    flood = subprocess.Popen(dnsperf, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.3)  # the flood is under way
        sent = lost = 0
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            sent += 1
            lost += not answered(server, "127.0.0.3")
            time.sleep(0.01)
    finally:
        flood.wait(timeout=15)
    assert server.wait_for("IP address 127.0.0.2 blocked (more than 100 Requests per second)")
    assert sent >= 50  # enough probes for a loss to show, even on a busy machine
    assert lost <= sent // 100, "%d of %d queries lost" % (lost, sent)
