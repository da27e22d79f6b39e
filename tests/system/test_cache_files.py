"""The cache files as a run uses them: with CacheReload the saved cache is
read at the start and written back at the stop, and the names of a hosts
file resolve both ways. What the files hold, the count-down while stopped
and the hosts lines' forms are unit tests of the cache."""

import os
import time

from conftest import read, write
from test_authoritative import ask


def answers(reply):
    return [(rrset.ttl, rd.to_text()) for rrset in reply.answer for rd in rrset]


def test_saved_cache_and_hosts_file_are_answered_and_the_cache_written_back(home, start):
    cache, hosts = os.path.join(home, "named.cache"), os.path.join(home, "hosts")
    write(cache, "; Vellion - Cache\nkept.example. 3600 A 192.0.2.77\n")
    written = time.time() - 100  # the server was stopped 100 s ago
    os.utime(cache, (written, written))
    write(hosts, "192.0.2.9\tPrinter.lan  lp\n")
    server = start(["-n"], ini=["DNSBind: 127.0.0.1", "CacheReload: YES", "Hosts: " + hosts, "HostsTTL: 600"])
    assert server.wait_for("Loading DHCP Leases...")  # the first tick loaded the files
    assert "Loading Cache..." in server.texts()

    ttl, data = answers(ask(server, "kept.example.", "A", rd=False))[0]
    assert data == "192.0.2.77" and 3490 <= ttl <= 3500
    assert answers(ask(server, "printer.lan.", "A", rd=False)) == [(600, "192.0.2.9")]
    assert answers(ask(server, "9.2.0.192.in-addr.arpa.", "PTR", rd=False)) == [(600, "printer.lan.")]
    assert answers(ask(server, "lp.", "CNAME", rd=False)) == [(600, "printer.lan.")]
    assert server.stop() == 0
    saved = read(cache).split("\r\n")
    assert saved[0] == "; Vellion - Cache" and saved[1].startswith("kept.example. 3") and saved[-1] == ""
    assert not any("printer" in line for line in saved)  # hosts records are never saved
