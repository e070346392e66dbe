#!/usr/bin/env python3
"""Checks the distance proxy once: 100 round trips through it take 100
times the profile's round trip (within 10 %) and are counted as such, a
megabyte takes what the line's rate gives, and the proxy stops when its
standard input closes.
Exits non-zero on the first check that fails."""

import asyncio
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from distance_proxy import CHUNK, PROFILES  # noqa: E402


async def echo(reader, writer):
    while data := await reader.read(65536):
        writer.write(data)
        await writer.drain()
    writer.close()


def start_proxy(profile, target):
    proxy = subprocess.Popen(
        [sys.executable, os.path.join(HERE, "distance_proxy.py"), "--to", str(target), "--profile", profile],
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        text=True,
    )
    line = proxy.stdout.readline().split()
    if line[:1] != ["listening"]:
        raise SystemExit(f"{profile}: the proxy did not start ({line})")
    return proxy, int(line[1])


async def ping_pong(port, rounds):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    started = time.perf_counter()
    for _ in range(rounds):
        writer.write(b"x" * 64)
        await writer.drain()
        await reader.readexactly(64)
    elapsed = time.perf_counter() - started
    writer.close()
    return elapsed


async def one_way(port, size):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    started = time.perf_counter()
    writer.write(b"y" * size)
    await writer.drain()
    await reader.readexactly(size)
    elapsed = time.perf_counter() - started
    writer.close()
    return elapsed


async def main():
    server = await asyncio.start_server(echo, "127.0.0.1", 0)
    target = server.sockets[0].getsockname()[1]
    failures = []
    # The round trips of the client and the echo alone, taken off below:
    # what is checked is what the proxy adds.
    base = await ping_pong(target, 100)
    print(f"{'direct':12} 100 round trips {base * 1000:8.1f} ms")
    for profile in ("office", "slow-office", "branch"):
        delay, rate = PROFILES[profile]
        proxy, port = start_proxy(profile, target)
        try:
            rtt = 2 * delay + 2 * 64 * 8 / rate
            elapsed = await ping_pong(port, 100) - base
            ratio = elapsed / (100 * rtt)
            print(f"{profile:12} 100 round trips {elapsed * 1000:8.1f} ms added, expected {100 * rtt * 1000:8.1f} ms ({ratio:.2f}x)")
            if abs(ratio - 1) > 0.10:
                failures.append(f"{profile}: round trips {ratio:.2f}x")
            # What it counted: the handshake and the 100 round trips.
            proxy.stdin.write("stats\n")
            proxy.stdin.flush()
            stats = proxy.stdout.readline().split()
            print(f"{profile:12} counted         {' '.join(stats[1:])} (bytes up, down, round trips, connections)")
            if stats != ["stats", "6400", "6400", "101", "1"]:
                failures.append(f"{profile}: counted {stats}")
            size = 1 << 20
            # Echoed as it arrives: the megabyte at the line's rate once (the
            # way back overlaps the way there but for its last chunk), the
            # delay each way.
            expected = (size + CHUNK) * 8 / rate + 2 * delay
            if expected > 0.05:
                elapsed = await one_way(port, size)
                ratio = elapsed / expected
                print(f"{profile:12} 1 MiB echoed    {elapsed * 1000:8.1f} ms, expected {expected * 1000:8.1f} ms ({ratio:.2f}x)")
                if abs(ratio - 1) > 0.10:
                    failures.append(f"{profile}: rate {ratio:.2f}x")
        finally:
            proxy.stdin.close()  # as when the benchmark that started it is gone
            try:
                proxy.wait(timeout=2)
            except subprocess.TimeoutExpired:
                proxy.kill()
                failures.append(f"{profile}: the proxy did not stop when its input closed")
    server.close()
    if failures:
        raise SystemExit("; ".join(failures))
    print("ok")


if __name__ == "__main__":
    asyncio.run(main())
