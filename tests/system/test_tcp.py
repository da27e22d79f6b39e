"""DNS over TCP and zone transfers, seen from outside: dig, raw sockets,
dnspython, and BIND as a secondary of one of our zones."""

import os
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path = [p for p in sys.path if os.path.abspath(p or ".") != _ROOT]

import dns.message  # noqa: E402
import dns.query  # noqa: E402
import dns.rcode  # noqa: E402
import pytest  # noqa: E402

from conftest import free_port  # noqa: E402
from test_authoritative import raw_query  # noqa: E402

ZONE = """\
; Notify {slave}
@       IN  SOA  ns1.example.com. admin.example.com. 2026120501 3600 600 86400 300
@       IN  NS   ns1.example.com.
@       IN  MX   10 mx
ns1     IN  A    192.0.2.1
mx      IN  A    192.0.2.25
www     IN  A    192.0.2.10
www     IN  A    192.0.2.11
alias   IN  CNAME www
_sip._udp IN SRV 0 5 5060 mx
txt     IN  TXT  "one" "two"
"""
NAMES = [("example.com.", "SOA"), ("example.com.", "NS"), ("example.com.", "MX"), ("ns1.example.com.", "A"),
         ("mx.example.com.", "A"), ("www.example.com.", "A"), ("alias.example.com.", "CNAME"),
         ("_sip._udp.example.com.", "SRV"), ("txt.example.com.", "TXT")]


def start_with_zone(start, home, slave):
    data = os.path.join(home, "data")
    os.makedirs(data, exist_ok=True)
    with open(os.path.join(data, "example.com.dns"), "wb") as f:
        f.write(ZONE.format(slave=slave).replace("\n", "\r\n").encode("latin-1"))
    server = start(["-n"])
    assert server.wait_for("Loading DHCP Leases...")
    return server


def dig(port, *args):
    out = subprocess.run(["dig", "@127.0.0.1", "-p", str(port), "+short", "+time=2", "+tries=1", *args],
                         capture_output=True, text=True, timeout=10)
    return sorted(out.stdout.split("\n"))


def frame(msg):
    return struct.pack(">H", len(msg)) + msg


def read_messages(sock, count, timeout=3.0):
    """count framed messages, or fewer when nothing more comes in time."""
    sock.settimeout(timeout)
    data, messages = b"", []
    while len(messages) < count:
        while len(data) >= 2 and len(data) >= 2 + struct.unpack(">H", data[:2])[0]:
            n = struct.unpack(">H", data[:2])[0]
            messages.append(dns.message.from_wire(data[2:2 + n]))
            data = data[2 + n:]
        if len(messages) >= count:
            break
        try:
            chunk = sock.recv(65536)
        except socket.timeout:
            break
        if not chunk:
            break
        data += chunk
    return messages


def test_tcp_answers_match_udp_answers(home, start):
    server = start_with_zone(start, home, "127.0.0.2")
    for name, rdtype in NAMES:
        udp = dig(server.port, name, rdtype)
        assert udp != [""], name
        assert dig(server.port, "+tcp", name, rdtype) == udp, name
    assert server.wait_for("Request from 127.0.0.1 for A-record for www.example.com. (TCP)")


@pytest.mark.parametrize("cuts", [[], [1, 7]], ids=["two-in-one-segment", "split-over-three"])
def test_queries_are_framed_across_segments(home, start, cuts):
    server = start_with_zone(start, home, "127.0.0.2")
    stream = frame(raw_query(1, "www.example.com.", 1)) + frame(raw_query(2, "mx.example.com.", 1))
    if cuts:  # only the first query, in three pieces
        stream = frame(raw_query(1, "www.example.com.", 1))
    with socket.create_connection(("127.0.0.1", server.port), timeout=3) as s:
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        last = 0
        for cut in cuts + [len(stream)]:
            s.sendall(stream[last:cut])
            last = cut
            time.sleep(0.1)
        replies = read_messages(s, 2 if not cuts else 1)
    assert [r.id for r in replies] == ([1, 2] if not cuts else [1])
    assert [r.answer[0].to_text().split()[-1] for r in replies][0] in ("192.0.2.10", "192.0.2.11")


def test_transfer_outside_the_slaves_is_refused_with_the_question_only(home, start):
    server = start_with_zone(start, home, "127.0.0.2")
    query = dns.message.make_query("example.com.", "AXFR")
    with socket.create_connection(("127.0.0.1", server.port), timeout=3) as s:
        s.sendall(frame(query.to_wire()))
        replies = read_messages(s, 2, timeout=1.0)
    assert len(replies) == 1
    reply = replies[0]
    assert reply.id == query.id and reply.rcode() == dns.rcode.REFUSED
    assert [str(q.name) for q in reply.question] == ["example.com."] and reply.question[0].rdtype == 252
    assert reply.answer == [] and reply.authority == [] and reply.additional == []
    assert server.wait_for("-> Header: Refused.")


NAMED_CONF = """\
options {{
    directory "{dir}";
    pid-file "{dir}/named.pid";
    listen-on port {port} {{ 127.0.0.1; }};
    listen-on-v6 {{ none; }};
    recursion no;
    notify no;
    dnssec-validation no;
}};
controls {{ }};
zone "example.com" {{
    type secondary;
    primaries port {primary} {{ 127.0.0.1; }};
    file "{dir}/example.com.db";
}};
"""


@pytest.fixture
def named():
    """start(primary_port) runs named as a secondary on 127.0.0.1; stopped by pid."""
    procs = []
    tmp = tempfile.TemporaryDirectory(prefix="vellion-named-")

    def _start(primary):
        port = free_port()
        conf = os.path.join(tmp.name, "named.conf")
        with open(conf, "w") as f:
            f.write(NAMED_CONF.format(dir=tmp.name, port=port, primary=primary))
        os.chmod(tmp.name, 0o777)
        args = ["named", "-g", "-c", conf, "-n", "1"] + (["-u", "bind"] if os.geteuid() == 0 else [])
        proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(proc)
        return port

    yield _start
    for proc in procs:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    tmp.cleanup()


def test_bind_transfers_a_zone_and_answers_as_we_do(home, start, named):
    server = start_with_zone(start, home, "127.0.0.1")
    port = named(server.port)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and dig(port, "example.com.", "SOA") == [""]:
        time.sleep(0.2)
    assert server.wait_for("Sending Zone Transfer to 127.0.0.1 for example.com.")
    for name, rdtype in NAMES:
        assert dig(port, name, rdtype) == dig(server.port, name, rdtype), name
