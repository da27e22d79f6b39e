"""Recursive resolution through a tree of real NSD servers on 127.0.0.2-6
and a scripted misbehaving server. Silent, lame and self-pointing servers,
forwarders and SpoofSecure are unit tests on the fake clock (recursion_test)."""

import os
import shutil
import tempfile

import dns.flags
import dns.message
import dns.query
import dns.rcode
import pytest

from conftest import Server, free_port, write_ini
from hierarchy import BIG_TXT, ROOT_HINTS, Hierarchy, Responder, reply_with


def misbehaving(query):
    """127.0.0.8: wrongq.test. first answers another question, then the
    right one; noedns.test. rejects queries with an OPT record."""
    name = str(query.question[0].name)
    if name == "www.noedns.test.":
        if query.edns < 0:
            return reply_with(query, "www.noedns.test. 300 IN A 192.0.2.68")
        reply = dns.message.make_response(query)
        reply.set_rcode(dns.rcode.FORMERR)
        return reply
    if name == "www.wrongq.test.":
        misbehaving.wrong_sent = getattr(misbehaving, "wrong_sent", 0) + 1
        if misbehaving.wrong_sent == 1:
            return reply_with(query, "other.wrongq.test. 300 IN A 6.6.6.7", qname="other.wrongq.test.")
        return reply_with(query, "www.wrongq.test. 300 IN A 192.0.2.67")
    return None


@pytest.fixture(scope="module")
def tree():
    """The NSD tree and the misbehaving server, on one port."""
    directory = tempfile.mkdtemp(prefix="vellion-tree-")
    port = free_port()
    hierarchy = Hierarchy(directory, port)
    try:
        scripted = Responder("127.0.0.8", port, misbehaving)
        yield {"port": port, "scripted": scripted}
        scripted.stop()
    finally:
        hierarchy.stop()
        shutil.rmtree(directory, ignore_errors=True)


def start_resolver(home, peer_port, ini=()):
    with open(os.path.join(home, "named.root"), "wb") as f:
        f.write(ROOT_HINTS.replace("\n", "\r\n").encode())
    write_ini(home, list(ini))
    port = free_port()
    server = Server(home, ["-n", "--home", home, "--dns-port", str(port), "--peer-port", str(peer_port)])
    server.port = port
    if not server.wait_for("Loading DHCP Leases..."):
        server.stop()
        raise AssertionError("vellmain did not start")
    return server


def ask(server, name, rdtype="A", rd=True, timeout=3, source="127.0.0.1"):
    query = dns.message.make_query(name, rdtype)
    if not rd:
        query.flags &= ~dns.flags.RD
    return dns.query.udp(query, "127.0.0.1", port=server.port, timeout=timeout, source=source)


def answers(reply):
    return [rd.to_text() for rrset in reply.answer for rd in rrset]


def sent_queries(server):
    # The output is read by a thread that a busy machine may hold back: the
    # lines of the last exchange are waited for a moment.
    server._drain(0.3)
    return [t for t in server.texts() if t.startswith("Sending request")]


@pytest.fixture(scope="module")
def resolver(tree):
    """One vellmain with default settings, shared by the tests of the tree."""
    home = tempfile.mkdtemp(prefix="vellion-sys-")
    server = start_resolver(home, tree["port"])
    try:  # a failed check stops it too: a module fixture has no later teardown
        # The hints of named.root are the tree's root server.
        assert ask(server, ".", "NS", rd=False).answer
        yield server
    finally:
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


def test_negative_answers_are_cached(resolver):
    before = None
    for _ in range(2):  # the second round asks nobody
        assert ask(resolver, "nx.example.test.").rcode() == dns.rcode.NXDOMAIN
        no_data = ask(resolver, "www.example.test.", "MX")
        assert no_data.rcode() == dns.rcode.NOERROR and no_data.answer == []
        assert before in (None, len(sent_queries(resolver)))
        before = len(sent_queries(resolver))


OTHER_TYPES = {("www.example.test.", "AAAA"): ["2001:db8::80"], ("www.example.test.", "HTTPS"): ['1 . alpn="h2"'],
               ("example.test.", "CAA"): ['0 issue "ca.test"'],
               ("_x._tcp.example.test.", "SRV"): ["0 5 40000 www.example.test."],
               ("pref.example.test.", "MX"): ["65000 www.example.test."]}


def test_other_types_are_resolved_cached_and_kept_in_the_cache_file(tree, home):
    for run in range(2):  # the second run answers from the saved cache
        server = start_resolver(home, tree["port"], ini=["CacheReload: YES"])
        try:
            for _ in range(2 - run):
                assert {key: answers(ask(server, *key)) for key in OTHER_TYPES} == OTHER_TYPES
            # The root and test. servers were asked once.
            assert len(sent_queries(server)) == (len(OTHER_TYPES) + 2 if run == 0 else 0)
        finally:
            server.stop()
    with open(os.path.join(home, "named.cache"), encoding="latin-1") as f:
        saved = f.read()
    assert "AAAA 2001:db8::80" in saved and "SRV 0 5 40000 www.example.test." in saved


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
