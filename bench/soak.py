#!/usr/bin/env python3
"""Malformed-input soak, run by bench/soak.sh inside a network namespace of its own.

vellmain serves the demo zones and a DHCP scope on the namespace's loopback. In ten rounds, corrupted and
random datagrams go to its DNS and DHCP ports and broken TCP streams to its DNS port (bad lengths, cut
mid-message, reset, slow drip), from 127.0.0.2 and up; meanwhile a checker on 127.0.0.1 asks for
www.vellion.test every 20 ms and compares the answer with the first one. Prints resident memory after
each round, the checker's counts and whether the server survived, stopped cleanly and reported nothing
under the sanitizers; exits 1 when any of that fails.
    soak.py VELLMAIN [DATAGRAMS] [STREAMS]"""

import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

import dns.message
import dns.query

VELL = os.path.abspath(sys.argv[1])
DATAGRAMS = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
STREAMS = int(sys.argv[3]) if len(sys.argv) > 3 else 10_000
ROUNDS = 10
DNS_PORT, DHCP_PORT = 5353, 6767
random.seed(20261206)


def dhcp_discover():
    m = bytearray(240)
    m[0:3] = b"\x01\x01\x06"
    m[4:8] = random.randbytes(4)
    m[10] = 0x80
    m[28:34] = b"\x02\x00" + random.randbytes(4)
    m[236:240] = b"\x63\x82\x53\x63"
    return bytes(m) + b"\x35\x01\x01\x0c\x04soak\x32\x04\x7f\x00\x00\x64\xff"


SEEDS = [dns.message.make_query(name, kind, use_edns=edns).to_wire()
         for name, kind, edns in (("www.vellion.test", "A", False), ("vellion.test", "ANY", True),
                                  ("80.0.0.127.in-addr.arpa", "PTR", False), ("x.example", "MX", True))]


def mutate(seed):
    data = bytearray(seed)
    way = random.randrange(5)
    if way == 0:  # flipped bits
        for _ in range(random.randint(1, 8)):
            data[random.randrange(len(data))] ^= 1 << random.randrange(8)
    elif way == 1:  # cut short
        del data[random.randrange(len(data)):]
    elif way == 2:  # counts and lengths out of range
        for _ in range(random.randint(1, 4)):
            at = random.randrange(max(1, len(data) - 1))
            data[at:at + 2] = random.choice((b"\xff\xff", b"\x00\x00", b"\x7f\xff", b"\xc0\x0c"))
    elif way == 3:  # junk appended
        data += random.randbytes(random.randint(1, 600))
    else:  # nothing but junk
        data = random.randbytes(random.randint(0, 1500))
    return bytes(data)


def datagrams(count, sock):
    for i in range(count):
        to_dhcp = i % 10 == 0
        data = mutate(dhcp_discover() if to_dhcp else random.choice(SEEDS))
        try:
            sock.sendto(data, ("127.0.0.1", DHCP_PORT if to_dhcp else DNS_PORT))
        except OSError:
            pass  # a full socket buffer: the next one goes
        if i % 100 == 0:
            time.sleep(0.01)  # at most 10,000 a second: junk, not a flood (the flood guard's business)


def stream(n):
    query = random.choice(SEEDS)
    way = n % 6
    source = "127.0.%d.%d" % (1 + n // 250 % 200, 2 + n % 250)
    with socket.socket() as s:
        s.settimeout(2)
        try:
            s.bind((source, 0))
            s.connect(("127.0.0.1", DNS_PORT))
            if way == 0:  # a length far beyond what follows
                s.sendall(b"\xff\xff" + query)
            elif way == 1:  # cut mid-message
                s.sendall(struct.pack("!H", len(query)) + query[:random.randrange(len(query))])
            elif way == 2:  # zero length, then junk
                s.sendall(b"\x00\x00" + random.randbytes(random.randint(0, 300)))
            elif way == 3:  # a corrupted message with its true length, then reset
                bad = mutate(query)
                s.sendall(struct.pack("!H", len(bad)) + bad)
                s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            elif way == 4:  # slow drip of a good query
                for b in struct.pack("!H", len(query)) + query:
                    s.send(bytes([b]))
                    time.sleep(0.002)
                s.recv(4096)
            else:  # half a length prefix
                s.sendall(b"\x00")
        except OSError:
            pass  # refused or reset by the server's bounds: what a broken client gets


def streams(first, count, threads=8):
    def work(k):
        for n in range(first + k, first + count, threads):
            stream(n)
    pool = [threading.Thread(target=work, args=(k,)) for k in range(threads)]
    for t in pool:
        t.start()
    for t in pool:
        t.join()


class Checker(threading.Thread):
    def __init__(self):
        super().__init__()
        self.stop, self.ok, self.wrong, self.lost = threading.Event(), 0, 0, 0
        self.expected = self.ask()
        if not self.expected:
            raise ValueError("the zones are not loaded yet")

    @staticmethod
    def ask():
        q = dns.message.make_query("www.vellion.test", "A")
        r = dns.query.udp(q, "127.0.0.1", port=DNS_PORT, timeout=1, source="127.0.0.1")
        return sorted(rr.to_text() for rrset in r.answer for rr in rrset)

    def run(self):
        while not self.stop.wait(0.02):
            try:
                answer = self.ask()
                self.ok += answer == self.expected
                self.wrong += answer != self.expected
            except Exception:
                self.lost += 1


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def main():
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    home = tempfile.mkdtemp(prefix="vellion-soak-")
    proc = None
    try:
        shutil.copytree(os.path.join(os.path.dirname(__file__), "..", "demo"), home, dirs_exist_ok=True)
        # Junk senders may not recurse, as strangers on a network: a foreign name is refused at once
        # instead of holding a request slot while the root servers (unreachable here) time out.
        ini = os.path.join(home, "vellion.ini")
        lines = [line for line in open(ini).read().splitlines() if not line.startswith("DNSRecursion:")]
        with open(ini, "w") as f:
            f.write("\r\n".join(lines + ["DNSRecursion: <none>",
                                         "DHCP: 127.0.0.1 soak 127.0.0.100 127.0.0.200 255.0.0.0 0.0.0.0 600"]) + "\r\n")
        err = open(os.path.join(home, "stderr"), "w")
        proc = subprocess.Popen([VELL, "-n", "--home", home, "--dns-port", str(DNS_PORT), "--dhcp-port",
                                 str(DHCP_PORT), "--dhcp-client-port", str(DHCP_PORT + 1), "--console", "off"],
                                stdout=subprocess.DEVNULL, stderr=err)
        for _ in range(100):
            try:
                checker = Checker()
                break
            except Exception:
                time.sleep(0.1)
        else:
            raise SystemExit("the server never answered")
        print("answer checked:", checker.expected, flush=True)
        checker.start()
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sender.bind(("127.0.0.2", 0))
        started, sizes = time.monotonic(), []
        for r in range(ROUNDS):
            datagrams(DATAGRAMS // ROUNDS, sender)
            streams(r * STREAMS // ROUNDS, STREAMS // ROUNDS)
            time.sleep(1)
            if proc.poll() is not None:
                break
            sizes.append(rss_kb(proc.pid))
            print("round %d: %d datagrams, %d streams, %.0f s, resident %d kB"
                  % (r + 1, DATAGRAMS // ROUNDS * (r + 1), STREAMS // ROUNDS * (r + 1),
                     time.monotonic() - started, sizes[-1]), flush=True)
        checker.stop.set()
        checker.join()
        alive = proc.poll() is None
        if alive:
            proc.send_signal(signal.SIGTERM)
        code = proc.wait(timeout=60)
        err.close()
        reports = [line for line in open(os.path.join(home, "stderr"), errors="replace")
                   if "AddressSanitizer" in line or "runtime error" in line or "LeakSanitizer" in line]
        growth = (sizes[-1] - sizes[0]) / sizes[0] * 100 if len(sizes) == ROUNDS else float("nan")
        print("checker: %d right, %d wrong, %d unanswered" % (checker.ok, checker.wrong, checker.lost))
        print("survived %s, exit code %d, sanitizer reports %d, resident growth after the first round %.1f%%"
              % (alive, code, len(reports), growth))
        for line in reports[:20]:
            print(line.rstrip())
        good = alive and code == 0 and not reports and checker.wrong == 0 and growth < 5
        good = good and checker.lost <= checker.ok // 100
        print("PASS" if good else "FAIL")
        return 0 if good else 1
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
