"""The README's examples, run against the demo configuration: each "$ "
command line must print exactly the lines under it (blanks normalised)."""

import os
import re
import shutil
import subprocess

from conftest import free_port

_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def examples():
    """(command, expected lines) of the README's "Try it" section."""
    with open(os.path.join(_ROOT, "README.md")) as f:
        section = f.read().split("## Try it", 1)[1].split("\n## ", 1)[0]
    found = []
    for line in section.splitlines():
        if line.startswith("    $ "):
            found.append((line[6:], []))
        elif line.startswith("    ") and found:
            found[-1][1].append(line.split())
    return found


def test_readme_examples_answer_as_written(home, start):
    shutil.copytree(os.path.join(_ROOT, "demo"), home, dirs_exist_ok=True)
    port = free_port()
    server = start(["-n"], port=port)
    assert server.wait_for("Loading DHCP Leases...")
    cases = examples()
    assert len(cases) >= 10
    for command, expected in cases:
        assert "-p 5353" in command
        command = re.sub(r"-p 5353\b", f"-p {port}", command)
        out = subprocess.run(["bash", "-c", command], capture_output=True, text=True, timeout=10).stdout
        assert [line.split() for line in out.splitlines() if line.strip()] == expected, command
