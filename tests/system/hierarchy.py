"""A small DNS tree of real NSD servers on 127.0.0.2-6, all on one port,
and a scripted dnspython responder for servers that misbehave on purpose."""

import os
import signal
import socket
import subprocess
import threading
import time

import dns.message
import dns.query
import dns.rcode
import dns.rrset

SOA = "@ SOA ns.tld. admin.tld. 1 3600 600 86400 300\n"
# A TXT RRset of about 3,000 octets: it fits no UDP answer.
BIG_TXT = [c * 250 for c in "abcdefghijkl"]

# server address -> {zone: records}; each zone gets its SOA in front.
SERVERS = {
    "127.0.0.2": {
        ".": """
@ NS a.root.
a.root. A 127.0.0.2
test. NS ns.tld.
org. NS ns.tld.
arpa. NS ns.tld.
ns.tld. A 127.0.0.3
""",
    },
    "127.0.0.3": {
        "test.": """
@ NS ns.tld.
example NS ns1.example
ns1.example A 127.0.0.4
outside NS ns.hoster.org.
lab NS ns.lab
ns.lab A 127.0.0.5
wrongq NS ns.wrongq
ns.wrongq A 127.0.0.8
noedns NS ns.noedns
ns.noedns A 127.0.0.8
""",
        "org.": """
@ NS ns.tld.
example NS ns1.example
ns1.example A 127.0.0.5
hoster NS ns1.hoster
ns1.hoster A 127.0.0.5
""",
        "arpa.": """
@ NS ns.tld.
2.0.192.in-addr NS ns.2.0.192.in-addr
ns.2.0.192.in-addr A 127.0.0.4
""",
    },
    "127.0.0.4": {
        "example.test.": """
@ NS ns1
ns1 A 127.0.0.4
www A 192.0.2.80
www AAAA 2001:db8::80
www HTTPS 1 . alpn=h2
@ CAA 0 issue "ca.test"
_x._tcp SRV 0 5 40000 www
pref MX 65000 www
alias CNAME web.example.org.
big TXT """ + " ".join(f'"{t}"' for t in BIG_TXT) + """
""",
        "2.0.192.in-addr.arpa.": """
@ NS ns
ns A 127.0.0.4
80 PTR www.example.test.
""",
    },
    "127.0.0.5": {
        "example.org.": """
@ NS ns1
ns1 A 127.0.0.5
web CNAME www.example.test.
""",
        "hoster.org.": """
@ NS ns1
ns1 A 127.0.0.5
ns A 127.0.0.6
""",
        "lab.test.": """
@ NS ns
ns A 127.0.0.5
sub NS ns.sub
ns.sub 0 A 127.0.0.6
""",
    },
    "127.0.0.6": {
        "outside.test.": """
@ NS ns.hoster.org.
www A 192.0.2.81
""",
        "sub.lab.test.": """
@ NS ns
ns 0 A 127.0.0.6
www A 192.0.2.82
www2 A 192.0.2.84
""",
    },
}

ROOT_HINTS = """\
; the root server of the test tree
.          3600000  NS  A.ROOT.
A.ROOT.    3600000  A   127.0.0.2
"""


def spawn(cmd):
    """Starts cmd in a process group of its own: NSD forks its servers into it."""
    return subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)


def stop_group(proc, grace=5.0):
    """Stops proc and what it forked, by its group id: SIGTERM, SIGKILL after grace."""
    def signal_group(sig):
        try:
            os.killpg(proc.pid, sig)
            return True
        except ProcessLookupError:
            return False
    signal_group(signal.SIGTERM)
    deadline = time.monotonic() + grace
    while proc.poll() is None or signal_group(0):
        if time.monotonic() > deadline:
            signal_group(signal.SIGKILL)
            break
        time.sleep(0.05)
    proc.wait()


def _nsd_conf(d, ip, port, zones):
    return (f'server:\n  ip-address: {ip}@{port}\n  server-count: 1\n  username: ""\n  chroot: ""\n'
            f"  zonesdir: {d}\n  pidfile: {d}/nsd.pid\n  zonelistfile: {d}/zone.list\n"
            f'  xfrdfile: {d}/xfrd.state\n  database: ""\n  logfile: {d}/nsd.log\n  verbosity: 0\n'
            "remote-control:\n  control-enable: no\n"
            + "".join(f'zone:\n  name: "{zone}"\n  zonefile: {zone}zone\n' for zone in zones))


def _ready(ip, port, zone):
    """Waits until NSD answers for zone (it answers SERVFAIL while loading)."""
    query = dns.message.make_query(zone, "SOA")
    for _ in range(50):
        try:
            if dns.query.udp(query, ip, port=port, timeout=0.2).rcode() == dns.rcode.NOERROR:
                return
        except (dns.exception.Timeout, OSError):
            pass
        time.sleep(0.1)
    raise RuntimeError(f"NSD on {ip}:{port} did not load {zone}")


class Hierarchy:
    """One NSD process per server address of servers (run through prefix,
    `ip netns exec NAME`, to serve in a namespace)."""

    def __init__(self, directory, port, servers=None, prefix=()):
        servers = servers or SERVERS
        self.procs = []
        for ip, zones in servers.items():
            d = os.path.join(directory, ip)
            os.makedirs(d)
            for zone, records in zones.items():
                with open(os.path.join(d, zone + "zone"), "w") as f:
                    f.write(f"$ORIGIN {zone}\n$TTL 3600\n" + ("" if " SOA " in records else SOA) + records)
            with open(os.path.join(d, "nsd.conf"), "w") as f:
                f.write(_nsd_conf(d, ip, port, zones))
            self.procs.append(spawn([*prefix, "nsd", "-d", "-c", os.path.join(d, "nsd.conf")]))
        try:
            for ip, zones in servers.items():
                _ready(ip, port, next(iter(zones)))
        except RuntimeError:
            self.stop()
            raise

    def stop(self):
        for proc in self.procs:
            stop_group(proc)


class Responder:
    """A UDP server at ip:port whose answer() decides each reply (None: stay
    silent); it keeps the queries it got."""

    def __init__(self, ip, port, answer=None):
        self.answer, self.queries = answer or (lambda query: None), []
        self._sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._sock.bind((ip, port))
        self._sock.settimeout(0.05)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while not self._stop.is_set():
            try:
                wire, peer = self._sock.recvfrom(4096)
            except socket.timeout:
                continue
            query = dns.message.from_wire(wire)
            self.queries.append(query)
            reply = self.answer(query)
            if reply is not None:
                self._sock.sendto(reply.to_wire(), peer)

    def send(self, wire, to):
        self._sock.sendto(wire, to)

    def stop(self):
        self._stop.set()
        self._thread.join(timeout=2)
        self._sock.close()


def reply_with(query, *records, qname=None):
    """An authoritative reply to query holding records ("name ttl IN A addr")."""
    reply = dns.message.make_response(query)
    reply.flags |= dns.flags.AA
    if qname is not None:
        reply.question = [dns.rrset.RRset(dns.name.from_text(qname), query.question[0].rdclass,
                                          query.question[0].rdtype)]
    for text in records:
        name, ttl, rdclass, rdtype, data = text.split()
        reply.answer.append(dns.rrset.from_text(name, int(ttl), rdclass, rdtype, data))
    return reply
