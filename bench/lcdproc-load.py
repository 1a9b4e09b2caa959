#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# LCDd clients for the benchmarks: CLIENTS connections to PORT, each with one screen of WIDGETS
# string widgets, every widget set anew RATE times a second; replies are read and dropped.
#   lcdproc-load.py PORT [CLIENTS] [WIDGETS] [RATE]
import selectors
import socket
import sys
import time

port = int(sys.argv[1])
clients = int(sys.argv[2]) if len(sys.argv) > 2 else 20
widgets = int(sys.argv[3]) if len(sys.argv) > 3 else 10
rate = float(sys.argv[4]) if len(sys.argv) > 4 else 8.0

selector = selectors.DefaultSelector()
sockets = []
for c in range(clients):
    s = socket.create_connection(("127.0.0.1", port))
    lines = ["hello", "client_set -name load%d" % c, "screen_add s", "screen_set s -heartbeat off"]
    for w in range(widgets):
        lines.append("widget_add s w%d string" % w)
    s.sendall(("\n".join(lines) + "\n").encode())
    s.setblocking(False)
    selector.register(s, selectors.EVENT_READ)
    sockets.append(s)

tick = 0
start = time.monotonic()
while True:
    for c, s in enumerate(sockets):
        batch = "".join('widget_set s w%d %d %d "c%d w%d t%d"\n' % (w, 1 + (w % 2) * 10, 1 + (w // 2) % 4, c, w, tick)
                        for w in range(widgets))
        try:
            s.sendall(batch.encode())
        except BlockingIOError:
            pass
    tick += 1
    deadline = start + tick / rate
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        for key, _ in selector.select(left):
            try:
                key.fileobj.recv(65536)
            except BlockingIOError:
                pass
