"""A master directory shared by two servers: a new, a touched and a deleted
master file are followed by both; an empty master directory removes
nothing. MasterSync: 0 makes every one-second tick a pass, so the test
waits seconds, not minutes."""

import os
import time

from test_authoritative import ask

ZONE = """\
@    IN SOA ns1.{zone} admin.{zone} 1 3600 600 86400 300
www  IN A   {address}
"""


def write_master(master, zone, address, mtime=None):
    path = os.path.join(master, zone + ".dns")
    with open(path, "wb") as f:
        f.write(ZONE.format(zone=zone + ".", address=address).replace("\n", "\r\n").encode("latin-1"))
    if mtime is not None:
        os.utime(path, (mtime, mtime))


def www(server, zone):
    reply = ask(server, "www.%s." % zone, "A", rd=False)
    return [rd.to_text() for rrset in reply.answer for rd in rrset]


def all_log(servers, text, timeout=5.0):
    return all(server.wait_for(text, timeout) for server in servers)


def test_two_servers_follow_one_master_directory(home, start, tmp_path):
    master = os.path.join(home, "Shared Master")  # mixed case and a blank: kept as written
    os.makedirs(master)
    write_master(master, "example.com", "192.0.2.1", mtime=1700000000)
    servers = []
    for name in ("one", "two"):
        own = str(tmp_path / name)
        os.makedirs(own)
        servers.append(start(["-n"], ini=["MasterDir: " + master, "MasterSync: 0"], home_dir=own))
    assert all_log(servers, "-> New zone: example.com.")
    assert [www(s, "example.com") for s in servers] == [["192.0.2.1"]] * 2
    for server in servers:
        with open(os.path.join(server.home, "data", "example.com.dns"), "rb") as f:
            assert b"192.0.2.1" in f.read()

    write_master(master, "example.org", "192.0.2.2")
    assert all_log(servers, "-> New zone: example.org.")
    write_master(master, "example.com", "192.0.2.3", mtime=1700000100)
    assert all_log(servers, "-> Updated zone: example.com.")
    assert [www(s, "example.com") for s in servers] == [["192.0.2.3"]] * 2
    assert [www(s, "example.org") for s in servers] == [["192.0.2.2"]] * 2

    os.remove(os.path.join(master, "example.org.dns"))
    assert all_log(servers, "-> Removed Zone: example.org.")
    assert [www(s, "example.org") for s in servers] == [[]] * 2
    assert not any(os.path.exists(os.path.join(s.home, "data", "example.org.dns")) for s in servers)

    os.remove(os.path.join(master, "example.com.dns"))
    assert all_log(servers, "** Failed to synchronize!")
    assert [www(s, "example.com") for s in servers] == [["192.0.2.3"]] * 2
    assert not any("-> Removed Zone: example.com." in s.texts() for s in servers)

    # The master list keeps the file times: a restart reloads nothing.
    write_master(master, "example.com", "192.0.2.3", mtime=1700000100)
    first = servers[0]
    assert first.stop() == 0
    with open(os.path.join(first.home, "ml.dat"), "rb") as f:
        assert f.read().startswith(b"example.com. ")
    again = start(["-n"], home_dir=first.home)
    assert again.wait_for('Synchronizing with "%s"' % master)
    time.sleep(1.5)
    assert not any(text.startswith("-> ") for text in again.texts())
    assert www(again, "example.com") == ["192.0.2.3"]
