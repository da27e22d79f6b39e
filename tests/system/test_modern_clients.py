"""What today's clients see: every kind of answer with its sections (AAAA and
other record types, zone files as other servers write them), truncation to
TCP, and glibc's resolver. EDNS(0) and the question's case are unit tests of
the dispatch and the answer assembly."""

import contextlib
import os
import shutil
import subprocess
import time

import dns.flags
import dns.rcode
import dns.rdatatype
import pytest
from conftest import write_zone
from test_authoritative import ask

# What the README's examples (test_readme.py, through dig) do not show.
ZONE = """\
$TTL 7200
@       IN SOA ns1 hostmaster ( 2024010101 3600 900 604800 300 )
@       NS    ns1
@       CAA   0 issue "ca.example.net"
ns1     A     192.0.2.1
www     A     192.0.2.80
www     AAAA  2001:db8::80
opaque  TYPE65534 \\# 4 0A000001
_x._tcp SRV   0 5 40000 www
pref    MX    65000 www
big     TXT   {big}
sub     NS    ns.sub
ns.sub  A     192.0.2.53
ns.sub  AAAA  2001:db8::53
"""
BIG_STRINGS = ['"' + chr(ord("a") + i) * 250 + '"' for i in range(12)]  # 3,012 octets of TXT data


def write_big_zone(home):
    write_zone(home, ZONE.replace("{big}", " ".join(BIG_STRINGS)))


def texts(section):
    return sorted((str(r.name), r.ttl, dns.rdatatype.to_text(r.rdtype), rd.to_text()) for r in section for rd in r)


WWW = [("www.example.com.", 7200, "A", "192.0.2.80"), ("www.example.com.", 7200, "AAAA", "2001:db8::80")]
SOA = ("example.com.", 7200, "SOA", "ns1.example.com. hostmaster.example.com. 2024010101 3600 900 604800 300")

# name, type -> rcode, answer, authority, additional (each as texts()).
ANSWERS = [
    # 16-bit fields are unsigned.
    ("_x._tcp.example.com.", "SRV", dns.rcode.NOERROR, [("_x._tcp.example.com.", 7200, "SRV", "0 5 40000 www.example.com.")],
     [], WWW),
    ("pref.example.com.", "MX", dns.rcode.NOERROR, [("pref.example.com.", 7200, "MX", "65000 www.example.com.")], [],
     WWW),
    ("example.com.", "CAA", dns.rcode.NOERROR, [("example.com.", 7200, "CAA", '0 issue "ca.example.net"')], [], []),
    ("opaque.example.com.", "TYPE65534", dns.rcode.NOERROR, [("opaque.example.com.", 7200, "TYPE65534", "\\# 4 0a000001")],
     [], []),
    # Glue of both families.
    ("host.sub.example.com.", "AAAA", dns.rcode.NOERROR, [], [("sub.example.com.", 7200, "NS", "ns.sub.example.com.")],
     [("ns.sub.example.com.", 7200, "A", "192.0.2.53"), ("ns.sub.example.com.", 7200, "AAAA", "2001:db8::53")]),
    # An empty non-terminal has no data, not a name error.
    ("_tcp.example.com.", "A", dns.rcode.NOERROR, [], [SOA], []),
]
REFERRALS = {"host.sub.example.com."}  # answered without AA


@pytest.fixture
def server(start, home):
    write_big_zone(home)
    server = start(["-n"])
    assert server.wait_for("Loading DHCP Leases...")
    return server


def test_every_type_is_answered_as_the_zone_file_has_it(server):
    for name, rdtype, rcode, answer, authority, additional in ANSWERS:
        reply = ask(server, name, rdtype, rd=False, edns=0)
        assert (name, rdtype, bool(reply.flags & dns.flags.AA), reply.rcode(), texts(reply.answer),
                texts(reply.authority), texts(reply.additional)) \
            == (name, rdtype, name not in REFERRALS, rcode, sorted(answer), sorted(authority), sorted(additional))


def test_a_large_answer_is_truncated_over_udp_and_whole_over_tcp(server):
    udp = ask(server, "big.example.com.", "TXT", rd=False)
    assert udp.flags & dns.flags.TC and udp.answer == []
    tcp = ask(server, "big.example.com.", "TXT", rd=False, tcp=True)
    assert not tcp.flags & dns.flags.TC
    assert [rd.to_text() for rd in tcp.answer[0]] == [" ".join(BIG_STRINGS)]
    dig = subprocess.run(["dig", "@127.0.0.1", "-p", str(server.port), "+norec", "+noedns", "+short",
                          "big.example.com.", "TXT"], capture_output=True, text=True, timeout=10)
    assert sorted(dig.stdout.split()) == sorted(BIG_STRINGS)  # dig retried over TCP


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


def test_glibc_gets_both_addresses_at_once(home, start):
    if os.geteuid() != 0:
        pytest.skip("network namespaces need root")
    write_big_zone(home)
    with resolver_namespace("127.0.0.1") as ns:
        server = start(["-n"], ini=["StartMini: YES"], port=53, prefix=["ip", "netns", "exec", ns])
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
            server.stop()  # before its namespace goes
