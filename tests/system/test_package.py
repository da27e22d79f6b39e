"""The Debian package made by CPack from this build: its contents, and the
server unpacked from it answering from a program directory laid out as the
package lays out /var/lib/vellion."""

import glob
import gzip
import os
import re
import shutil
import subprocess

import pytest
from conftest import VELLMAIN

PACKAGED = [
    "./usr/sbin/vellmain",
    "./usr/sbin/vellctl",
    "./usr/share/man/man8/vellmain.8.gz",
    "./usr/share/man/man8/vellctl.8.gz",
    "./usr/lib/systemd/system/vellion.service",
    "./var/lib/vellion/named.root",
    "./var/lib/vellion/data/",
]


def test_package_holds_a_server_that_runs(home, start, tmp_path):
    build = os.path.dirname(os.path.abspath(VELLMAIN))
    subprocess.run(["cpack", "-G", "DEB", "-B", str(tmp_path)], cwd=build, check=True, capture_output=True)
    (deb,) = glob.glob(f"{tmp_path}/*.deb")
    listing = subprocess.run(["dpkg-deb", "-c", deb], check=True, capture_output=True, text=True).stdout
    assert set(PACKAGED) <= {line.split()[-1] for line in listing.splitlines()}
    control = subprocess.run(["dpkg-deb", "-I", deb], check=True, capture_output=True, text=True).stdout
    for script in ("postinst", "prerm", "postrm"):
        assert re.search(rf"^ +\d+ bytes, +\d+ lines +\* +{script} +#!/bin/sh$", control, re.M), control

    root = tmp_path / "root"
    subprocess.run(["dpkg-deb", "-x", deb, str(root)], check=True)
    unit = (root / "usr/lib/systemd/system/vellion.service").read_text()
    assert "\nExecStart=/usr/sbin/vellmain -n --home /var/lib/vellion\n" in unit
    assert "\nExecReload=/usr/sbin/vellctl --home /var/lib/vellion reload\n" in unit
    for page, name in (("vellmain", "name server"), ("vellctl", "tell a running")):
        with gzip.open(root / f"usr/share/man/man8/{page}.8.gz", "rt") as f:
            assert f"{page} \\- {name}" in f.read()

    shutil.copytree(root / "var/lib/vellion", home, dirs_exist_ok=True)
    with open(f"{home}/data/pkg.test.dns", "w") as f:
        f.write("pkg.test. SOA ns1.pkg.test. admin.pkg.test. 1 3600 600 86400 300\nwww.pkg.test. A 192.0.2.8\n")
    server = start(["-n"], ini=["DNSBind: 127.0.0.1"], binary=str(root / "usr/sbin/vellmain"))
    assert server.wait_for("Loading DHCP Leases...")
    dig = ["dig", "+short", "@127.0.0.1", "-p", str(server.port), "www.pkg.test", "A"]
    assert subprocess.run(dig, capture_output=True, text=True, timeout=10).stdout == "192.0.2.8\n"


def test_packaged_unit_is_locked_down():
    unit = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "vellion.service")
    if shutil.which("systemd-analyze") is None:
        pytest.skip("no systemd-analyze")
    report = subprocess.run(["systemd-analyze", "security", "--offline=true", unit],
                            capture_output=True, text=True, timeout=30).stdout
    assert re.search(r"Overall exposure level for vellion\.service: [0-9.]+ (SAFE|OK)", report), report
