"""A master directory shared by two servers: a new, a touched and a deleted
master file are followed by both (an empty or missing directory is a unit
test of the master list). MasterSync: 0 makes every one-second tick a pass."""

import os

from test_reload import addresses


def write_master(master, zone, address, mtime=None):
    path = os.path.join(master, zone + ".dns")
    with open(path, "wb") as f:
        f.write(("@ IN SOA ns1.{0}. admin.{0}. 1 3600 600 86400 300\r\nwww IN A {1}\r\n".format(zone, address))
                .encode("latin-1"))
    if mtime is not None:
        os.utime(path, (mtime, mtime))


def followed(servers, line, answers):
    """Every server logs line, then answers for www.<zone> are as given."""
    return (all(s.wait_for(line) for s in servers)
            and all([addresses(s, "www.%s." % z) for z in answers] == list(answers.values()) for s in servers))


def test_two_servers_follow_one_master_directory(home, start, tmp_path):
    master = os.path.join(home, "Shared Master")  # mixed case and a blank: kept as written
    os.makedirs(master)
    write_master(master, "example.com", "192.0.2.1", mtime=1700000000)
    servers = []
    for name in ("one", "two"):
        os.makedirs(str(tmp_path / name))
        servers.append(start(["-n"], ini=["MasterDir: " + master, "MasterSync: 0"], home_dir=str(tmp_path / name)))
    assert followed(servers, "-> New zone: example.com.", {"example.com": ["192.0.2.1"]})

    write_master(master, "example.org", "192.0.2.2")
    assert followed(servers, "-> New zone: example.org.", {"example.org": ["192.0.2.2"]})
    write_master(master, "example.com", "192.0.2.3", mtime=1700000100)
    assert followed(servers, "-> Updated zone: example.com.", {"example.com": ["192.0.2.3"]})
    os.remove(os.path.join(master, "example.org.dns"))
    assert followed(servers, "-> Removed Zone: example.org.", {"example.org": []})
    assert not any(os.path.exists(os.path.join(s.home, "data", "example.org.dns")) for s in servers)
