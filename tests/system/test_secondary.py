"""vellmain as secondary of BIND and Knot primaries: transfer, the rewritten
file read back after a restart, NOTIFY with a newer serial, and a BIND
secondary of our copy (expiry is a unit test on the fake clock). BIND listens only on interface addresses, so it
serves on 127.0.0.1 (at the peer port, not vellmain's); Knot on 127.0.0.3."""

import os
import signal
import subprocess
import time

import dns.exception
import dns.flags
import dns.message
import dns.query
import dns.zone
import pytest

from conftest import free_port
from hierarchy import spawn, stop_group
from netns import HOST_IP, PEER_IP, veth_namespace

ZONE = "sec.test."
CONF = {
    "bind": """options {{ directory "{d}"; pid-file "{d}/pid"; session-keyfile "{d}/key"; managed-keys-directory "{d}";
  listen-on port {port} {{ {ip}; }}; listen-on-v6 {{ none; }}; recursion no; allow-transfer {{ any; }};
  minimal-responses yes; notify explicit; also-notify {{ 127.0.0.1 port {ours}; }}; }};
controls {{ }}; zone "sec.test" {{ type primary; file "{d}/zone"; }};""",
    "bind-secondary": """options {{ directory "{d}"; pid-file "{d}/pid"; session-keyfile "{d}/key"; managed-keys-directory "{d}";
  listen-on port {port} {{ {ip}; }}; listen-on-v6 {{ none; }}; recursion no; notify no;
  minimal-responses yes; allow-transfer {{ any; }}; }};
controls {{ }}; zone "sec.test" {{ type secondary; primaries {{ {HOST_IP} port {ours}; }}; file "{d}/copy"; }};""",
    "knot": """server:\n  rundir: {d}\n  listen: {ip}@{port}\ndatabase:\n  storage: {d}
remote:\n  - id: vell\n    address: 127.0.0.1@{ours}
acl:\n  - id: all\n    address: 0.0.0.0/0\n    action: transfer
zone:\n  - domain: sec.test\n    file: {d}/zone\n    acl: all\n    notify: vell\n    zonefile-sync: -1\n    journal-content: none\n""",
}


class Peer:
    """BIND or Knot serving sec.test: a primary from its own file, or (BIND
    in a network namespace) a secondary of ours."""

    def __init__(self, kind, d, ip, port, ours, netns=None):
        self.kind, self.d, self.ip, self.port, self.ours = kind, d, ip, port, ours
        os.makedirs(d)
        self.write(1)
        with open(f"{d}/conf", "w") as f:
            f.write(CONF[kind].format(d=d, ip=ip, port=port, ours=ours, HOST_IP=HOST_IP))
        cmd = ["knotd", "-c"] if kind == "knot" else ["named", "-g", "-c"]
        cmd = (["ip", "netns", "exec", netns] if netns else []) + cmd  # ip execs the server: same pid
        self.proc = spawn(cmd + [f"{d}/conf"])
        self.wait_serial(1)

    def write(self, serial):
        with open(f"{self.d}/zone", "w") as f:
            f.write(f"""$ORIGIN {ZONE}\n$TTL 3600\n@ SOA ns1 admin {serial} 3600 600 86400 300
@ NS ns1\n@ MX 10 mail\nns1 A 127.0.0.2\nmail A 192.0.2.25\nwww 300 A 192.0.2.80\nwww A 192.0.2.81
alias CNAME www\nfar CNAME host.example.org.\nt TXT "hello world" "two"\n_sip._tcp SRV 1 2 5060 www
sub NS ns.sub\nns.sub A 192.0.2.53\n""")

    def publish(self, serial):
        self.write(serial)
        if self.kind == "bind":
            self.proc.send_signal(signal.SIGHUP)
        else:
            subprocess.run(["knotc", "-c", f"{self.d}/conf", "zone-reload", ZONE], check=True, capture_output=True)
        self.wait_serial(serial)

    def wait_serial(self, serial):
        for _ in range(100):
            soa = answers(self.ip, self.port, ZONE, "SOA", 0.2)
            if soa and soa[0][2].split()[2] == str(serial):
                return
            time.sleep(0.1)
        raise RuntimeError(f"{self.kind} does not serve serial {serial}")

    def same_answers(self, ip, port):
        """Every name and type of this peer's zone answered alike at ip:port."""
        zone = dns.zone.from_xfr(dns.query.xfr(self.ip, ZONE, port=self.port))
        for name, node in zone.nodes.items():
            owner = name.derelativize(zone.origin).to_text()
            for rdtype in (rdataset.rdtype for rdataset in node.rdatasets):
                assert answers(ip, port, owner, rdtype) == answers(self.ip, self.port, owner, rdtype)

    def stop(self):
        stop_group(self.proc)


def answers(ip, port, name, rdtype, timeout=2):
    """Answer and authority of an RD-clear reply; [("", 0, "- - -")] for none."""
    query = dns.message.make_query(name, rdtype)
    query.flags &= ~dns.flags.RD
    try:
        r = dns.query.udp(query, ip, port=port, timeout=timeout)
    except (dns.exception.Timeout, OSError):
        return [("", 0, "- - -")]
    return sorted((str(rr.name), rr.ttl, rd.to_text()) for rr in r.answer + r.authority for rd in rr)


def secondary(start, home, primary, notify=""):
    os.makedirs(f"{home}/data", exist_ok=True)
    if not os.path.exists(f"{home}/data/{ZONE}dns"):
        with open(f"{home}/data/{ZONE}dns", "wb") as f:
            f.write(f"; PrimaryIP {primary.ip}\r\n{notify}".encode())
    server = start(["-n", "--peer-port", str(primary.port)], ini=["LOGDETAIL:YES"], port=primary.ours)
    assert server.wait_for("Loading DHCP Leases...")
    return server


@pytest.mark.parametrize("kind,ip", [("bind", "127.0.0.1"), ("knot", "127.0.0.3")])
def test_transfer_restart_and_notify(home, start, kind, ip):
    ours = free_port()
    primary = Peer(kind, f"{home}/{kind}", ip, free_port(), ours)
    try:
        server = secondary(start, home, primary)
        assert server.wait_for(f"Received Zone Transfer from {ip} for {ZONE}", 15)
        # Knot answers the request with "MS" by FORMERR and is asked again without.
        assert server.texts().count(f"Sending Zone Transfer Request to {ip} for {ZONE}") == (2 if kind == "knot" else 1)
        assert server.stop() == 0
        with open(f"{home}/data/zonettl.dat", "rb") as f:
            assert f.read().startswith(f"{ZONE}  86".encode())
        server = secondary(start, home, primary)  # our loader reads the rewritten file
        for serial in (1, 2):
            if serial == 2:  # the NOTIFY (UDP from BIND, TCP from Knot) brings the SOA check and the newer copy at once
                primary.publish(2)
                assert server.wait_for("Zone has expired: " + ZONE, 15)
                assert server.wait_for(f"Received Zone Transfer from {ip} for {ZONE}", 10)
                # Both primaries notify from the loopback's first address.
                assert "Sending Notification Acknowledgement to 127.0.0.1" in server.texts()
            primary.same_answers("127.0.0.1", ours)
    finally:
        primary.stop()


def test_chain_from_a_bind_primary_through_us_to_a_bind_secondary(home, start):
    """A change at the primary reaches our secondary in another namespace
    through the NOTIFY we send once we have stored the newer copy."""
    ours, peer_port = free_port(), free_port()
    primary = Peer("bind", f"{home}/primary", "127.0.0.1", peer_port, ours)
    with veth_namespace() as ns:
        try:
            server = secondary(start, home, primary, notify=f"; Notify {PEER_IP}\r\n")
            assert server.wait_for(f"Received Zone Transfer from 127.0.0.1 for {ZONE}", 15)
            copy = Peer("bind-secondary", f"{home}/copy", PEER_IP, peer_port, ours, netns=ns)
            try:
                primary.publish(2)
                assert server.wait_for(f"Sending Zone Update Notification to {PEER_IP} about {ZONE}", 15)
                copy.wait_serial(2)
                primary.same_answers(PEER_IP, peer_port)
                assert f"Zone Transfer Request from {PEER_IP} for {ZONE}" in server.texts()
            finally:
                copy.stop()
        finally:
            primary.stop()
