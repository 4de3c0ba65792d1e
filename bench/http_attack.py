#!/usr/bin/env python3
"""Slow and idle HTTP clients against one loopback port, and a client that
measures ordinary requests meanwhile.

  http_attack.py attack PORT SECONDS SLOW IDLE
      SLOW connections each send a request line and then one header byte a
      second; IDLE connections send nothing. A connection the server closes
      is opened again (after a second). Ends by itself after SECONDS.
      Prints how many connections it opened and how many the server closed.

  http_attack.py measure PORT PATH SECONDS RATE
      RATE requests a second for SECONDS, each on a new connection, each
      given at most 10 s. Prints the count, the failures (no connection,
      no answer in time, status other than 200) and the median and 99th
      percentile latency in milliseconds.

Loopback only; every loop is bounded in time.
"""
import asyncio
import socket
import statistics
import sys
import time

HOST = "127.0.0.1"


async def connect(port, stats):
    """A new connection, or None (counted, after a second's pause)."""
    try:
        reader, writer = await asyncio.open_connection(HOST, port)
    except OSError:
        stats["refused"] += 1
        await asyncio.sleep(1)
        return None
    stats["opened"] += 1
    return reader, writer


async def slow_client(port, until, stats):
    while time.monotonic() < until:
        connection = await connect(port, stats)
        if connection is None:
            continue
        reader, writer = connection
        try:
            writer.write(b"GET /service/clause HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ")
            await writer.drain()
            while time.monotonic() < until:
                # A byte a second; a read that ends means the server closed.
                try:
                    got = await asyncio.wait_for(reader.read(4096), timeout=1.0)
                    if not got:
                        stats["closed"] += 1
                        break
                except asyncio.TimeoutError:
                    pass
                writer.write(b"a")
                await writer.drain()
        except OSError:
            stats["closed"] += 1
        finally:
            writer.close()
        await asyncio.sleep(1)


async def idle_client(port, until, stats):
    while time.monotonic() < until:
        connection = await connect(port, stats)
        if connection is None:
            continue
        reader, writer = connection
        try:
            remaining = until - time.monotonic()
            if remaining > 0:
                got = await asyncio.wait_for(reader.read(4096), timeout=remaining)
                stats["closed"] += 1
                del got
        except asyncio.TimeoutError:
            pass
        except OSError:
            stats["closed"] += 1
        finally:
            writer.close()
        await asyncio.sleep(1)


async def attack(port, seconds, slow, idle):
    until = time.monotonic() + seconds
    stats = {"opened": 0, "closed": 0, "refused": 0}
    tasks = []
    # Open in waves, so that the listen queue is not the only thing tested.
    for i in range(idle):
        tasks.append(asyncio.ensure_future(idle_client(port, until, stats)))
        if i % 200 == 199:
            await asyncio.sleep(0.05)
    for i in range(slow):
        tasks.append(asyncio.ensure_future(slow_client(port, until, stats)))
        if i % 200 == 199:
            await asyncio.sleep(0.05)
    await asyncio.wait(tasks, timeout=seconds + 15)
    for task in tasks:
        task.cancel()
    print(f"attack: opened {stats['opened']} closed-by-server {stats['closed']} "
          f"refused {stats['refused']}")


def one_request(port, path):
    started = time.monotonic()
    with socket.create_connection((HOST, port), timeout=10) as s:
        s.settimeout(10)
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"
                  .encode())
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
            if time.monotonic() - started > 10:
                raise TimeoutError("answer too slow")
    ok = data.startswith(b"HTTP/1.1 200 ")
    return ok, (time.monotonic() - started) * 1000.0


def measure(port, path, seconds, rate):
    latencies = []
    failures = 0
    count = 0
    start = time.monotonic()
    interval = 1.0 / rate
    while time.monotonic() - start < seconds:
        due = start + count * interval
        now = time.monotonic()
        if due > now:
            time.sleep(due - now)
        count += 1
        try:
            ok, ms = one_request(port, path)
            latencies.append(ms)
            if not ok:
                failures += 1
        except OSError:
            failures += 1
            latencies.append(10000.0)
    latencies.sort()
    median = statistics.median(latencies) if latencies else 0.0
    p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))] if latencies else 0.0
    print(f"requests {count} failures {failures} median_ms {median:.2f} p99_ms {p99:.2f} "
          f"max_ms {latencies[-1] if latencies else 0:.2f}")


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "attack":
        asyncio.run(attack(int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]),
                           int(sys.argv[5])))
    elif len(sys.argv) == 6 and sys.argv[1] == "measure":
        measure(int(sys.argv[2]), sys.argv[3], float(sys.argv[4]), float(sys.argv[5]))
    else:
        print(__doc__, file=sys.stderr)
        sys.exit(2)


if __name__ == "__main__":
    main()
