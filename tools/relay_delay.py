#!/usr/bin/env python3
"""How long the relay holds each datagram it forwards, seen from outside it.

Listens on the lab's public bridge (in the public namespace) for SECONDS and
takes the kernel's timestamp of every load message (flailwick_lobby_load's
40 bytes starting with 'L') as it reaches the relay and as it leaves it: the
same bytes come in wrapped in TURN ChannelData and go out bare, or the other
way round. The difference is the delay the relay itself adds on one crossing,
with the clients' own delays left out.
Usage: relay_delay.py INTERFACE SECONDS
"""
import socket
import struct
import sys
import time

ETH_P_ALL = 3
SO_TIMESTAMPNS = 35
SO_RCVBUFFORCE = 33
MESSAGE = 40


def percentile(values, share):
    return values[min(len(values) - 1, int(share * len(values)))]


def main():
    interface, seconds = sys.argv[1], float(sys.argv[2])
    tap = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
    # Tens of thousands of packets a second: a small buffer would drop pairs.
    tap.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 64 << 20)
    tap.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    tap.bind((interface, 0))
    tap.settimeout(0.2)
    first = {}
    delays = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            data, ancillary, _, _ = tap.recvmsg(128, 64)
        except socket.timeout:
            continue
        if len(data) < 14 + 20 + 8 or data[12:14] != b"\x08\x00" or data[23] != 17:
            continue
        udp = 14 + (data[14] & 15) * 4
        payload = data[udp + 8:]
        if len(payload) == MESSAGE and payload[0] == ord("L"):
            key = payload
        elif len(payload) == MESSAGE + 4 and 0x40 <= payload[0] < 0x80 and payload[4] == ord("L"):
            key = payload[4:]  # ChannelData: channel number and length first
        else:
            continue
        stamp = None
        for level, kind, value in ancillary:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                sec, nsec = struct.unpack("qq", value[:16])
                stamp = sec * 1_000_000_000 + nsec
        if stamp is None:
            continue
        seen = first.pop(key, None)
        if seen is None:
            first[key] = stamp
        else:
            delays.append(stamp - seen)
    if not delays:
        print("relay forwarding delay: no datagram seen crossing the relay")
        return
    delays.sort()
    print(
        "relay forwarding delay (one crossing, kernel timestamps on the public bridge): "
        f"{len(delays)} datagrams, p50 {percentile(delays, 0.5) / 1e6:.3f} ms, "
        f"p99 {percentile(delays, 0.99) / 1e6:.3f} ms, max {delays[-1] / 1e6:.3f} ms"
    )


if __name__ == "__main__":
    main()
