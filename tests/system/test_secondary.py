"""vellmain as secondary of zones served by BIND and Knot on 127.0.0.x: the
SOA check, the transfer, the rewritten zone file read back after a restart,
NOTIFY, a newer serial and expiry when the primary goes away."""

import os
import signal
import subprocess
import sys
import time

_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path = [p for p in sys.path if os.path.abspath(p or ".") != _ROOT]

import dns.exception  # noqa: E402
import dns.flags  # noqa: E402
import dns.message  # noqa: E402
import dns.query  # noqa: E402
import dns.rdatatype  # noqa: E402
import dns.zone  # noqa: E402
import pytest  # noqa: E402

from conftest import free_port  # noqa: E402
from hierarchy import kill_trees  # noqa: E402

ZONE = "sec.test."
RECORDS = """\
@ NS ns1
@ MX 10 mail
ns1 A 127.0.0.2
mail A 192.0.2.25
www 300 A 192.0.2.80
www A 192.0.2.81
alias CNAME www
far CNAME host.example.org.
t TXT "hello world" "two"
_sip._tcp SRV 1 2 5060 www
sub NS ns.sub
ns.sub A 192.0.2.53
"""


def zone_text(serial, expire=86400):
    return f"$ORIGIN {ZONE}\n$TTL 3600\n@ SOA ns1 admin {serial} 3600 600 {expire} 300\n" + RECORDS


def bind_conf(d, ip, port, notify_port):
    return f"""options {{
  directory "{d}"; pid-file "{d}/named.pid"; session-keyfile "{d}/session.key";
  managed-keys-directory "{d}"; listen-on port {port} {{ {ip}; }}; listen-on-v6 {{ none; }};
  recursion no; allow-transfer {{ any; }}; dnssec-validation no; minimal-responses yes;
  notify explicit; also-notify {{ 127.0.0.1 port {notify_port}; }}; notify-source {ip};
}};
controls {{ }};
zone "{ZONE[:-1]}" {{ type primary; file "{d}/zone"; }};
"""


def knot_conf(d, ip, port, notify_port):
    return f"""server:
  rundir: {d}
  listen: {ip}@{port}
database:
  storage: {d}
remote:
  - id: vellion
    address: 127.0.0.1@{notify_port}
acl:
  - id: all
    address: 0.0.0.0/0
    action: transfer
zone:
  - domain: {ZONE[:-1]}
    file: {d}/zone
    acl: all
    notify: vellion
    journal-content: none
    zonefile-sync: -1
"""


class Primary:
    """BIND or Knot serving ZONE on ip:port; stopped by pid. BIND listens only
    on addresses of an interface, so it serves on 127.0.0.1 (at the peer port,
    not vellmain's)."""

    def __init__(self, kind, d, ip, port, notify_port, serial, expire=86400):
        self.kind, self.d, self.ip, self.port = kind, d, ip, port
        os.makedirs(d, exist_ok=True)
        self.write(serial, expire)
        conf = os.path.join(d, "conf")
        with open(conf, "w") as f:
            f.write((bind_conf if kind == "bind" else knot_conf)(d, ip, port, notify_port))
        cmd = ["named", "-g", "-c", conf] if kind == "bind" else ["knotd", "-c", conf]
        self.log = open(os.path.join(d, "log"), "wb")
        self.proc = subprocess.Popen(cmd, stdout=self.log, stderr=subprocess.STDOUT)
        self.serial_is(serial)

    def write(self, serial, expire=86400):
        with open(os.path.join(self.d, "zone"), "w") as f:
            f.write(zone_text(serial, expire))

    def reload(self, serial):
        self.write(serial)
        if self.kind == "bind":
            self.proc.send_signal(signal.SIGHUP)
        else:
            subprocess.run(["knotc", "-c", os.path.join(self.d, "conf"), "zone-reload", ZONE], check=True,
                           stdout=subprocess.DEVNULL)
        self.serial_is(serial)

    def serial_is(self, serial):
        for _ in range(100):
            try:
                r = dns.query.udp(dns.message.make_query(ZONE, "SOA"), self.ip, port=self.port, timeout=0.2)
                if r.answer and r.answer[0][0].serial == serial:
                    return
            except (dns.exception.Timeout, OSError):
                pass
            time.sleep(0.1)
        with open(os.path.join(self.d, "log")) as f:
            raise RuntimeError(f"{self.kind} on {self.ip} does not serve serial {serial}: " + f.read()[-6000:])

    def stop(self):
        kill_trees([self.proc.pid])
        self.proc.wait()


def start_secondary(start, home, ip, peer_port, port=None):
    data = os.path.join(home, "data")
    os.makedirs(data, exist_ok=True)
    path = os.path.join(data, ZONE + "dns")
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(f"; PrimaryIP {ip}\r\n".encode())
    return start(["-n", "--peer-port", str(peer_port)], ini=["LOGDETAIL:YES"], port=port)


def answers(ip, port, name, rdtype):
    """Answer and authority of an authoritative (RD clear) reply."""
    query = dns.message.make_query(name, rdtype)
    query.flags &= ~dns.flags.RD
    r = dns.query.udp(query, ip, port=port, timeout=2)
    return sorted((str(rr.name), rr.ttl, rd.to_text()) for rr in r.answer + r.authority for rd in rr)


def same_as_primary(primary, server):
    """Every owner and type of the zone answers alike from both servers."""
    zone = dns.zone.from_xfr(dns.query.xfr(primary.ip, ZONE, port=primary.port))
    for name, node in zone.nodes.items():
        owner = name.derelativize(zone.origin).to_text()
        for rdataset in node.rdatasets:
            rdtype = dns.rdatatype.to_text(rdataset.rdtype)
            try:
                ours = answers("127.0.0.1", server.port, owner, rdtype)
            except dns.exception.Timeout:
                ours = "no reply"
            assert ours == answers(primary.ip, primary.port, owner, rdtype), (owner, rdtype, server.texts()[-8:])


@pytest.mark.parametrize("kind,ip", [("bind", "127.0.0.1"), ("knot", "127.0.0.3")])
def test_transfer_restart_and_newer_serial(home, start, kind, ip):
    peer_port, port = free_port(), free_port()
    primary = Primary(kind, os.path.join(home, kind), ip, peer_port, port, 1)
    try:
        server = start_secondary(start, home, ip, peer_port, port)
        assert server.wait_for(f"Received Zone Transfer from {ip} for {ZONE}", 15)
        # Knot answers the request with "MS" by FORMERR and is asked again without.
        requests = server.texts().count(f"Sending Zone Transfer Request to {ip} for {ZONE}")
        assert requests == (2 if kind == "knot" else 1)
        assert server.stop() == 0
        with open(os.path.join(home, "data", "zonettl.dat"), "rb") as f:
            assert f.read().startswith(f"{ZONE}  86".encode())
        # The rewritten file, read by our own loader, answers as the primary does.
        server = start_secondary(start, home, ip, peer_port, port)
        assert server.wait_for(f"Sending request to {ip} for SOA-record for {ZONE}", 10)
        same_as_primary(primary, server)
        if kind == "bind":
            # BIND's NOTIFY over UDP brings the SOA check and the newer copy at once.
            primary.reload(2)
            assert server.wait_for("Zone has expired: " + ZONE, 15)
            assert server.wait_for(f"Received Zone Transfer from {ip} for {ZONE}", 10)
            assert f"Zone Update Notification from {ip} about {ZONE}" in server.texts()
            assert "Sending Notification Acknowledgement to " + ip in server.texts()
            same_as_primary(primary, server)
    finally:
        primary.stop()


def test_zone_expires_when_the_primary_goes_away(home, start):
    peer_port, port = free_port(), free_port()
    primary = Primary("bind", os.path.join(home, "bind"), "127.0.0.1", peer_port, port, 1, expire=5)
    try:
        server = start_secondary(start, home, "127.0.0.1", peer_port, port)
        assert server.wait_for(f"Received Zone Transfer from 127.0.0.1 for {ZONE}", 15)
    finally:
        primary.stop()
    # The check runs once a minute; the copy was 5 s old at the second one.
    assert server.wait_for("Zone has expired: " + ZONE, 75)
    # The empty zone is asked for at once, and the attempt times out.
    assert server.wait_for(f"Failed to receive Zone Transfer from 127.0.0.1 for {ZONE}", 10)
    with open(os.path.join(home, "data", ZONE + "dns"), "rb") as f:
        assert f.read() == b"; PrimaryIP 127.0.0.1\r\n"
    assert answers("127.0.0.1", server.port, "www." + ZONE, "A") == []
