"""Answers from local zones, seen from outside: whole replies, the log, and
robustness against malformed datagrams."""

import os
import random
import re
import socket
import struct
import subprocess
import sys

# The repository's own dns/ folder must not shadow dnspython.
_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path = [p for p in sys.path if os.path.abspath(p or ".") != _ROOT]

import dns.exception  # noqa: E402
import dns.flags  # noqa: E402
import dns.message  # noqa: E402
import dns.query  # noqa: E402
import dns.rcode  # noqa: E402
import dns.rdatatype  # noqa: E402

ZONE = """\
; example.com. for the system tests
@       IN  SOA  ns1.example.com. admin.example.com. 2026120501 3600 600 86400 300
@       IN  NS   ns1.example.com.
@       IN  MX   10 mx
ns1     IN  A    192.0.2.1
mx      IN  A    192.0.2.25
www     3600 IN A 192.0.2.10
www     IN  A    192.0.2.11
www     IN  A    192.0.2.12
alias   IN  CNAME www
outside IN  CNAME host.other.org.
*.wild  IN  A    192.0.2.50
exists.wild IN TXT "here"
sub     IN  NS   ns.sub.example.com.
ns.sub  IN  A    192.0.2.53
noglue  IN  NS   ns.elsewhere.net.
"""

OTHER = """\
host    120 IN A 198.51.100.7
"""


def start_with_zones(start, home, ini=None):
    data = os.path.join(home, "data")
    os.makedirs(data, exist_ok=True)
    for name, text in (("example.com.dns", ZONE), ("other.org.dns", OTHER)):
        with open(os.path.join(data, name), "wb") as f:
            f.write(text.replace("\n", "\r\n").encode("latin-1"))
    server = start(["-n"], ini=ini)
    assert server.wait_for("Loading DHCP Leases...")  # the first tick loaded the zones
    return server


def ask(server, name, rdtype, rd=True, source="127.0.0.1", timeout=2):
    query = dns.message.make_query(name, rdtype)
    if not rd:
        query.flags &= ~dns.flags.RD
    return dns.query.udp(query, "127.0.0.1", port=server.port, timeout=timeout, source=source)


def records(section):
    """(owner, TTL, type, data) of every record, in message order."""
    return [(str(rrset.name), rrset.ttl, dns.rdatatype.to_text(rrset.rdtype), rd.to_text())
            for rrset in section for rd in rrset]


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
    reply = ask(server, "WWW.example.com.", "A")
    assert reply.flags == dns.flags.QR | dns.flags.AA | dns.flags.RD | dns.flags.RA
    assert reply.rcode() == dns.rcode.NOERROR
    assert str(reply.question[0].name) == "WWW.example.com."  # the client's case
    # dnspython gives one TTL per record set; the TTLs are checked on the wire below.
    assert [(r[0], r[2], r[3]) for r in records(reply.answer)] == [
        ("www.example.com.", "A", "192.0.2.12"), ("www.example.com.", "A", "192.0.2.11"),
        ("www.example.com.", "A", "192.0.2.10")]
    raw = raw_exchange(server.port, raw_query(0x1234, "www.example.com.", 1))
    assert raw[:12] == struct.pack(">HBBHHHH", 0x1234, 0x85, 0x80, 1, 3, 0, 0)
    # Owner pointer, type, class, TTL, length, address, three times.
    answers = raw[12 + len(wire_name("www.example.com.")) + 4:]
    assert [answers[i * 16 + 6:i * 16 + 10] for i in range(3)] == [struct.pack(">I", t) for t in (300, 300, 3600)]
    assert [answers[i * 16 + 12:i * 16 + 16] for i in range(3)] == [bytes([192, 0, 2, n]) for n in (12, 11, 10)]
    assert len(answers) == 48


def test_cnames_are_followed_through_local_zones(home, start):
    server = start_with_zones(start, home)
    reply = ask(server, "outside.example.com.", "A")
    assert reply.flags & dns.flags.AA
    assert records(reply.answer) == [("outside.example.com.", 300, "CNAME", "host.other.org."),
                                     ("host.other.org.", 120, "A", "198.51.100.7")]
    assert reply.authority == [] and reply.additional == []


def test_autocname_gives_the_alias_its_targets_addresses(home, start):
    server = start_with_zones(start, home, ini=["AutoCNAME: YES"])
    reply = ask(server, "alias.example.com.", "A")
    assert sorted(records(reply.answer)) == [("alias.example.com.", 300, "A", "192.0.2.1" + str(n)) for n in (0, 1, 2)]


def test_roundrobin_rotates_addresses_across_replies(home, start):
    server = start_with_zones(start, home, ini=["RoundRobin: YES"])
    orders = []
    for ident in range(4):
        raw = raw_exchange(server.port, raw_query(ident, "www.example.com.", 1))
        answers = raw[12 + len(wire_name("www.example.com.")) + 4:]
        orders.append([answers[i * 16 + 15] for i in range(3)])
    assert orders == [[12, 11, 10], [11, 10, 12], [10, 12, 11], [12, 11, 10]]


def test_wildcards_answer_missing_names_also_below_existing_ones(home, start):
    server = start_with_zones(start, home)
    for name in ("x.wild.example.com.", "a.exists.wild.example.com."):
        reply = ask(server, name, "A")
        assert reply.flags & dns.flags.AA
        assert records(reply.answer) == [(name, 300, "A", "192.0.2.50")]
    # The existing name itself has no address: no data, with the SOA.
    reply = ask(server, "exists.wild.example.com.", "A")
    assert reply.rcode() == dns.rcode.NOERROR and reply.answer == []
    assert [r[2] for r in records(reply.authority)] == ["SOA"]


def test_referrals_carry_glue_only_when_the_zone_has_it(home, start):
    server = start_with_zones(start, home)
    reply = ask(server, "host.sub.example.com.", "A", rd=False)
    assert reply.flags == dns.flags.QR | dns.flags.RA
    assert reply.answer == []
    assert records(reply.authority) == [("sub.example.com.", 300, "NS", "ns.sub.example.com.")]
    assert records(reply.additional) == [("ns.sub.example.com.", 300, "A", "192.0.2.53")]
    reply = ask(server, "x.noglue.example.com.", "MX", rd=False)
    assert records(reply.authority) == [("noglue.example.com.", 300, "NS", "ns.elsewhere.net.")]
    assert reply.additional == []


def test_name_errors_carry_the_soa_unless_recursion_was_asked(home, start):
    server = start_with_zones(start, home)
    soa = ("example.com.", 86400, "SOA",  # the SOA line itself precedes its default TTL
           "ns1.example.com. admin.example.com. 2026120501 3600 600 86400 300")
    reply = ask(server, "none.example.com.", "A", rd=False)
    assert reply.rcode() == dns.rcode.NXDOMAIN
    assert records(reply.authority) == [soa]
    reply = ask(server, "none.example.com.", "A", rd=True)
    assert reply.rcode() == dns.rcode.NXDOMAIN
    assert reply.authority == []
    reply = ask(server, "ns1.example.com.", "TXT", rd=True)
    assert reply.rcode() == dns.rcode.NOERROR and reply.answer == []
    assert records(reply.authority) == [soa]


def test_mx_with_additional_addresses_through_dig(home, start):
    server = start_with_zones(start, home)
    out = subprocess.run(["dig", "@127.0.0.1", "-p", str(server.port), "+norec", "+noedns", "+tries=1", "+time=2",
                          "example.com.", "MX"], capture_output=True, text=True, timeout=10).stdout
    assert "status: NOERROR" in out
    assert "flags: qr aa ra; QUERY: 1, ANSWER: 1, AUTHORITY: 0, ADDITIONAL: 1" in out
    assert re.search(r"^example\.com\.\s+300\s+IN\s+MX\s+10 mx\.example\.com\.$", out, re.M)
    assert re.search(r"^mx\.example\.com\.\s+300\s+IN\s+A\s+192\.0\.2\.25$", out, re.M)


def test_ra_follows_the_recursion_setting(home, start):
    server = start_with_zones(start, home, ini=["DNSRecursion: <none>"])
    assert not ask(server, "www.example.com.", "A", source="127.0.0.2").flags & dns.flags.RA
    assert ask(server, "www.example.com.", "A", source="127.0.0.1").flags & dns.flags.RA
    # Outside the setting a name in no zone is refused.
    reply = ask(server, "nowhere.test.", "A", source="127.0.0.2")
    assert reply.rcode() == dns.rcode.REFUSED and not reply.answer and not reply.authority


def test_unsupported_queries_get_not_implemented_octet_exact(home, start):
    server = start_with_zones(start, home)
    cases = [
        (struct.pack(">HBBHHHH", 0xABCD, 0x09, 0, 1, 0, 0, 0) + wire_name("a.") + struct.pack(">HH", 1, 1),
         "Inverse Query Request from 127.0.0.1", "Inverse Query Request"),
        (raw_query(0x0102, "version.bind.", 16, 3), "DNS Request from 127.0.0.1 for CHAOS class record",
         "CHAOS class record"),
        (raw_query(0x0103, "example.com.", 252), "Request from 127.0.0.1 for AXFR-record for example.com.",
         "AXFR-record for example.com."),
    ]
    for query, log, topic in cases:
        reply = raw_exchange(server.port, query)
        assert reply == query[:2] + bytes([query[2] | 0x80, 0x84]) + query[4:]
        assert server.wait_for("Sending answer to 127.0.0.1 about " + topic)
        texts = server.texts()
        at = texts.index(log)
        assert texts[at:at + 3] == [log, "Sending answer to 127.0.0.1 about " + topic, "-> Header: Not implemented."]


def test_a_query_and_its_reply_are_logged(home, start):
    server = start_with_zones(start, home)
    ask(server, "mx.example.com.", "A")
    assert server.wait_for("-> Answer: A-record for mx.example.com. = 192.0.2.25")
    texts = server.texts()
    at = texts.index("Request from 127.0.0.1 for A-record for mx.example.com.")
    assert texts[at:at + 3] == ["Request from 127.0.0.1 for A-record for mx.example.com.",
                                "Sending reply to 127.0.0.1 about A-record for mx.example.com.:",
                                "-> Answer: A-record for mx.example.com. = 192.0.2.25"]


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
