"""The DHCP server against real clients (busybox udhcpc, ISC dhclient) and hand-made packets (scapy), in
two network namespaces made here and removed afterwards, joined by veth pairs: no DHCP traffic leaves them."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

SERVER_IP, SECOND_IP, ABSENT_IP = "192.0.2.1", "198.51.100.1", "203.0.113.1"
ASKER = "100.64.0.2"  # a machine of the network with a fixed address, not allowed to recurse
SRV, CLI = "vdh%ds" % os.getpid(), "vdh%dc" % os.getpid()
pytestmark = pytest.mark.skipif(os.geteuid() != 0 or not all(shutil.which(t) for t in (
    "ip", "busybox", "dhclient", "dig")), reason="needs root, ip, busybox, dhclient and dig")
INI = [
    "Name: server",
    "DHCP: %s lan 192.0.2.10 192.0.2.12 255.255.255.0 192.0.2.254 600" % SERVER_IP,
    "DHCP: %s lan2 198.51.100.20 198.51.100.29 255.255.255.0 0.0.0.0 600" % SECOND_IP,
    "DHCP: %s lan3 203.0.113.10 203.0.113.20 255.255.255.0 0.0.0.0 600" % ABSENT_IP,
    "DHCPAlias: 01020000000006 printer",  # udhcpc's client identifier: type 1 and the hardware address
]


def sh(*args, check=True, timeout=30):
    return subprocess.run(list(args), check=check, capture_output=True, text=True, timeout=timeout)


@pytest.fixture
def server(start):
    try:
        for ns in (SRV, CLI):
            sh("ip", "netns", "add", ns)
        for i, ip in enumerate((SERVER_IP, SECOND_IP, "100.64.0.1")):
            sh("ip", "link", "add", "vs%d" % i, "netns", SRV, "type", "veth", "peer", "vc%d" % i, "netns", CLI)
            sh("ip", "-n", SRV, "addr", "add", ip + "/24", "dev", "vs%d" % i)
            for ns, dev in ((SRV, "vs%d" % i), (CLI, "vc%d" % i), (SRV, "lo")):
                sh("ip", "-n", ns, "link", "set", dev, "up")
        srv = start(["-n"], ini=INI, prefix=["ip", "netns", "exec", SRV])
        assert srv.wait_for("Loading DHCP Leases...")  # a lease acknowledged before this would be lost
        sh("ip", "-n", CLI, "addr", "add", ASKER + "/24", "dev", "vc2")
        srv.dns = lambda *q: sh("ip", "netns", "exec", CLI, "dig", "@100.64.0.1", "-p", str(srv.port), "+short",
                                "+tries=1", *q).stdout.split()
        yield srv
    finally:
        for ns in (SRV, CLI):
            sh("ip", "netns", "del", ns, check=False)


def client(mac, hostname=None, dev="vc0", release=False, dhclient=False):
    """A client with the hardware address on dev until its script reports a lease: [ip, subnet, router, dns,
    domain], or None when there is no offer. Stopped by its pid: SIGTERM makes udhcpc -R release the lease."""
    for step in (["down"], ["address", mac], ["up"]):
        sh("ip", "-n", CLI, "link", "set", dev, *step)
    with tempfile.TemporaryDirectory() as tmp:
        out, script, conf = tmp + "/out", tmp + "/script", tmp + "/conf"
        with open(conf, "w") as f:
            f.write('send host-name "%s";\nrequest subnet-mask, routers, domain-name, domain-name-servers;' % hostname)
        # udhcpc's script puts the address on the interface while bound, so that a release can leave from it.
        with open(script, "w") as f:
            f.write('#!/bin/sh\n[ "$reason" = BOUND ] || [ "$1" = bound ] || { ip addr flush dev %s; exit 0; }\n'
                    '[ -n "$ip" ] && ip addr add "$ip/24" dev %s\necho "$ip$new_ip_address|$subnet$new_subnet_mask|'
                    '$router$new_routers|$dns$new_domain_name_servers|$domain$new_domain_name" >%s~ && mv %s~ %s\n'
                    % (dev, dev, out, out, out))
        os.chmod(script, 0o755)
        args = ["dhclient", "-d", "-1", "-cf", conf, "-lf", tmp + "/l", "-pf", tmp + "/p", "-sf", script, dev]
        if not dhclient:
            args = ["busybox", "udhcpc", "-f", "-n", "-t", "3", "-T", "1", "-s", script, "-i", dev]
            args += ["-x", "hostname:%s" % hostname] * bool(hostname) + ["-R"] * release
        proc = subprocess.Popen(["ip", "netns", "exec", CLI] + args, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 20
            while not os.path.exists(out) and proc.poll() is None and time.monotonic() < deadline:
                time.sleep(0.02)
            return open(out).read().strip().split("|") if os.path.exists(out) else None
        finally:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM if release else signal.SIGKILL)
            proc.wait(timeout=10)


def test_real_clients_get_the_scope_and_their_names_resolve_at_once(server, start, home):
    lan = ["255.255.255.0", "192.0.2.254", SERVER_IP, "LAN"]
    assert client("02:00:00:00:00:01", "alpha") == ["192.0.2.10"] + lan
    assert client("02:00:00:00:00:02", "bravo", dhclient=True) == ["192.0.2.11"] + lan
    for name, ip in (("alpha", "192.0.2.10"), ("bravo", "192.0.2.11")):
        assert server.dns(name + ".lan.", "A") == [ip] and server.dns("-x", ip) == [name + ".lan."]

    # Without a host name the alias or the hardware address names the client; each interface has its scope.
    assert client("02:00:00:00:00:03", dev="vc1") == ["198.51.100.20", "255.255.255.0", "", SECOND_IP, "LAN2"]
    assert client("02:00:00:00:00:06", dev="vc1")[0] == "198.51.100.21"
    assert server.dns("020000000003.lan2.", "A") == ["198.51.100.20"] and server.dns("printer.lan2.") == [
        "198.51.100.21"]
    assert server.wait_for("Binding DHCP service to %s failed!" % ABSENT_IP)

    # The scope has three addresses: the third client takes the last, a fourth gets no offer.
    assert client("02:00:00:00:00:04", "charlie")[0] == "192.0.2.12"
    assert client("02:00:00:00:00:05", "delta") is None
    # A release frees the address for others; the released name no longer resolves but stays held.
    assert client("02:00:00:00:00:04", "charlie", release=True)[0] == "192.0.2.12"
    assert server.wait_for("DHCP Release from 192.0.2.12")
    assert server.dns("charlie.lan.", "A") == [] and client("02:00:00:00:00:07", "charlie") is None
    assert client("02:00:00:00:00:05", "delta")[0] == "192.0.2.12"

    # After kill -9 dhcp.dat holds every lease acknowledged more than a second before; the next start loads it.
    time.sleep(1.5)
    server.proc.kill(), server.proc.wait()
    lines = lambda: [l.split()[:4] for l in open(os.path.join(home, "dhcp.dat")).read().splitlines()[1:]]
    names = ["alpha.lan.", "bravo.lan.", "020000000003.lan2.", "printer.lan2.", "delta.lan."]
    assert [l[0] for l in lines()] == names
    assert lines()[0] == ["alpha.lan.", "192.0.2.10", "01020000000001", "020000000001"]  # udhcpc's identifier
    again = start(["-n"], prefix=["ip", "netns", "exec", SRV], port=server.port)
    assert again.wait_for("Loading DHCP Leases...") and not time.sleep(0.2)  # the table is read just after the line
    assert server.dns("alpha.lan.") == ["192.0.2.10"]
    assert client("02:00:00:00:00:08", "echo", dev="vc1")[0] == "198.51.100.22"  # the loaded leases hold theirs
    assert again.stop() == 0 and [l[0] for l in lines()] == names + ["echo.lan2."]


def test_hand_made_packets(server):
    """Each bad input is followed by a good discover: only the good ones may be answered, in order."""
    opt = lambda code, value: bytes([code, len(value)]) + value  # noqa: E731
    payload = lambda msg_type, options=b"", tail=b"\xff", mac=b"\2\0\0\0\0\x21": (  # noqa: E731
        b"\1\1\6\0\x12\x34\x56\x78" + bytes(20) + mac + bytes(202) + b"\x63\x82\x53\x63\x35\1"
        + bytes([msg_type]) + options + tail)
    wanted = opt(50, bytes([192, 0, 2, 10]))
    bad_input = [
        payload(3, wanted + opt(54, bytes([192, 0, 2, 9]))),  # a request naming another server
        payload(3, wanted),  # a request from 0.0.0.0 without server identifier
        payload(1, tail=b"\x0c"),  # truncated options
        payload(1, opt(12, b"x"), tail=b""),  # a missing end option
        payload(1, tail=b"\x0c\x20x\xff"),  # an option length past the end
    ]
    frames, markers = [], ["marker%d" % i for i in range(len(bad_input))]
    for i, bad in enumerate(bad_input):
        frames += [bad, payload(1, opt(12, markers[i].encode()), mac=bytes([2, 0, 0, 0, 1, i]))]
    good = payload(1, opt(12, b"joined"), mac=b"\2\0\0\0\2\0")
    frames += [good[:200], good[200:]]  # split, joined by the front end
    send = """import sys, time
from scapy.all import IP, UDP, Ether, Raw, sendp
for p in sys.argv[2:]:
    ip = IP(src="0.0.0.0", dst="255.255.255.255") / UDP(sport=68, dport=67) / Raw(bytes.fromhex(p))
    sendp(Ether(dst="ff:ff:ff:ff:ff:ff") / ip, iface=sys.argv[1], verbose=False) or time.sleep(0.02)"""
    sh("ip", "netns", "exec", CLI, "/usr/bin/python3", "-c", send, "vc0", *(f.hex() for f in frames), timeout=60)
    assert server.wait_for("Sending DHCP Offer to joined for")
    sent = [t for t in server.texts() if t.startswith("Sending DHCP") or t.startswith("DHCP Lease Request")]
    assert [t.split(" for ")[0] for t in sent] == ["Sending DHCP Offer to " + m for m in markers + ["joined"]]
