"""Resource bounds seen from outside: one address holding hundreds of idle TCP
connections neither stops the server answering others nor grows its
descriptors past the bound."""

import os
import socket
import time

import dns.message
import dns.query
from test_tcp import start_with_zone

HELD = 500  # connections opened and held idle from one address


def descriptors(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def test_idle_connections_from_one_address_are_bounded(home, start):
    server = start_with_zone(start, home, "192.0.2.99")
    fixed = descriptors(server.proc.pid)
    held = []
    try:
        for _ in range(HELD):
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.bind(("127.0.0.2", 0))
            s.connect(("127.0.0.1", server.port))
            held.append(s)
        query = dns.message.make_query("www.example.com.", "A")
        assert dns.query.udp(query, "127.0.0.1", port=server.port, timeout=2).answer
        assert dns.query.tcp(query, "127.0.0.1", port=server.port, timeout=2, source="127.0.0.3").answer
        # At most TCPPerAddress (10) of them stay open, once the server has
        # taken every connection waiting to be accepted; each handler holds
        # its socket and its idle timer.
        deadline = time.monotonic() + 3
        while descriptors(server.proc.pid) > fixed + 2 * 11 and time.monotonic() < deadline:
            time.sleep(0.05)
        assert descriptors(server.proc.pid) <= fixed + 2 * 11
        assert server.wait_for("** Limit reached: 10 TCP connections from 127.0.0.2; the one idle longest closed")
    finally:
        for s in held:
            s.close()
