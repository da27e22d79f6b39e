"""Start-up, the configuration file, the log and the orderly end of vellmain."""

import datetime
import os
import re
import socket
import subprocess
import time

import pytest
from conftest import VELLMAIN, free_port, read, write_ini


@pytest.mark.parametrize(
    "args,code,out,err",
    [
        ([], 0, "", ""),  # without argument and service flag nothing happens
        (["-h"], 0, "usage: vellmain [-n | -u]", ""),
        (["--version"], 0, "vellmain 0.", ""),
        (["-n", "foo"], 2, "", "vellmain: unknown argument foo\nusage: vellmain [-n | -u]"),
        (["-n", "--home", "/nonexistent/v"], 1, "", "vellmain: program directory /nonexistent/v does not exist\n"),
    ],
)
def test_command_line_mistakes_are_named_before_anything_starts(home, args, code, out, err):
    result = subprocess.run([VELLMAIN, "--home", home] + args, timeout=10, capture_output=True, text=True)
    assert (result.returncode, result.stdout[: len(out)], result.stderr[: len(err)]) == (code, out, err)
    assert (result.stdout == "") == (out == "") and (result.stderr == "") == (err == "")
    assert not os.path.exists("/nonexistent") and os.listdir(home) == []


def test_foreground_run_writes_defaults_logs_and_ends_on_sigterm(home, start):
    server = start(["-n"])
    assert server.wait_for("DNS service started.")
    time.sleep(1.5)  # a few timer ticks
    assert server.proc.poll() is None
    # The default lines are a unit test of the INI writer; the port is chosen at the start.
    reload_port = re.search(r"\r\nReloadPort: (\d+)\r\n", read(os.path.join(home, "vellion.ini")))
    assert reload_port and int(reload_port.group(1)) > 0
    assert server.stop() == 0
    texts = server.texts()
    assert texts[:2] == ["Program started.", "DNS service started."]
    assert texts[-2:] == ["Program closed by user.", "Server paused."]
    assert all(re.fullmatch(r"\d\d:\d\d:\d\d   .*", line) for line in server.lines)
    # WriteLog and CacheReload are off by default.
    assert not os.path.exists(os.path.join(home, "logs")) and not os.path.exists(os.path.join(home, "named.cache"))


def test_taken_port_is_reported_on_standard_error(home, start):
    port = free_port()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as squatter:
        squatter.bind(("0.0.0.0", port))
        server = start(["-n"], port=port)
        assert server.wait_for("Binding DNS service failed - DNS service not started!")
        assert server.stop() == 0
    stderr = server.stderr()
    assert "Could not start DNS service!\n\nPort used by other DNS server." in stderr
    assert f"vellmain: DNS service (UDP) could not bind 0.0.0.0:{port}: Address already in use\n" in stderr


def test_start_minimised_writes_nothing_to_standard_output(home, start):
    server = start(["-n"], ini=["StartMini: YES"])
    time.sleep(1.5)
    assert server.stop() == 0
    assert server.lines == []


def test_service_mode_starts_from_the_start_event_loads_and_stops_on_sigterm(home, start):
    server = start([], ini=["NTService: YES", "WriteLog: YES", "DNSBind: 127.0.0.1"])
    name = datetime.datetime.now().strftime("%Y%m%d") + ".log"
    path = os.path.join(home, "logs", name)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and "Loading DHCP Leases..." not in (read(path) if os.path.exists(path) else ""):
        time.sleep(0.05)
    assert server.stop() == 0
    texts = [line[11:] for line in read(path).split("\r\n") if line]
    assert texts[:6] == ["NT Service Started.", "Program started.", "DNS service started on 127.0.0.1",
                         "Loading Root DNS server records...", "Loading IP address blocks...", "Loading DHCP Leases..."]
    assert texts[-2:] == ["NT Service Stopped.", "Server paused."]
    assert server.lines == []  # a service has no console


def test_uninstall_removes_service_and_flags(home, tmp_path):
    units = tmp_path / "units"
    units.mkdir()
    (units / "mydns.service").write_text("[Unit]\n")
    calls = tmp_path / "calls"
    fake = tmp_path / "systemctl"
    fake.write_text(f"#!/bin/sh\necho \"$@\" >> {calls}\n")
    fake.chmod(0o755)
    write_ini(home, ["NTService: NO", "StartWin: YES", "ServiceName: My DNS", "; a comment"])
    env = dict(os.environ, VELLION_UNIT_DIR=str(units), VELLION_SYSTEMCTL=str(fake))
    result = subprocess.run([VELLMAIN, "-u", "--home", home], env=env, timeout=10)
    assert result.returncode == 0
    ini = read(os.path.join(home, "vellion.ini"))
    assert "StartWin" not in ini and "comment" not in ini
    assert "ServiceName: mydns\r\n" in ini
    assert "ReloadPort: 0\r\n" in ini
    assert not (units / "mydns.service").exists()
    assert "stop mydns" in calls.read_text()
    assert "Run/Vellion=" in read(os.path.join(home, "registry.dat"))
