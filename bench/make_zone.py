#!/usr/bin/env python3
"""Writes a zone file of N records to standard output, in a form that
vellmain, NSD and Knot all read: relative owners, explicit TTL and class,
owner names in shuffled order (a fixed seed, so every run is the same)."""
import random
import sys

n = int(sys.argv[1])
out = sys.stdout
out.write("@ 3600 IN SOA ns1 hostmaster 1 3600 600 86400 300\n")
out.write("@ 3600 IN NS ns1\n")
out.write("ns1 3600 IN A 192.0.2.1\n")
out.write("mail 3600 IN A 192.0.2.25\n")
order = list(range(n - 4))
random.Random(4).shuffle(order)
for i in order:
    kind = i % 10
    if kind < 7:
        out.write(f"h{i} 3600 IN A 10.{i >> 16 & 255}.{i >> 8 & 255}.{i & 255}\n")
    elif kind == 7:
        out.write(f"h{i} 3600 IN MX 10 mail\n")
    elif kind == 8:
        out.write(f'h{i} 3600 IN TXT "record {i}"\n')
    else:
        out.write(f"h{i} 3600 IN CNAME h{i - 1}\n")
