"""Cache poisoning by guessing: a slow scripted server on loopback and a
forger that floods guessed answers at every outgoing port it can see."""

import os
import random

import dns.message
import dns.query

from conftest import free_port
from hierarchy import Responder, reply_with
from test_recursion import answers, start_resolver

ATTEMPTS = 10
FORGED_PER_ATTEMPT = 5000


def udp_ports(pid):
    """The local ports of the process's UDP sockets, as anyone on the
    machine can read them."""
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        target = os.readlink(f"/proc/{pid}/fd/{fd}")
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    ports = set()
    with open("/proc/net/udp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if fields[9] in inodes:
                ports.add(int(fields[1].split(":")[1], 16))
    return ports


def forging_answer(responder, ports):
    """Answers each query truthfully, but only after FORGED_PER_ATTEMPT forged
    answers from the server's own address and port (what a spoofing forger
    sends) at guessed identifiers, spread over the ports."""
    def answer(query):
        name = query.question[0].name.to_text()
        forged = reply_with(query, f"{name} 300 IN A 6.6.6.6")
        for n in range(FORGED_PER_ATTEMPT):
            forged.id = random.randrange(65536)
            responder.send(forged.to_wire(), ("127.0.0.1", ports[n % len(ports)]))
        return reply_with(query, f"{name} 300 IN A 192.0.2.80")
    return answer


def test_guessed_answers_never_reach_the_cache(home):
    port = free_port()
    ports = []
    authority = Responder("127.0.0.14", port)
    authority.answer = forging_answer(authority, ports)
    server = start_resolver(home, port, ["RecursionOut: YES", "NS: 127.0.0.14", "DNSRecursion: <all>"])
    try:
        ports += sorted(udp_ports(server.proc.pid) - {server.port})
        assert len(ports) >= 256
        for attempt in range(ATTEMPTS):
            name = f"www{attempt}.forged.test."
            first = dns.query.udp(dns.message.make_query(name, "A"), "127.0.0.1", port=server.port, timeout=5)
            again = dns.query.udp(dns.message.make_query(name, "A"), "127.0.0.1", port=server.port, timeout=5)
            assert answers(first) == answers(again) == ["192.0.2.80"], name
    finally:
        server.stop()
        authority.stop()
