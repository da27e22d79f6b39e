"""The DHCP server against real clients (busybox udhcpc, ISC dhclient) and hand-made packets.

Two network namespaces made here and removed afterwards, also on failure: the server's and the
clients', joined by veth pairs on documentation-range addresses. No DHCP traffic leaves them.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

SERVER_IP, SECOND_IP, ABSENT_IP = "192.0.2.1", "198.51.100.1", "203.0.113.1"
TAG = "vdh%d" % os.getpid()
SRV, CLI = TAG + "s", TAG + "c"
SCRIPT = os.path.join(os.path.dirname(__file__), "dhcp_send.py")

pytestmark = pytest.mark.skipif(
    os.geteuid() != 0 or not all(shutil.which(t) for t in ("ip", "busybox", "dhclient", "dig")),
    reason="needs root, ip, busybox, dhclient and dig",
)


def sh(*args, check=True, timeout=30):
    return subprocess.run(list(args), check=check, capture_output=True, text=True, timeout=timeout)


def in_ns(ns, *args, **kw):
    return sh("ip", "netns", "exec", ns, *args, **kw)


def remove_namespaces():
    for ns in (SRV, CLI):
        sh("ip", "netns", "del", ns, check=False)


@pytest.fixture(scope="module")
def net():
    """The namespaces: vs0/vc0 on 192.0.2.0/24 and vs1/vc1 on 198.51.100.0/24."""
    remove_namespaces()
    try:
        sh("ip", "netns", "add", SRV)
        sh("ip", "netns", "add", CLI)
        for i, ip in enumerate((SERVER_IP, SECOND_IP)):
            sh("ip", "link", "add", "vs%d" % i, "netns", SRV, "type", "veth", "peer", "vc%d" % i, "netns", CLI)
            in_ns(SRV, "ip", "addr", "add", ip + "/24", "dev", "vs%d" % i)
            in_ns(SRV, "ip", "link", "set", "vs%d" % i, "up")
            in_ns(CLI, "ip", "link", "set", "vc%d" % i, "up")
        in_ns(SRV, "ip", "link", "set", "lo", "up")
        yield
    finally:
        remove_namespaces()


INI = [
    "Name: server",
    "DHCP: %s lan 192.0.2.10 192.0.2.12 255.255.255.0 192.0.2.254 600" % SERVER_IP,
    "DHCP: %s lan2 198.51.100.20 198.51.100.29 255.255.255.0 0.0.0.0 600" % SECOND_IP,
    "DHCP: %s lan3 203.0.113.10 203.0.113.20 255.255.255.0 0.0.0.0 600" % ABSENT_IP,
]


@pytest.fixture
def server(net, start, home):
    srv = start(["-n"], ini=INI, prefix=["ip", "netns", "exec", SRV])
    assert srv.wait_for("Loading DHCP Leases...")
    srv.dns = lambda *q: in_ns(SRV, "dig", "@" + SERVER_IP, "-p", str(srv.port), "+short", "+tries=1", *q).stdout.split()
    return srv


def set_mac(dev, mac):
    in_ns(CLI, "ip", "link", "set", dev, "down")
    in_ns(CLI, "ip", "link", "set", dev, "address", mac)
    in_ns(CLI, "ip", "link", "set", dev, "up")


def run_client(args, out, stop=signal.SIGKILL, timeout=8):
    """Runs a client in the clients' namespace until its script has written out; ends it by its pid with stop."""
    proc = subprocess.Popen(["ip", "netns", "exec", CLI] + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and not os.path.exists(out) and proc.poll() is None:
            time.sleep(0.02)
        return dict(l.split("=", 1) for l in open(out).read().splitlines() if "=" in l) if os.path.exists(out) else None
    finally:
        if proc.poll() is None:
            proc.send_signal(stop)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def write_script(path, body):
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body)
    os.chmod(path, 0o755)


def udhcpc(dev="vc0", hostname=None, release=False):
    """busybox udhcpc to a lease (None when there is no offer); with release it gives the lease back on exit."""
    with tempfile.TemporaryDirectory() as tmp:
        script, out = os.path.join(tmp, "script"), os.path.join(tmp, "out")
        # The address is put on the interface while bound, so that a release can leave from it.
        write_script(script, 'ip addr flush dev "$interface"\n[ "$1" = bound ] || exit 0\n'
                     'ip addr add "$ip/24" dev "$interface"\nenv > %s.tmp && mv %s.tmp %s\n' % (out, out, out))
        args = ["busybox", "udhcpc", "-i", dev, "-f", "-n", "-t", "3", "-T", "1", "-s", script]
        args += ["-x", "hostname:" + hostname] if hostname else []
        args += ["-R"] if release else []
        return run_client(args, out, stop=signal.SIGTERM if release else signal.SIGKILL)


def dhclient(hostname):
    """ISC dhclient to a lease."""
    with tempfile.TemporaryDirectory() as tmp:
        script, out, conf = (os.path.join(tmp, n) for n in ("script", "out", "conf"))
        write_script(script, '[ "$reason" = BOUND ] && env > %s.tmp && mv %s.tmp %s\nexit 0\n' % (out, out, out))
        with open(conf, "w") as f:
            f.write('send host-name "%s";\nrequest subnet-mask, routers, domain-name, domain-name-servers;\n' % hostname)
        return run_client(["dhclient", "-d", "-1", "-cf", conf, "-sf", script, "-lf", os.path.join(tmp, "leases"),
                           "-pf", os.path.join(tmp, "pid"), "vc0"], out, timeout=20)


def test_real_clients_get_the_scope_and_their_names_resolve_at_once(server):
    set_mac("vc0", "02:00:00:00:00:01")
    a = udhcpc(hostname="alpha")
    assert a and (a["ip"], a["subnet"], a["router"], a["dns"], a["domain"]) == (
        "192.0.2.10", "255.255.255.0", "192.0.2.254", SERVER_IP, "LAN")
    assert server.dns("alpha.lan.", "A") == ["192.0.2.10"]
    assert server.dns("-x", "192.0.2.10") == ["alpha.lan."]

    set_mac("vc0", "02:00:00:00:00:02")
    b = dhclient("bravo")
    assert b and (b["new_ip_address"], b["new_subnet_mask"], b["new_routers"], b["new_domain_name_servers"],
                  b["new_domain_name"]) == ("192.0.2.11", "255.255.255.0", "192.0.2.254", SERVER_IP, "LAN")
    assert server.dns("bravo.lan.", "A") == ["192.0.2.11"]
    assert server.dns("-x", "192.0.2.11") == ["bravo.lan."]

    # Without a host name the hardware address names the client; the second interface serves its own scope.
    set_mac("vc1", "02:00:00:00:00:03")
    c = udhcpc(dev="vc1")
    assert c and c["ip"] == "198.51.100.20" and "router" not in c
    assert server.dns("020000000003.lan2.", "A") == ["198.51.100.20"]
    assert server.wait_for("Binding DHCP service to %s failed!" % ABSENT_IP, timeout=0)

    # The scope has three addresses: the third client takes the last, a fourth gets no offer.
    set_mac("vc0", "02:00:00:00:00:04")
    assert udhcpc(hostname="charlie")["ip"] == "192.0.2.12"
    set_mac("vc0", "02:00:00:00:00:05")
    assert udhcpc(hostname="delta") is None

    # A release frees the address for others; the released name no longer resolves.
    set_mac("vc0", "02:00:00:00:00:04")
    assert udhcpc(hostname="charlie", release=True)["ip"] == "192.0.2.12"
    assert server.wait_for("DHCP Release from 192.0.2.12")
    assert server.dns("charlie.lan.", "A") == []
    set_mac("vc0", "02:00:00:00:00:05")
    assert udhcpc(hostname="delta")["ip"] == "192.0.2.12"


def lease_lines(home):
    path = os.path.join(home, "dhcp.dat")
    return open(path).read().splitlines() if os.path.exists(path) else []


def test_leases_survive_a_restart_and_a_kill(server, start, home):
    set_mac("vc0", "02:00:00:00:00:11")
    assert udhcpc(hostname="echo")["ip"] == "192.0.2.10"
    time.sleep(1.5)  # the tick writes dhcp.dat within a second of the change
    server.proc.kill()
    server.proc.wait()
    # udhcpc sends a client identifier: type 1 and the hardware address.
    assert any(line.startswith("echo.lan. 192.0.2.10 01020000000011 020000000011 ") for line in lease_lines(home))

    again = start(["-n"], prefix=["ip", "netns", "exec", SRV], port=server.port)
    assert again.wait_for("Loading DHCP Leases...")
    time.sleep(0.2)
    assert in_ns(SRV, "dig", "@" + SERVER_IP, "-p", str(again.port), "+short", "echo.lan.", "A").stdout.split() == [
        "192.0.2.10"]
    set_mac("vc0", "02:00:00:00:00:12")
    assert udhcpc(hostname="foxtrot")["ip"] == "192.0.2.11"  # echo's address stays taken
    assert again.stop() == 0
    assert [l.split()[0] for l in lease_lines(home)[1:]] == ["echo.lan.", "foxtrot.lan."]


def payload(msg_type, options=b"", tail=b"\xff", mac=b"\x02\x00\x00\x00\x00\x21"):
    fixed = bytearray(240)
    fixed[0:3] = b"\x01\x01\x06"
    fixed[4:8] = b"\x12\x34\x56\x78"
    fixed[28:34] = mac
    fixed[236:240] = b"\x63\x82\x53\x63"
    return bytes(fixed) + bytes([53, 1, msg_type]) + options + tail


def opt(code, value):
    return bytes([code, len(value)]) + value


SERVER_ID = opt(54, bytes([192, 0, 2, 1]))
WANTED = opt(50, bytes([192, 0, 2, 10]))

BAD_INPUT = [
    ("a request naming another server", [payload(3, WANTED + opt(54, bytes([192, 0, 2, 9])))]),
    ("a request from 0.0.0.0 without server identifier", [payload(3, WANTED)]),
    ("truncated options", [payload(1, tail=b"\x0c")]),
    ("a missing end option", [payload(1, opt(12, b"x"), tail=b"")]),
    ("an option length past the end", [payload(1, tail=b"\x0c\x20x\xff")]),
]


def test_hand_made_packets(server):
    """Each bad input is followed by a good discover: only the good ones may be answered, in order."""
    frames, markers = [], []
    for i, (_, bad) in enumerate(BAD_INPUT):
        frames += bad
        markers.append("marker%d" % i)
        frames.append(payload(1, opt(12, markers[-1].encode()), mac=bytes([2, 0, 0, 0, 1, i])))
    good = payload(1, opt(12, b"joined"), mac=b"\x02\x00\x00\x00\x02\x00")
    frames += [good[:200], good[200:]]  # split, joined by the front end
    in_ns(CLI, "/usr/bin/python3", SCRIPT, "vc0", *(f.hex() for f in frames), timeout=60)
    assert server.wait_for("Sending DHCP Offer to joined for")
    sent = [t for t in server.texts() if t.startswith("Sending DHCP") or t.startswith("DHCP Lease Request")]
    assert [t.split(" for ")[0] for t in sent] == ["Sending DHCP Offer to " + m for m in markers + ["joined"]]
