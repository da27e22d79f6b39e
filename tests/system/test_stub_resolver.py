"""glibc's stub resolver, pointed at the server by resolv.conf in a network
namespace, gets the A and the AAAA addresses of a name at once: no NOTIMP,
no retry delay, no fallback to another server."""
import os
import shutil
import subprocess
import time

from netns import veth_namespace

ZONE = """@ SOA ns.example.lan. admin.example.lan. 1 3600 600 86400 300
@ NS ns
ns A 127.0.0.1
www A 192.0.2.80
www AAAA 2001:db8::80
v4only A 192.0.2.81
"""


def test_getent_ahosts_gets_both_families(tmp_path, start):
    (tmp_path / "data").mkdir()
    (tmp_path / "data" / "example.lan.dns").write_text(ZONE)
    with veth_namespace() as ns:
        conf = os.path.join("/etc/netns", ns)
        os.makedirs(conf)
        try:
            with open(os.path.join(conf, "resolv.conf"), "w") as f:
                f.write("nameserver 127.0.0.1\noptions timeout:2 attempts:1\n")
            server = start(["-n"], ini=["DNSBind: 127.0.0.1"], port=53, home_dir=str(tmp_path),
                           prefix=["ip", "netns", "exec", ns])
            assert server.wait_for("Loading DHCP Leases...")  # the zones are loaded
            cases = [("www.example.lan", {"192.0.2.80", "2001:db8::80"}), ("v4only.example.lan", {"192.0.2.81"})]
            for name, addresses in cases:
                began = time.monotonic()
                done = subprocess.run(["ip", "netns", "exec", ns, "getent", "ahosts", name], capture_output=True,
                                      text=True, timeout=10)
                # One time-out of the resolver would take 2 s.
                assert time.monotonic() - began < 1.5, name
                assert {line.split()[0] for line in done.stdout.splitlines()} == addresses, done.stdout
        finally:
            shutil.rmtree(conf)
