"""Sends hand-made DHCP payloads from 0.0.0.0:68 to 255.255.255.255:67 on one interface, in order.

Run inside the client namespace: python3 dhcp_send.py IFACE HEX [HEX ...]
"""

import sys
import time

from scapy.all import IP, UDP, Ether, Raw, conf, sendp

conf.verb = 0
iface = sys.argv[1]
for payload in sys.argv[2:]:
    frame = Ether(dst="ff:ff:ff:ff:ff:ff") / IP(src="0.0.0.0", dst="255.255.255.255") / UDP(sport=68, dport=67)
    sendp(frame / Raw(bytes.fromhex(payload)), iface=iface)
    time.sleep(0.02)
