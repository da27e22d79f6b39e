"""kill -9 at random moments while the server rewrites its files: every next
start finds each file whole, old or new, and loads it without an error."""

import os
import random
import signal
import time

from conftest import Server, free_port, read, write, write_ini

KILLS = 50
RECORDS = 20000  # named.cache large enough that its rewrite takes a while
BLOCKED = ["192.0.2.%d" % i for i in range(1, 201)]


def lines(path):
    text = read(path)
    assert text.endswith("\r\n"), path + " cut short"
    return text[:-2].split("\r\n")


def test_files_survive_kill_9_during_their_rewrite(home):
    ini = ["DNSBind: 127.0.0.1", "CacheReload: YES", "BombLevel: 1000"]
    write_ini(home, ini)
    write(os.path.join(home, "named.cache"), "; Vellion - Cache\n" + "".join(
        "name%d.example. 86400 A 192.0.2.%d\n" % (i, i % 250 + 1) for i in range(RECORDS)))
    write(os.path.join(home, "blocks.dat"), "".join(line + "\n" for line in ["; Vellion - IP address blocks"] + BLOCKED))
    rng = random.Random(14)
    port = free_port()
    for kill in range(KILLS):
        server = Server(home, ["-n", "--home", home, "--dns-port", str(port)])
        try:
            # Every other kill comes during the start (the ini is rewritten),
            # the others during the stop (the cache and blocks.dat are).
            if kill % 2 == 0:
                assert server.wait_for("Loading DHCP Leases...", timeout=20)
                server.proc.send_signal(signal.SIGTERM)
            time.sleep(rng.uniform(0, 0.08))
        finally:
            server.proc.kill()
            server.proc.wait()
        assert len(lines(os.path.join(home, "named.cache"))) == RECORDS + 1
        assert sorted(lines(os.path.join(home, "blocks.dat"))[1:]) == sorted(BLOCKED)
        assert all(line in lines(os.path.join(home, "vellion.ini")) for line in ini)
    server = Server(home, ["-n", "--home", home, "--dns-port", str(port)])
    try:
        assert server.wait_for("Loading DHCP Leases...", timeout=20)
    finally:
        server.stop()
    assert not [t for t in server.texts() if "rror" in t]
