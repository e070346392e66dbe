#!/usr/bin/env python3
"""Puts a network between a benchmark and a server on the loopback interface.

The proxy listens on a loopback port and forwards each connection to the
server. Each direction is a line of its own: bytes leave one after another
at the line's rate and arrive the one-way delay later, in the order they
were sent. Nothing of the machine's own network is changed.

    distance_proxy.py --to 25432 --profile office [--listen 25433]

prints the port it listens on ("listening 25433") once it does, and stops
when its standard input closes: a benchmark that starts it with a pipe
takes it down with it, also when the benchmark is killed. A line "stats"
on its standard input makes it print what went through it since it
started: "stats <bytes to the server> <bytes from the server> <round
trips> <connections>". A round trip is counted whenever the client sends
after the server answered (and once for each connection's handshake, which
the proxy delays by a round trip as a real network would).

Each direction has a thread that sleeps until a chunk is due and spins out
the last fraction of a millisecond (an event loop's timers wake up to a
millisecond late).
"""

import argparse
import os
import queue
import socket
import sys
import threading
import time

# One-way delay in seconds and rate in bits per second; a rate of 0 is
# unlimited.
PROFILES = {
    "loopback": (0.0, 0),
    "office": (0.001, 1_000_000_000),
    "slow-office": (0.002, 100_000_000),
    "branch": (0.015, 10_000_000),
}

# Bytes read at once: what the line takes as one piece.
CHUNK = 16 * 1024
# A thread's sleep ends up to a few tenths of a millisecond late: it sleeps
# this much less and spins out the rest.
SPIN = 0.0004


class Stats:
    """What went through the proxy, over all its connections."""

    def __init__(self):
        self.lock = threading.Lock()
        self.up = 0
        self.down = 0
        self.round_trips = 0
        self.connections = 0

    def text(self):
        with self.lock:
            return f"stats {self.up} {self.down} {self.round_trips} {self.connections}"


STATS = Stats()


class Turns:
    """Which way a connection's bytes went last."""

    def __init__(self):
        self.client_spoke_last = False

    def sent(self, by_client, count):
        with STATS.lock:
            if by_client:
                STATS.up += count
                if not self.client_spoke_last:
                    STATS.round_trips += 1
            else:
                STATS.down += count
            self.client_spoke_last = by_client


class Line:
    """One direction of a connection: a chunk leaves when the line has sent
    the bytes before it, and arrives `delay` after that."""

    def __init__(self, delay, rate, source, target, turns, from_client):
        self.turns = turns
        self.from_client = from_client
        self.delay = delay
        self.rate = rate
        self.source = source
        self.target = target
        self.queue = queue.Queue()
        self.free_at = 0.0  # when the line has sent everything queued

    def read(self):
        try:
            while data := self.source.recv(CHUNK):
                self.turns.sent(self.from_client, len(data))
                now = time.perf_counter()
                start = max(now, self.free_at)
                self.free_at = start + (len(data) * 8 / self.rate if self.rate else 0.0)
                self.queue.put((self.free_at + self.delay, data))
        except OSError:
            pass
        self.queue.put((max(time.perf_counter(), self.free_at) + self.delay, None))

    def write(self):
        try:
            while True:
                due, data = self.queue.get()
                wait = due - time.perf_counter()
                if wait > SPIN:
                    time.sleep(wait - SPIN)
                while time.perf_counter() < due:
                    pass
                if data is None:
                    break
                self.target.sendall(data)
        except OSError:
            pass
        try:
            self.target.shutdown(socket.SHUT_WR)
        except OSError:
            pass


def connect(client, delay, rate, target_port):
    try:
        server = socket.create_connection(("127.0.0.1", target_port))
    except OSError:
        client.close()
        return
    for s in (client, server):
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    # The handshake a real network would take before the first byte.
    with STATS.lock:
        STATS.round_trips += 1
        STATS.connections += 1
    time.sleep(2 * delay)
    turns = Turns()
    threads = []
    for line in (Line(delay, rate, client, server, turns, True), Line(delay, rate, server, client, turns, False)):
        threads += [threading.Thread(target=line.read, daemon=True), threading.Thread(target=line.write, daemon=True)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    client.close()
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--listen", type=int, default=0, help="loopback port to listen on (0: any free one)")
    parser.add_argument("--to", type=int, required=True, help="loopback port of the server")
    parser.add_argument("--profile", choices=sorted(PROFILES), default="office")
    parser.add_argument("--delay-ms", type=float, help="one-way delay instead of the profile's")
    args = parser.parse_args()
    delay, rate = PROFILES[args.profile]
    if args.delay_ms is not None:
        delay = args.delay_ms / 1000.0
    listener = socket.create_server(("127.0.0.1", args.listen))
    print(f"listening {listener.getsockname()[1]}", flush=True)

    def accept():
        while True:
            client, _ = listener.accept()
            threading.Thread(target=connect, args=(client, delay, rate, args.to), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    # Standard input closing (the benchmark gone) stops the proxy.
    for line in sys.stdin.buffer:
        if line.strip() == b"stats":
            print(STATS.text(), flush=True)
    os._exit(0)


if __name__ == "__main__":
    main()
