"""DNS over TCP seen from outside: dig and raw sockets. BIND as a secondary
of our zones is in test_secondary.py; refused transfers are a unit test of
the TCP handler."""

import socket
import struct
import subprocess
import time

import dns.message
from conftest import write_zone
from test_authoritative import raw_query

ZONE = """\
; Notify {slave}
@       IN  SOA  ns1.example.com. admin.example.com. 2026120501 3600 600 86400 300
@       IN  NS   ns1.example.com.
@       IN  MX   10 mx
ns1     IN  A    192.0.2.1
www     IN  A    192.0.2.10
www     IN  A    192.0.2.11
alias   IN  CNAME www
_sip._udp IN SRV 0 5 5060 mx
txt     IN  TXT  "one" "two"
"""
NAMES = [("", "SOA"), ("", "NS"), ("", "MX"), ("ns1.", "A"), ("www.", "A"), ("alias.", "CNAME"),
         ("_sip._udp.", "SRV"), ("txt.", "TXT")]


def start_with_zone(start, home, slave):
    write_zone(home, ZONE.format(slave=slave))
    server = start(["-n"])
    assert server.wait_for("Loading DHCP Leases...")
    return server


def dig(port, *args):
    return sorted(subprocess.run(["dig", "@127.0.0.1", "-p", str(port), "+short", "+time=2", "+tries=1", *args],
                                 capture_output=True, text=True, timeout=10).stdout.split("\n"))


def exchange(port, pieces, count):
    """Sends the pieces apart; up to count framed replies (fewer if none come in 1 s)."""
    with socket.create_connection(("127.0.0.1", port), timeout=1) as s:
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for piece in pieces:
            s.sendall(piece)
            time.sleep(0.1)
        data = b""
        while True:
            try:
                data += s.recv(65536) or b""
            except socket.timeout:
                break
    replies = []
    while len(data) >= 2 and len(replies) < count + 1:
        n = struct.unpack(">H", data[:2])[0]
        replies.append(dns.message.from_wire(data[2:2 + n]))
        data = data[2 + n:]
    return replies


def test_tcp_answers_match_udp_answers_across_segments(home, start):
    server = start_with_zone(start, home, "127.0.0.2")
    for name, rdtype in NAMES:
        assert dig(server.port, name + "example.com.", rdtype) != [""]
        assert dig(server.port, "+tcp", name + "example.com.", rdtype) == dig(server.port, name + "example.com.", rdtype)
    one, two = (raw_query(i, n, 1) for i, n in ((1, "www.example.com."), (2, "ns1.example.com.")))
    stream = struct.pack(">H", len(one)) + one + struct.pack(">H", len(two)) + two
    assert [r.id for r in exchange(server.port, [stream], 2)] == [1, 2]
    assert [r.id for r in exchange(server.port, [stream[:1], stream[1:7], stream[7:len(one) + 2]], 1)] == [1]
