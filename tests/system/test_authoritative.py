"""Answers from local zones, seen from outside: a whole reply octet by octet
and robustness against malformed datagrams. The sections of each kind of
answer are in test_modern_clients.py; what goes into them, the log lines and
Not implemented are unit tests of the lookup and the dispatch."""

import random
import socket
import struct


import dns.exception
import dns.flags
import dns.message
import dns.query
from conftest import write_zone

ZONE = """\
; example.com. for the system tests
@       IN  SOA  ns1.example.com. admin.example.com. 2026120501 3600 600 86400 300
www     3600 IN A 192.0.2.10
www     IN  A    192.0.2.11
www     IN  A    192.0.2.12
"""


def start_with_zones(start, home, ini=None):
    write_zone(home, ZONE)
    server = start(["-n"], ini=ini)
    assert server.wait_for("Loading DHCP Leases...")  # the first tick loaded the zone
    return server


def ask(server, name, rdtype, rd=True, source="127.0.0.1", timeout=2, edns=None, tcp=False):
    query = dns.message.make_query(name, rdtype, use_edns=edns)
    if not rd:
        query.flags &= ~dns.flags.RD
    exchange = dns.query.tcp if tcp else dns.query.udp
    return exchange(query, "127.0.0.1", port=server.port, timeout=timeout, source=source)


def raw_exchange(port, datagram, timeout=2.0):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        s.sendto(datagram, ("127.0.0.1", port))
        try:
            return s.recv(65535)
        except socket.timeout:
            return None


def wire_name(name):
    return b"".join(bytes([len(label)]) + label.encode() for label in name.split(".") if label) + b"\0"


def raw_query(ident, name, qtype, qclass=1, flags1=0x01):
    return struct.pack(">HBBHHHH", ident, flags1, 0, 1, 0, 0, 0) + wire_name(name) + struct.pack(">HH", qtype, qclass)


def test_records_of_a_name_come_in_reverse_file_order(home, start):
    server = start_with_zones(start, home)
    assert str(ask(server, "WWW.example.com.", "A").question[0].name) == "WWW.example.com."  # the client's case
    raw = raw_exchange(server.port, raw_query(0x1234, "www.example.com.", 1))
    assert raw[:12] == struct.pack(">HBBHHHH", 0x1234, 0x85, 0x80, 1, 3, 0, 0)
    # Owner pointer, type, class, TTL, length, address, three times.
    answers = raw[12 + len(wire_name("www.example.com.")) + 4:]
    assert [answers[i * 16 + 6:i * 16 + 10] for i in range(3)] == [struct.pack(">I", t) for t in (300, 300, 3600)]
    assert [answers[i * 16 + 12:i * 16 + 16] for i in range(3)] == [bytes([192, 0, 2, n]) for n in (12, 11, 10)]
    assert len(answers) == 48


def test_malformed_datagrams_never_stop_the_server(home, start):
    server = start_with_zones(start, home)
    header = struct.pack(">HBBHHHH", 7, 0x01, 0, 1, 0, 0, 0)
    bad = [
        header[:4] + struct.pack(">H", 0) + header[6:] + b"\0",  # no question
        header + wire_name("www.example.com.")[:-3],  # cut question
        header + b"\xc0\x0c" + struct.pack(">HH", 1, 1),  # name pointing at itself
        header + b"\xc0\x0e\xc0\x0c" + struct.pack(">HH", 1, 1),  # two pointers in a ring
        struct.pack(">HBBHHHH", 8, 0x01, 0, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF) + b"\0",  # huge counts
        struct.pack(">HBBHHHH", 9, 0x81, 0, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF) + b"\0",  # the same as a response
    ]
    rng = random.Random(4)
    bad += [bytes(rng.randrange(256) for _ in range(rng.randrange(13, 200))) for _ in range(300)]
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        for datagram in bad:
            s.sendto(datagram, ("127.0.0.1", server.port))
    assert server.wait_for("Incomplete DNS Request from 127.0.0.1")
    # The backlog may still be worked through (or partly lost with a full
    # socket buffer) on a busy machine: the server gets a few tries.
    for attempt in range(3):
        try:
            reply = ask(server, "www.example.com.", "A", timeout=5)
            break
        except dns.exception.Timeout:
            assert attempt < 2

    assert len(reply.answer[0]) == 3
    assert server.proc.poll() is None
