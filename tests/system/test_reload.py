"""vellctl and the reload control port: reload of everything and of one zone
(with NOTIFY to its secondaries), unload, and a stopped server. Who may
send and how the texts are read are unit tests of the reload port."""

import os
import re
import socket
import time

from conftest import read, vellctl, write_zone
from test_authoritative import ask

import dns.exception
import dns.message
import dns.opcode


def addresses(server, name, source="127.0.0.1", timeout=2):
    """The A records answered for name; None when no reply comes."""
    try:
        reply = ask(server, name, "A", rd=False, source=source, timeout=timeout)
    except dns.exception.Timeout:
        return None
    return [rd.to_text() for rrset in reply.answer for rd in rrset]


def write_serial(home, serial, address):
    write_zone(home, f"; Notify 127.0.0.5\n@ IN SOA ns1.example.com. admin.example.com. {serial} 3600 600 86400 300\n"
                     f"www IN A {address}\n")


def test_vellctl_reloads_unloads_and_notifies(home, start):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as secondary:
        secondary.bind(("127.0.0.5", 0))
        secondary.settimeout(3)
        write_serial(home, 1, "192.0.2.10")
        server = start(["-n", "--peer-port", str(secondary.getsockname()[1])])
        assert server.wait_for("Loading DHCP Leases...")
        port = int(re.search(r"ReloadPort: (\d+)", read(os.path.join(home, "vellion.ini"))).group(1))

        # One zone: reloaded from its file, and its secondary notified.
        write_serial(home, 2, "192.0.2.20")
        done = vellctl(home, "reload", "Example.COM", "S")
        assert (done.returncode, done.stdout) == (
            0, 'vellctl: sent "RELOAD S Example.COM" to the server on 127.0.0.1 port %d\n' % port)
        notify = dns.message.from_wire(secondary.recv(512))
        assert (notify.opcode(), str(notify.question[0].name)) == (dns.opcode.NOTIFY, "example.com.")
        assert server.wait_for("Sending Zone Update Notification to 127.0.0.5 about example.com.")
        assert addresses(server, "www.example.com.") == ["192.0.2.20"]

    assert vellctl(home, "unload", "example.com").returncode == 0
    assert server.wait_for("Removing Zone: example.com.")
    assert addresses(server, "www.example.com.") == []

    # Everything: the zone is back from its file.
    write_serial(home, 3, "192.0.2.30")
    assert vellctl(home, "reload").returncode == 0
    deadline = time.monotonic() + 5
    while addresses(server, "www.example.com.") != ["192.0.2.30"] and time.monotonic() < deadline:
        time.sleep(0.05)
    assert addresses(server, "www.example.com.") == ["192.0.2.30"]
    assert server.stop() == 0
    stopped = vellctl(home, "reload")
    assert (stopped.returncode, stopped.stdout) == (1, "")
    assert "the server is not running" in stopped.stderr

