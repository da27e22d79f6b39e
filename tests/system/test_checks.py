"""vellctl check-zone and check-config: every line the server reads otherwise
than written is named with its line number, and what the checker predicts of
the start-up rewrite of vellion.ini is what the server then writes."""
import glob
import os
import re

import pytest

from conftest import vellctl

DEMO = os.path.join(os.path.dirname(__file__), "../../demo")

ZONE = [  # (line, what the checker says of it; None: nothing)
    ("@ SOA ns.example.com. me.example.com. 1x 3600 600 86400 300", '"1x" reads as 1'),
    ("@ NS ns", None),
    ("ns A 127.0.0.999", 'address "127.0.0.999" reads as 127.0.0.0'),
    ("bad A nonsense", 'address "nonsense" reads as 0.0.0.0: line skipped'),
    ("x FOO 1 2 3", 'unknown type "FOO": line skipped'),
    ("mx MX ten mail", '"ten" reads as 0'),
    ("s SRV 1 2 99999 t", '"99999" reads as 34463'),
    ("$INCLUDE other.dns", "directive not supported: line skipped"),
    (" CH TXT x", "class CH is not served: line skipped"),
    ("long TXT ( a", '"(" is never closed: the rest of the file is not read'),
    ("  b", None),
]


def findings(stdout):
    """(line number, effect) of the checker's FILE:LINE: "text": effect lines."""
    return [(int(m[1]), m[2]) for m in re.finditer(r'^.*?:(\d+): ".*?": (.*)$', stdout, re.M)]


def test_check_zone_names_each_mistake_by_line(home):
    path = os.path.join(home, "example.com.dns")
    with open(path, "w") as f:
        f.write("".join(line + "\n" for line, _ in ZONE))
    done = vellctl(home, "check-zone", path)
    assert done.returncode == 1, done.stderr
    assert findings(done.stdout) == [(n, effect) for n, (_, effect) in enumerate(ZONE, 1) if effect]
    assert done.stdout.endswith("zone example.com.: 5 records, serial 1; 9 findings\n")
    # Named otherwise, the file needs its zone; without an SOA it is a finding of the whole zone.
    assert vellctl(home, "check-zone", path + ".txt").returncode == 2
    with open(path, "w") as f:
        f.write("www A 192.0.2.1\n")
    done = vellctl(home, "check-zone", path, "Example.COM")
    assert done.stdout.startswith(path + ": no SOA record for example.com.") and done.returncode == 1


@pytest.mark.parametrize("zone_file", sorted(glob.glob(os.path.join(DEMO, "data", "*.dns"))))
def test_demo_files_are_clean(zone_file):
    done = vellctl(DEMO, "check-zone", zone_file)
    assert (done.returncode, done.stdout.split("; ")[-1]) == (0, "no problems\n")
    done = vellctl(DEMO, "check-config")
    assert done.returncode == 0 and done.stdout.endswith("no problems\n"), done.stdout


def test_check_config_predicts_the_rewrite(home, start, tmp_path):
    ini = ["Name: test", "this line has no colon", "MaxActDNSReq: abc", "PrimaryIP: 127.0.0.999", "Foo: bar",
           "AutoCNAME: NO", "DNSRecursion: 192.168.*", "BombLevel: 99999", "NS: 10.0.0.1"]
    dropped = "dropped when the server rewrites the file"
    expected = [
        (2, 'no ":": ignored, and ' + dropped),
        (3, 'becomes "MaxActDNSReq: 0" when the server rewrites the file'),
        (4, 'becomes "PrimaryIP: 127.0.0.0" when the server rewrites the file'),
        (5, "not a setting: ignored, and " + dropped),
        (6, dropped + ": it holds the default"),
        (8, "a number out of range: the server stops reading the file here"),
        (8, 'becomes "BombLevel: 0" when the server rewrites the file'),
        (9, "not read, and " + dropped),
    ]
    (tmp_path / "vellion.ini").write_text("\r\n".join(ini) + "\r\n")
    done = vellctl(str(tmp_path), "check-config")
    assert done.returncode == 1
    assert findings(done.stdout) == expected
    assert 'recursion: this machine and clients whose address starts with "192.168."' in done.stdout
    # What the server then writes is what was predicted.
    server = start(["-n"], ini=ini)
    assert server.wait_for("Loading DHCP Leases..."), server.lines
    server.stop()
    with open(os.path.join(home, "vellion.ini")) as f:
        written = [line.strip() for line in f]
    for n, effect in expected:
        became = re.match(r'becomes "(.*)"', effect)
        assert (became[1] in written) if became else (ini[n - 1] not in written), (n, effect)
