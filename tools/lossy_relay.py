#!/usr/bin/env python3
"""A UDP relay on the loopback address that delays, jitters and loses
datagrams both ways, as a long and poor network would, and counts what
crosses it. The joiner connects to LISTEN_PORT; the relay passes it on to
the host on HOST_PORT. On SIGTERM it prints the datagrams and bytes each
way, and the bytes a second with the 28 bytes of UDP and IPv4 headers.

usage: lossy_relay.py LISTEN_PORT HOST_PORT ONE_WAY_MS JITTER_MS LOSS_PERCENT
"""
import heapq
import random
import select
import signal
import socket
import sys
import time


def main():
    listen_port, host_port, delay, jitter, loss = (int(a) for a in sys.argv[1:6])
    outside = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    outside.bind(("127.0.0.1", listen_port))
    inside = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    inside.bind(("127.0.0.1", 0))
    host = ("127.0.0.1", host_port)
    joiner = None
    due = []  # (time, order, socket, address, bytes)
    order = 0
    counts = {"to host": [0, 0], "to joiner": [0, 0]}  # datagrams, bytes
    started = None
    rand = random.Random(7)

    def report(*_):
        seconds = time.monotonic() - (started or time.monotonic())
        for way, (n, size) in counts.items():
            rate = (size + 28 * n) / seconds if seconds > 0 else 0
            print(f"{way}: {n} datagrams, {size} bytes in {seconds:.1f} s: "
                  f"{size / max(seconds, 1e-9):.0f} bytes a second, {rate:.0f} with UDP and IP",
                  flush=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, report)
    signal.signal(signal.SIGINT, report)
    print(f"relaying 127.0.0.1:{listen_port} to {host_port}, one way {delay} ms "
          f"(+ up to {jitter}), {loss} % lost", flush=True)
    while True:
        now = time.monotonic()
        wait = max(0.0, due[0][0] - now) if due else 0.05
        readable, _, _ = select.select([outside, inside], [], [], wait)
        for sock in readable:
            data, sender = sock.recvfrom(65536)
            if sock is outside:
                joiner = sender
                way, out, to = "to host", inside, host
            else:
                way, out, to = "to joiner", outside, joiner
            if to is None:
                continue
            started = started or now
            counts[way][0] += 1
            counts[way][1] += len(data)
            if rand.randrange(100) < loss:
                continue
            order += 1
            at = now + (delay + rand.uniform(0, jitter)) / 1000.0
            heapq.heappush(due, (at, order, out, to, data))
        now = time.monotonic()
        while due and due[0][0] <= now:
            _, _, out, to, data = heapq.heappop(due)
            out.sendto(data, to)


if __name__ == "__main__":
    main()
