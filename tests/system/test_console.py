"""The operator console's guard: token, Host header, CSRF token; each refusal
is a 403 logged once, without the secret; loopback only unless asked."""

import http.client
import os
import re
import stat

import pytest

from conftest import Server, free_port, read


@pytest.fixture
def console(start, home):
    port = free_port()
    server = start(args=["-n", "--console", "127.0.0.1:%d" % port], ini=["StartMini: NO"])
    assert server.wait_for("Console: http://")
    url = next(line for line in server.lines if line.startswith("Console: "))[len("Console: ") :]
    server.console_port = port
    server.token = re.search(r"token=([0-9a-f]{32})$", url).group(1)
    return server


def request(server, method, path, host=None, headers=None, body=None):
    conn = http.client.HTTPConnection("127.0.0.1", server.console_port, timeout=5)
    conn.putrequest(method, path, skip_host=True)
    conn.putheader("Host", host or "127.0.0.1:%d" % server.console_port)
    for name, value in (headers or {}).items():
        conn.putheader(name, value)
    data = (body or "").encode()
    conn.putheader("Content-Length", str(len(data)))
    conn.endheaders(data)
    response = conn.getresponse()
    text = response.read().decode()
    conn.close()
    return response.status, text


REFUSED = [
    # (what is wrong, method, path, host, token given, headers, logged cause)
    ("no token", "GET", "/api/state", None, None, {}, "no token"),
    ("no token on metrics", "GET", "/metrics", None, None, {}, "no token"),
    ("rebound name", "GET", "/", "attacker.example:{port}", "{token}", {}, "wrong Host header"),
    ("POST without CSRF", "POST", "/api/do/command", None, "{token}", {}, "no CSRF token"),
]


def test_refusals_are_403_and_logged_once_and_the_cookie_and_token_file_admit(console, home):
    fill = lambda text: text.format(port=console.console_port, token=console.token)
    for what, method, path, host, token, headers, cause in REFUSED:
        target = path + ("?token=" + fill(token) if token else "")
        for _ in range(2):
            status, _ = request(console, method, target, fill(host) if host else None, headers, "name=mnuReload")
            assert status == 403, what
        assert console.wait_for("Console request refused: " + cause), what
    # The cookie is what every command of the browser test goes through.
    cookie = {"Cookie": "vellion_%d=%s" % (console.console_port, console.token)}
    status, metrics = request(console, "GET", "/metrics", headers=cookie)
    assert status == 200 and re.search(r"^vellion_cache_records \d+$", metrics, re.M)
    path = os.path.join(home, "console.token")
    assert stat.S_IMODE(os.stat(path).st_mode) == 0o600 and read(path).strip() == console.token
    console.stop()
    refusals = [t for t in console.texts() if t.startswith("Console request refused: ")]
    assert sorted(refusals) == sorted(set("Console request refused: " + c for *_, c in REFUSED))
    assert not any(console.token in line for line in console.lines if not line.startswith("Console: "))


def listening(port):
    """Local addresses (hex, as /proc/net/tcp has them) listening on port."""
    found = []
    for line in open("/proc/net/tcp").read().splitlines()[1:]:
        local, state = line.split()[1], line.split()[3]
        address, hex_port = local.split(":")
        if state == "0A" and int(hex_port, 16) == port:
            found.append(address)
    return found


def test_default_console_listens_on_loopback_only_and_keeps_its_token_out_of_the_journal(home):
    if listening(5380):
        pytest.skip("port 5380 is in use")
    server = Server(home, ["-n", "--home", home, "--dns-port", str(free_port())], env={"JOURNAL_STREAM": "8:1"})
    try:
        path = os.path.join(home, "console.token")
        assert server.wait_for("Console: http://127.0.0.1:5380/ (token in %s)" % path)
        assert listening(5380) == ["0100007F"]
    finally:
        server.stop()
    assert not any(read(path).strip() in line for line in server.lines)


def test_a_port_in_use_is_reported_like_other_binds(start):
    port = free_port()
    first = start(args=["-n", "--console", "127.0.0.1:%d" % port])
    assert first.wait_for("Console: ")
    second = start(args=["-n", "--console", "127.0.0.1:%d" % port])
    assert second.wait_for("Binding operator console to 127.0.0.1 failed!")
    second.stop()
    assert "operator console could not bind 127.0.0.1:%d" % port in second.stderr()
