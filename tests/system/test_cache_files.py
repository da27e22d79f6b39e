"""The cache files seen from outside: a saved cache is answered from, keeps
counting down while the server is stopped and is written back at the stop;
the names of a hosts file resolve both ways."""

import os
import re
import time

import dns.rcode
from test_authoritative import ask


def write(path, text):
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("latin-1"))


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def answers(reply):
    return [(rrset.ttl, rd.to_text()) for rrset in reply.answer for rd in rrset]


def start_loaded(start, ini):
    server = start(["-n"], ini=["DNSBind: 127.0.0.1"] + ini)
    assert server.wait_for("Loading DHCP Leases...")  # the first tick loaded the files
    return server


def test_saved_cache_is_answered_and_written_back_older(home, start):
    cache = os.path.join(home, "named.cache")
    write(cache, "; Vellion - Cache\nkept.example. 3600 A 192.0.2.77\n 3600 A 192.0.2.78\nold.example. 50 A 192.0.2.1\n")
    written = time.time() - 100  # the server was stopped 100 s ago
    os.utime(cache, (written, written))

    server = start_loaded(start, ["CacheReload: YES"])
    assert "Loading Cache..." in server.texts()
    reply = ask(server, "kept.example.", "A", rd=False)
    assert reply.rcode() == dns.rcode.NOERROR
    # Reloaded records of one owner come back in the reverse of their file order.
    assert [data for _, data in answers(reply)] == ["192.0.2.78", "192.0.2.77"]
    assert 3490 <= answers(reply)[0][0] <= 3500
    assert ask(server, "old.example.", "A", rd=False).answer == []  # ran out while stopped
    assert server.stop() == 0

    saved = read(cache).split("\r\n")
    assert saved[0] == "; Vellion - Cache"
    assert re.fullmatch(r"kept\.example\. (\d+) A 192\.0\.2\.78", saved[1])
    assert re.fullmatch(r" (\d+) A 192\.0\.2\.77", saved[2])
    assert 3490 <= int(saved[1].split()[1]) <= 3500
    assert saved[3:] == [""]


def test_hosts_names_resolve_both_ways_and_nothing_is_saved_without_cache_reload(home, start):
    hosts = os.path.join(home, "hosts")
    write(hosts, "# the office\n192.0.2.9\tPrinter.lan  lp   # second floor\n")
    server = start_loaded(start, ["Hosts: " + hosts, "HostsTTL: 600"])
    texts = server.texts()
    assert 'Loading hosts file "' + hosts + '"...' in texts
    assert "-> File not found!" not in texts

    assert answers(ask(server, "printer.lan.", "A", rd=False)) == [(600, "192.0.2.9")]
    assert answers(ask(server, "9.2.0.192.in-addr.arpa.", "PTR", rd=False)) == [(600, "printer.lan.")]
    assert answers(ask(server, "lp.", "CNAME", rd=False)) == [(600, "printer.lan.")]
    assert answers(ask(server, "localhost.", "A", rd=False)) == [(600, "127.0.0.1")]
    assert server.stop() == 0
    assert not os.path.exists(os.path.join(home, "named.cache"))
