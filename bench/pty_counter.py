#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A module's serial port for the benchmarks: opens a pseudo-terminal, writes the slave's path to
the first file given, and counts the bytes that arrive: SIGUSR1 starts the count afresh, SIGTERM
ends it and writes the count to the second file given."""
import os
import pty
import select
import signal
import sys

master, slave = pty.openpty()
with open(sys.argv[1], "w") as out:
    out.write(os.ttyname(slave) + "\n")
state = {"count": 0, "running": True}
signal.signal(signal.SIGUSR1, lambda *_: state.update(count=0))
signal.signal(signal.SIGTERM, lambda *_: state.update(running=False))
while state["running"]:
    try:
        ready, _, _ = select.select([master], [], [], 0.5)
        if ready:
            state["count"] += len(os.read(master, 4096))
    except (OSError, InterruptedError):
        pass
with open(sys.argv[2], "w") as out:
    out.write(f"{state['count']}\n")
