"""An independent checker agrees: zonemaster-cli, run from this host against
a zone served by two vellmain instances in a network namespace (under a root
and a TLD of NSD), reports no warning or error that it does not report for
the same zone served by two NSD instances."""
import os
import re
import subprocess

from hierarchy import Hierarchy
from netns import veth_namespace

ROOT, TLD, NS1, NS2 = "203.0.113.2", "203.0.113.3", "203.0.113.10", "203.0.113.11"
PARENTS = {
    ROOT: {".": f"@ NS a.root.\na.root. A {ROOT}\ntest. NS ns.tld.\nns.tld. A {TLD}\n"},
    TLD: {"test.": "@ NS ns.tld.\nexample NS ns1.example\nexample NS ns2.example\n"
                   f"ns1.example A {NS1}\nns2.example A {NS2}\n"},
}
ZONE = f"""@ 3600 IN SOA ns1.example.test. hostmaster.example.test. 2026120601 14400 3600 1209600 300
@ 3600 IN NS ns1.example.test.
@ 3600 IN NS ns2.example.test.
@ 3600 IN MX 10 mail.example.test.
ns1 3600 IN A {NS1}
ns2 3600 IN A {NS2}
mail 3600 IN A 192.0.2.25
www 3600 IN A 192.0.2.80
www 3600 IN AAAA 2001:db8::80
_sip._udp 3600 IN SRV 0 5 40000 www
"""


def zonemaster(tmp):
    """The (level, tag) pairs of WARNING and above that zonemaster-cli reports for example.test."""
    hints = os.path.join(tmp, "hints")
    with open(hints, "w") as f:
        f.write(f". 3600000 NS a.root.\na.root. 3600000 A {ROOT}\n")
    out = subprocess.run(["zonemaster-cli", "example.test", "--hints", hints, "--no-ipv6", "--level", "WARNING",
                          "--raw"], capture_output=True, text=True, timeout=300).stdout
    return set(re.findall(r"^\s*[\d.]+\s+(WARNING|ERROR|CRITICAL)\s+(\S+)", out, re.M))


def test_zonemaster_finds_nothing_it_does_not_find_for_nsd(tmp_path, start):
    with veth_namespace() as ns:
        for ip in (TLD, NS1, NS2):
            subprocess.run(["ip", "-n", ns, "addr", "add", ip + "/24", "dev", f"vp{os.getpid()}"], check=True)
        prefix = ("ip", "netns", "exec", ns)
        parents = Hierarchy(str(tmp_path / "parents"), 53, PARENTS, prefix)
        try:
            nsd = Hierarchy(str(tmp_path / "nsd"), 53, {ip: {"example.test.": ZONE} for ip in (NS1, NS2)}, prefix)
            nsd_says = zonemaster(str(tmp_path))
            nsd.stop()
            for ip in (NS1, NS2):
                home = tmp_path / ip
                (home / "data").mkdir(parents=True)
                (home / "data" / "example.test.dns").write_text(ZONE)
                server = start(["-n"], ini=[f"DNSBind: {ip}", "DNSRecursion: <none>"], port=53, home_dir=str(home),
                               prefix=list(prefix))
                assert server.wait_for("Loading DHCP Leases...")  # the zones are loaded
            vellmain_says = zonemaster(str(tmp_path))
        finally:
            parents.stop()
    assert nsd_says, "zonemaster-cli reported nothing at all: the set-up is not what it checks"
    assert vellmain_says - nsd_says == set()
