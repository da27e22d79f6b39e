"""vellctl and the reload control port: reload of everything and of one
zone (with NOTIFY to its secondaries), unload, datagrams from other
addresses, and a stopped server."""

import os
import re
import socket
import time

from conftest import free_port, vellctl
from test_authoritative import ask

import dns.message  # noqa: E402  (after test_authoritative has cleaned sys.path)
import dns.opcode  # noqa: E402

ZONE = """\
; Notify 127.0.0.5
@    IN SOA ns1.example.com. admin.example.com. {serial} 3600 600 86400 300
www  IN A   {address}
"""


def write_zone(home, serial, address):
    data = os.path.join(home, "data")
    os.makedirs(data, exist_ok=True)
    with open(os.path.join(data, "example.com.dns"), "wb") as f:
        f.write(ZONE.format(serial=serial, address=address).replace("\n", "\r\n").encode("latin-1"))


def address_of_www(server):
    reply = ask(server, "www.example.com.", "A", rd=False)
    return [rd.to_text() for rrset in reply.answer for rd in rrset]


def reload_port(home):
    with open(os.path.join(home, "vellion.ini"), "rb") as f:
        return int(re.search(rb"ReloadPort: (\d+)", f.read()).group(1))


def test_vellctl_reloads_unloads_and_notifies(home, start):
    secondary = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    secondary.bind(("127.0.0.5", 0))
    secondary.settimeout(3)
    try:
        write_zone(home, 1, "192.0.2.10")
        server = start(["-n", "--peer-port", str(secondary.getsockname()[1])])
        assert server.wait_for("Loading DHCP Leases...")
        assert address_of_www(server) == ["192.0.2.10"]

        # One zone: reloaded from its file, and its secondary notified.
        write_zone(home, 2, "192.0.2.20")
        done = vellctl(home, "reload", "Example.COM", "S")
        assert done.returncode == 0, done.stderr
        assert done.stdout == 'vellctl: sent "RELOAD S Example.COM" to the server on 127.0.0.1 port %d\n' % (
            reload_port(home))
        notify = dns.message.from_wire(secondary.recv(512))
        assert notify.opcode() == dns.opcode.NOTIFY
        assert str(notify.question[0].name) == "example.com."
        assert server.wait_for("Sending Zone Update Notification to 127.0.0.5 about example.com.")
        assert address_of_www(server) == ["192.0.2.20"]

        # The same datagram from another local address is ignored.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as other:
            other.bind(("127.0.0.2", 0))
            other.sendto(b"UNLOAD example.com", ("127.0.0.1", reload_port(home)))
        time.sleep(0.5)
        assert address_of_www(server) == ["192.0.2.20"]
        assert "Removing Zone: example.com." not in server.texts()

        assert vellctl(home, "unload", "example.com").returncode == 0
        assert server.wait_for("Removing Zone: example.com.")
        assert address_of_www(server) == []

        # Everything: the zone is back from its file.
        write_zone(home, 3, "192.0.2.30")
        loads = server.texts().count("Loading Zone: example.com.")
        assert vellctl(home, "reload").returncode == 0
        deadline = time.monotonic() + 5
        while server.texts().count("Loading Zone: example.com.") == loads and time.monotonic() < deadline:
            time.sleep(0.05)
        assert address_of_www(server) == ["192.0.2.30"]
        assert vellctl(home, "hello").returncode == 0
        assert server.stop() == 0
    finally:
        secondary.close()

    stopped = vellctl(home, "reload")
    assert stopped.returncode == 1
    assert "the server is not running" in stopped.stderr
    assert stopped.stdout == ""


def test_vellctl_without_a_server_and_with_a_master_directory(home, start):
    never = vellctl(home, "reload")
    assert never.returncode == 1
    assert "names no reload port" in never.stderr

    server = start(["-n"], ini=["MasterDir: " + os.path.join(home, "Master")])
    assert server.wait_for("Loading DHCP Leases...")  # the port is published before the first tick
    ignored = vellctl(home, "unload", "example.com")
    assert ignored.returncode == 1
    assert "master directory" in ignored.stderr
    assert vellctl(home, "--help").stdout.startswith("NAME\n")
    assert vellctl(home, "restart").returncode == 2
