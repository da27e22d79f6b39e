"""What today's clients ask: AAAA and other record types, EDNS(0), truncation
to TCP, the question's case, and zone files as other servers write them."""

import contextlib
import os
import shutil
import socket
import struct
import subprocess
import sys
import time

import pytest

# The repository's own dns/ folder must not shadow dnspython.
_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path = [p for p in sys.path if os.path.abspath(p or ".") != _ROOT]

import dns.flags  # noqa: E402
import dns.message  # noqa: E402
import dns.query  # noqa: E402
import dns.rcode  # noqa: E402
import dns.rdatatype  # noqa: E402

from conftest import VELLMAIN, write_ini  # noqa: E402

ZONE = """\
$TTL 7200
@       IN SOA ns1 hostmaster ( 2024010101 3600 900 604800 300 )
@       NS    ns1
@       AAAA  2001:db8::1
@       CAA   0 issue "ca.example.net"
@       MX    10 mail
ns1     A     192.0.2.1
mail    A     192.0.2.25
mail    AAAA  2001:db8::25
www     A     192.0.2.80
www     AAAA  2001:db8::80
www     HTTPS 1 . alpn=h2,h3
only4   60 A  192.0.2.4
alias   CNAME www
*.wild  AAAA  2001:db8::99
opaque  TYPE65534 \\# 4 0A000001
_x._tcp SRV   0 5 40000 www
pref    MX    65000 www
big     TXT   {big}
sub     NS    ns.sub
ns.sub  A     192.0.2.53
ns.sub  AAAA  2001:db8::53
$ORIGIN other.example.com.
h       A     192.0.2.9
"""
BIG_STRINGS = ['"' + chr(ord("a") + i) * 250 + '"' for i in range(12)]  # 3,012 octets of TXT data


def zone_text():
    return ZONE.replace("{big}", " ".join(BIG_STRINGS))


def start_zone(start, home, args=("-n",), port=None):
    os.makedirs(os.path.join(home, "data"), exist_ok=True)
    with open(os.path.join(home, "data", "example.com.dns"), "wb") as f:
        f.write(zone_text().replace("\n", "\r\n").encode())
    server = start(list(args), port=port)
    assert server.wait_for("Loading DHCP Leases...")
    return server


def ask(server, name, rdtype, rd=False, edns=0, tcp=False):
    query = dns.message.make_query(name, rdtype, use_edns=edns)
    if not rd:
        query.flags &= ~dns.flags.RD
    exchange = dns.query.tcp if tcp else dns.query.udp
    return exchange(query, "127.0.0.1", port=server.port, timeout=3)


def texts(section):
    return sorted((str(r.name), r.ttl, dns.rdatatype.to_text(r.rdtype), rd.to_text()) for r in section for rd in r)


SOA = ("example.com.", 7200, "SOA", "ns1.example.com. hostmaster.example.com. 2024010101 3600 900 604800 300")
NO_DATA = (dns.rcode.NOERROR, [], [SOA], [])

# name, type -> rcode, answer, authority, additional (each as texts()).
ANSWERS = [
    ("example.com.", "AAAA", dns.rcode.NOERROR, [("example.com.", 7200, "AAAA", "2001:db8::1")], [], []),
    ("x.wild.example.com.", "AAAA", dns.rcode.NOERROR, [("x.wild.example.com.", 7200, "AAAA", "2001:db8::99")],
     [], []),
    ("alias.example.com.", "AAAA", dns.rcode.NOERROR,
     [("alias.example.com.", 7200, "CNAME", "www.example.com."), ("www.example.com.", 7200, "AAAA", "2001:db8::80")],
     [], []),
    ("example.com.", "MX", dns.rcode.NOERROR, [("example.com.", 7200, "MX", "10 mail.example.com.")], [],
     [("mail.example.com.", 7200, "A", "192.0.2.25"), ("mail.example.com.", 7200, "AAAA", "2001:db8::25")]),
    ("_x._tcp.example.com.", "SRV", dns.rcode.NOERROR, [("_x._tcp.example.com.", 7200, "SRV", "0 5 40000 www.example.com.")],
     [], [("www.example.com.", 7200, "A", "192.0.2.80"), ("www.example.com.", 7200, "AAAA", "2001:db8::80")]),
    ("pref.example.com.", "MX", dns.rcode.NOERROR, [("pref.example.com.", 7200, "MX", "65000 www.example.com.")], [],
     [("www.example.com.", 7200, "A", "192.0.2.80"), ("www.example.com.", 7200, "AAAA", "2001:db8::80")]),
    ("example.com.", "CAA", dns.rcode.NOERROR, [("example.com.", 7200, "CAA", '0 issue "ca.example.net"')], [], []),
    ("www.example.com.", "HTTPS", dns.rcode.NOERROR, [("www.example.com.", 7200, "HTTPS", '1 . alpn="h2,h3"')], [], []),
    ("opaque.example.com.", "TYPE65534", dns.rcode.NOERROR, [("opaque.example.com.", 7200, "TYPE65534", "\\# 4 0a000001")],
     [], []),
    ("host.sub.example.com.", "AAAA", dns.rcode.NOERROR, [], [("sub.example.com.", 7200, "NS", "ns.sub.example.com.")],
     [("ns.sub.example.com.", 7200, "A", "192.0.2.53"), ("ns.sub.example.com.", 7200, "AAAA", "2001:db8::53")]),
    ("h.other.example.com.", "A", dns.rcode.NOERROR, [("h.other.example.com.", 7200, "A", "192.0.2.9")], [], []),
    ("only4.example.com.", "AAAA", *NO_DATA),
    ("only4.example.com.", "HTTPS", *NO_DATA),
    ("_tcp.example.com.", "A", *NO_DATA),
]


@pytest.fixture
def server(start, home):
    return start_zone(start, home)


def test_every_type_is_answered_as_the_zone_file_has_it(server):
    for name, rdtype, rcode, answer, authority, additional in ANSWERS:
        reply = ask(server, name, rdtype)
        assert (name, rdtype, reply.rcode(), texts(reply.answer), texts(reply.authority), texts(reply.additional)) \
            == (name, rdtype, rcode, sorted(answer), sorted(authority), sorted(additional))


def raw_query(name, opts, ancount=0):
    """A query for name/A followed by the given OPT records (payload, version)."""
    wire = b"".join(bytes([len(p)]) + p.encode() for p in name.split(".") if p) + b"\0"
    msg = struct.pack(">HBBHHHH", 0x77, 0, 0, 1, ancount, 0, len(opts) - ancount) + wire + struct.pack(">HH", 1, 1)
    return msg + b"".join(struct.pack(">BHHBBHH", 0, 41, payload, 0, version, 0, 0) for payload, version in opts)


@pytest.mark.parametrize("opts, ancount, rcode, opt", [
    ([], 0, dns.rcode.NOERROR, None),
    ([(4096, 0)], 0, dns.rcode.NOERROR, (1232, 0)),
    ([(1232, 1)], 0, dns.rcode.BADVERS, (1232, 0)),
    ([(1232, 0), (512, 0)], 0, dns.rcode.FORMERR, None),
    ([(1232, 0)], 1, dns.rcode.FORMERR, None),
])
def test_edns_is_answered_in_kind(server, opts, ancount, rcode, opt):
    reply = raw_exchange(server, raw_query("www.example.com.", opts, ancount))
    assert reply.rcode() == rcode
    assert (None if reply.edns < 0 else (reply.payload, reply.edns)) == opt


def raw_exchange(server, datagram):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(3)
        s.sendto(datagram, ("127.0.0.1", server.port))
        return dns.message.from_wire(s.recv(65535))


def test_a_large_answer_is_truncated_over_udp_and_whole_over_tcp(server):
    udp = ask(server, "big.example.com.", "TXT", edns=-1)
    assert udp.flags & dns.flags.TC and udp.answer == []
    tcp = ask(server, "big.example.com.", "TXT", edns=-1, tcp=True)
    assert not tcp.flags & dns.flags.TC
    assert [rd.to_text() for rd in tcp.answer[0]] == [" ".join(BIG_STRINGS)]
    dig = subprocess.run(["dig", "@127.0.0.1", "-p", str(server.port), "+norec", "+noedns", "+short",
                          "big.example.com.", "TXT"], capture_output=True, text=True, timeout=10)
    assert sorted(dig.stdout.split()) == sorted(BIG_STRINGS)  # dig retried over TCP


def test_the_question_keeps_the_clients_case(server):
    reply = ask(server, "wWw.ExAmple.COM.", "A")
    assert reply.question[0].name.to_text() == "wWw.ExAmple.COM."
    assert texts(reply.answer) == [("www.example.com.", 7200, "A", "192.0.2.80")]


@contextlib.contextmanager
def resolver_namespace(nameserver):
    """A network namespace whose resolv.conf names nameserver; removed on exit."""
    ns = "vellres" + str(os.getpid())
    conf = os.path.join("/etc/netns", ns)
    try:
        subprocess.run(["ip", "netns", "add", ns], check=True, capture_output=True)
        subprocess.run(["ip", "-n", ns, "link", "set", "lo", "up"], check=True, capture_output=True)
        os.makedirs(conf, exist_ok=True)
        with open(os.path.join(conf, "resolv.conf"), "w") as f:
            f.write("nameserver %s\noptions timeout:2 attempts:1\n" % nameserver)
        yield ns
    finally:
        shutil.rmtree(conf, ignore_errors=True)
        subprocess.run(["ip", "netns", "del", ns], capture_output=True)


def test_glibc_gets_both_addresses_at_once(home):
    if os.geteuid() != 0:
        pytest.skip("network namespaces need root")
    os.makedirs(os.path.join(home, "data"), exist_ok=True)
    with open(os.path.join(home, "data", "example.com.dns"), "wb") as f:
        f.write(zone_text().replace("\n", "\r\n").encode())
    write_ini(home, ["StartMini: YES"])
    with resolver_namespace("127.0.0.1") as ns:
        proc = subprocess.Popen(["ip", "netns", "exec", ns, VELLMAIN, "-n", "--home", home, "--dns-port", "53"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            out = ""
            for _ in range(50):  # the zone is loaded on the first tick
                began = time.monotonic()
                out = subprocess.run(["ip", "netns", "exec", ns, "getent", "ahosts", "www.example.com"],
                                     capture_output=True, text=True, timeout=10).stdout
                took = time.monotonic() - began
                if "2001:db8::80" in out:
                    break
                time.sleep(0.1)
            addresses = {line.split()[0] for line in out.splitlines()}
            assert addresses == {"192.0.2.80", "2001:db8::80"}
            assert took < 1.0  # no retry delays
        finally:
            proc.terminate()
            proc.wait(timeout=10)
