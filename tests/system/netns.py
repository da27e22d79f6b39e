"""A network namespace joined to this one by a veth pair, for peers that
must see our traffic come from another host (NOTIFY skips this host's own
addresses). Documentation-range addresses; removed on exit, also when the
test fails or is interrupted."""

import contextlib
import os
import subprocess

HOST_IP, PEER_IP = "203.0.113.1", "203.0.113.2"


def _ip(*args):
    subprocess.run(["ip", *args], check=True, capture_output=True)


@contextlib.contextmanager
def veth_namespace():
    """Yields the namespace's name; PEER_IP is its address, HOST_IP ours."""
    tag = str(os.getpid())
    ns, host_if, peer_if = "vell" + tag, "vh" + tag, "vp" + tag
    try:
        _ip("netns", "add", ns)
        _ip("link", "add", host_if, "type", "veth", "peer", "name", peer_if, "netns", ns)
        _ip("addr", "add", HOST_IP + "/24", "dev", host_if)
        _ip("link", "set", host_if, "up")
        _ip("-n", ns, "addr", "add", PEER_IP + "/24", "dev", peer_if)
        _ip("-n", ns, "link", "set", peer_if, "up")
        _ip("-n", ns, "link", "set", "lo", "up")
        yield ns
    finally:
        subprocess.run(["ip", "link", "del", host_if], capture_output=True)
        subprocess.run(["ip", "netns", "del", ns], capture_output=True)
