"""Recursive resolution through a tree of real NSD servers on 127.0.0.2-6,
scripted misbehaving servers, and forwarders."""

import os
import shutil
import socket
import tempfile
import time

import dns.flags
import dns.message
import dns.query
import dns.rcode
import pytest

from conftest import Server, free_port, write_ini
from hierarchy import BIG_TXT, ROOT_HINTS, Hierarchy, Responder, reply_with


def misbehaving(query):
    """127.0.0.8: spoof.test. adds a record of another zone; wrongq.test.
    first answers another question, then the right one; noedns.test. rejects
    queries with an OPT record."""
    name = str(query.question[0].name)
    if name == "www.noedns.test.":
        if query.edns < 0:
            return reply_with(query, "www.noedns.test. 300 IN A 192.0.2.68")
        reply = dns.message.make_response(query)
        reply.set_rcode(dns.rcode.FORMERR)
        return reply
    if name == "www.spoof.test.":
        return reply_with(query, "www.spoof.test. 300 IN A 192.0.2.66", "www.example.test. 300 IN A 6.6.6.6")
    if name == "www.wrongq.test.":
        misbehaving.wrong_sent = getattr(misbehaving, "wrong_sent", 0) + 1
        if misbehaving.wrong_sent == 1:
            return reply_with(query, "other.wrongq.test. 300 IN A 6.6.6.7", qname="other.wrongq.test.")
        return reply_with(query, "www.wrongq.test. 300 IN A 192.0.2.67")
    return None


@pytest.fixture(scope="module")
def tree():
    """The NSD tree, the misbehaving server and a silent one, on one port."""
    directory = tempfile.mkdtemp(prefix="vellion-tree-")
    port = free_port()
    hierarchy = Hierarchy(directory, port)
    responders = [Responder("127.0.0.8", port, misbehaving), Responder("127.0.0.9", port)]
    yield {"port": port, "scripted": responders[0], "silent": responders[1]}
    for responder in responders:
        responder.stop()
    hierarchy.stop()
    shutil.rmtree(directory, ignore_errors=True)


def start_resolver(home, peer_port, ini=()):
    with open(os.path.join(home, "named.root"), "wb") as f:
        f.write(ROOT_HINTS.replace("\n", "\r\n").encode())
    write_ini(home, list(ini))
    port = free_port()
    server = Server(home, ["-n", "--home", home, "--dns-port", str(port), "--peer-port", str(peer_port)])
    server.port = port
    assert server.wait_for("Loading DHCP Leases...")
    return server


def ask(server, name, rdtype="A", rd=True, timeout=3, source="127.0.0.1"):
    query = dns.message.make_query(name, rdtype)
    if not rd:
        query.flags &= ~dns.flags.RD
    return dns.query.udp(query, "127.0.0.1", port=server.port, timeout=timeout, source=source)


def answers(reply):
    return [rd.to_text() for rrset in reply.answer for rd in rrset]


def sent_queries(server):
    return [t for t in server.texts() if t.startswith("Sending request")]


@pytest.fixture(scope="module")
def resolver(tree):
    """One vellmain with default settings, shared by the tests of the tree."""
    home = tempfile.mkdtemp(prefix="vellion-sys-")
    server = start_resolver(home, tree["port"])
    # The hints of named.root are the tree's root server.
    assert ask(server, ".", "NS", rd=False).answer
    yield server
    server.stop()
    shutil.rmtree(home, ignore_errors=True)


def test_names_resolve_from_the_root_down(resolver):
    reply = ask(resolver, "www.example.test.")
    assert reply.rcode() == dns.rcode.NOERROR
    assert answers(reply) == ["192.0.2.80"]
    assert reply.flags & dns.flags.RA and not reply.flags & dns.flags.AA
    assert "Sending request to a.root. (127.0.0.2) for A-record for www.example.test." in sent_queries(resolver)
    assert "Sending request to ns1.example.test. (127.0.0.4) for A-record for www.example.test." in \
        sent_queries(resolver)
    assert answers(ask(resolver, "80.2.0.192.in-addr.arpa.", "PTR")) == ["www.example.test."]
    # alias.example.test. -> web.example.org. -> www.example.test.
    assert answers(ask(resolver, "alias.example.test.")) == ["web.example.org.", "www.example.test.", "192.0.2.80"]


def test_server_addresses_missing_from_referrals_are_found_by_sub_requests(resolver):
    # Named outside the zone it serves: resolved like any name.
    assert answers(ask(resolver, "www.outside.test.")) == ["192.0.2.81"]
    assert any(t.endswith("for A-record for ns.hoster.org.") for t in sent_queries(resolver))
    # The address of sub.lab.test.'s server has TTL 0: it is used from the
    # referral but never cached, so the next name of the zone finds the
    # server known without address, inside the zone it serves, and looks
    # its address up starting at the root.
    assert answers(ask(resolver, "www.sub.lab.test.")) == ["192.0.2.82"]
    assert answers(ask(resolver, "www2.sub.lab.test.")) == ["192.0.2.84"]
    assert "Sending request to a.root. (127.0.0.2) for A-record for ns.sub.lab.test." in sent_queries(resolver)


def test_a_lame_delegation_is_logged_and_the_server_forgotten(resolver):
    # ns.lame.test. is the root server, which only refers back to test.
    assert ask(resolver, "www.lame.test.").rcode() == dns.rcode.SERVFAIL
    assert "** Error: Lame delegation for lame.test. on ns.lame.test. (127.0.0.2)" in resolver.texts()
    assert ask(resolver, "lame.test.", "NS", rd=False).answer == []


def test_a_silent_server_is_given_up_for_the_next_one(resolver, tree):
    began = time.monotonic()
    assert answers(ask(resolver, "www.slow.test.", timeout=5)) == ["192.0.2.83"]
    assert time.monotonic() - began >= 0.5
    assert "Sending request to ns.slow.test. (127.0.0.9) for A-record for www.slow.test." in sent_queries(resolver)
    assert any(str(q.question[0].name) == "www.slow.test." for q in tree["silent"].queries)


def test_negative_answers_are_cached(resolver):
    assert ask(resolver, "nx.example.test.").rcode() == dns.rcode.NXDOMAIN
    no_data = ask(resolver, "www.example.test.", "MX")
    assert no_data.rcode() == dns.rcode.NOERROR and no_data.answer == []
    before = len(sent_queries(resolver))
    assert ask(resolver, "nx.example.test.").rcode() == dns.rcode.NXDOMAIN
    no_data = ask(resolver, "www.example.test.", "MX")
    assert no_data.rcode() == dns.rcode.NOERROR and no_data.answer == []
    assert len(sent_queries(resolver)) == before


OTHER_TYPES = [("www.example.test.", "AAAA", ["2001:db8::80"]), ("www.example.test.", "HTTPS", ['1 . alpn="h2"']),
               ("example.test.", "CAA", ['0 issue "ca.test"']),
               ("_x._tcp.example.test.", "SRV", ["0 5 40000 www.example.test."]),
               ("pref.example.test.", "MX", ["65000 www.example.test."])]


def test_other_types_are_resolved_cached_and_kept_in_the_cache_file(tree):
    home = tempfile.mkdtemp(prefix="vellion-sys-")
    servers = [start_resolver(home, tree["port"], ini=["CacheReload: YES"])]
    try:
        for server in (servers[0], servers[0]):
            assert [answers(ask(server, name, rdtype)) for name, rdtype, _ in OTHER_TYPES] == \
                [expected for _, _, expected in OTHER_TYPES]
        asked = len(sent_queries(servers[0]))
        servers[0].stop()
        with open(os.path.join(home, "named.cache"), encoding="latin-1") as f:
            saved = f.read()
        assert "AAAA 2001:db8::80" in saved and "SRV 0 5 40000 www.example.test." in saved
        assert asked == len(OTHER_TYPES) + 2  # the root and test. servers were asked once
        servers.append(start_resolver(home, tree["port"], ini=["CacheReload: YES"]))
        assert [answers(ask(servers[1], name, rdtype)) for name, rdtype, _ in OTHER_TYPES] == \
            [expected for _, _, expected in OTHER_TYPES]
        assert sent_queries(servers[1]) == []
    finally:
        for server in servers:
            server.stop()
        shutil.rmtree(home, ignore_errors=True)


def test_a_response_to_another_question_is_ignored(resolver):
    assert answers(ask(resolver, "www.wrongq.test.", timeout=5)) == ["192.0.2.67"]


def test_a_truncated_answer_is_fetched_again_over_tcp_and_cached(resolver):
    query = dns.message.make_query("big.example.test.", "TXT")
    whole = [b"".join(rd.strings) for rrset in dns.query.tcp(query, "127.0.0.1", port=resolver.port,
                                                             timeout=5).answer for rd in rrset]
    assert whole == ["".join(BIG_TXT).encode()]
    # NSD answered the UDP query (with our OPT of 1232) truncated.
    assert "Sending request over TCP to 127.0.0.4 for TXT-record for big.example.test." in sent_queries(resolver)
    asked = len(sent_queries(resolver))
    query.use_edns(0, payload=4096)
    cut = dns.query.udp(query, "127.0.0.1", port=resolver.port, timeout=3)
    assert cut.flags & dns.flags.TC and cut.answer == []
    again = dns.query.tcp(query, "127.0.0.1", port=resolver.port, timeout=3)
    assert [b"".join(rd.strings) for rrset in again.answer for rd in rrset] == whole
    assert len(sent_queries(resolver)) == asked


def test_queries_offer_edns_and_a_server_rejecting_it_is_asked_without(resolver, tree):
    assert answers(ask(resolver, "www.noedns.test.")) == ["192.0.2.68"]
    asked = [q for q in tree["scripted"].queries if str(q.question[0].name) == "www.noedns.test."]
    assert [(q.edns, q.payload) for q in asked][:1] == [(0, 1232)]
    assert [q.edns for q in asked] == [0, -1]
    assert "Sending request without EDNS to 127.0.0.8 for A-record for www.noedns.test." in sent_queries(resolver)


def test_spoof_secure_drops_records_outside_the_zone_asked(tree):
    home = tempfile.mkdtemp(prefix="vellion-sys-")
    server = start_resolver(home, tree["port"], ["SpoofSecure: YES"])
    try:
        assert answers(ask(server, "www.spoof.test.")) == ["192.0.2.66"]
        assert answers(ask(server, "www.example.test.")) == ["192.0.2.80"]
    finally:
        server.stop()
        shutil.rmtree(home, ignore_errors=True)


@pytest.fixture
def forwarding(home):
    """start(forwarders, answer, delay) -> (vellmain, responders), forwarding to responders."""
    made = []

    def _start(addresses, answer=None, delay=0.0):
        port = free_port()
        responders = [Responder(ip, port, answer, delay) for ip in addresses]
        made.extend(responders)
        server = start_resolver(home, port, ["RecursionOut: YES", "DNSRecursion: 127.*"] + ["NS: " + ip for ip in addresses])
        made.append(server)
        return server, responders

    yield _start
    for item in made:
        item.stop()


def test_identical_queries_from_two_clients_share_one_forwarded_query(forwarding):
    server, (forwarder,) = forwarding(
        ["127.0.0.7"], lambda q: reply_with(q, "www.fwd.example. 300 IN A 192.0.2.70"), delay=0.4)
    clients = []
    for ident, source in ((0x1111, "127.0.0.1"), (0x2222, "127.0.0.12")):
        query = dns.message.make_query("www.fwd.example.", "A", id=ident)
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind((source, 0))
        sock.settimeout(3)
        sock.sendto(query.to_wire(), ("127.0.0.1", server.port))
        clients.append((ident, sock))
    for ident, sock in clients:
        with sock:
            reply = dns.message.from_wire(sock.recv(4096))
        assert reply.id == ident
        assert answers(reply) == ["192.0.2.70"]
    assert len(forwarder.queries) == 1
    assert forwarder.queries[0].flags & dns.flags.RD


def test_forwarders_that_never_answer_end_in_server_failure(forwarding):
    server, forwarders = forwarding(["127.0.0.10", "127.0.0.11"])
    began = time.monotonic()
    assert ask(server, "www.fwd.example.", timeout=15).rcode() == dns.rcode.SERVFAIL
    # Five queries each, about one a second.
    assert [len(f.queries) for f in forwarders] == [5, 5]
    assert 8 <= time.monotonic() - began <= 12
    assert sum(t.startswith("Sending request to Forward-DNS") for t in server.texts()) == 10
