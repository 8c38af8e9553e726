#!/usr/bin/env python3
"""A stub name server for the names benchmark, on 127.0.0.1:53 inside the benchmark's own network
namespace: pcNNNNN gets 127.10.(N / 250).(N % 250 + 1) after DELAY ms; one name in a hundred
(N % 100 == 99) is never answered, as when a site's name server is down; any other name is
unknown at once. Usage: stubdns.py DELAY_MS READY_FILE"""
import asyncio
import re
import struct
import sys

NAME = re.compile(rb"^pc(\d{5})$", re.IGNORECASE)


def parse_question(packet):
    labels, at = [], 12
    while packet[at]:
        length = packet[at]
        labels.append(packet[at + 1:at + 1 + length])
        at += 1 + length
    qtype, = struct.unpack_from(">H", packet, at + 1)
    return labels, packet[12:at + 5], qtype


def reply(packet, question, rcode, address=None):
    ident, = struct.unpack_from(">H", packet, 0)
    answers = 1 if address else 0
    head = struct.pack(">HHHHHH", ident, 0x8180 | rcode, 1, answers, 0, 0)
    body = question
    if address:
        body += struct.pack(">HHHIH", 0xC00C, 1, 1, 0, 4) + bytes(address)
    return head + body


class Stub(asyncio.DatagramProtocol):
    def __init__(self, delay):
        self.delay = delay

    def connection_made(self, transport):
        self.transport = transport

    def datagram_received(self, packet, peer):
        try:
            labels, question, qtype = parse_question(packet)
        except (IndexError, struct.error):
            return
        match = NAME.match(labels[0]) if len(labels) == 1 else None
        if not match:
            self.transport.sendto(reply(packet, question, 3), peer)
            return
        n = int(match.group(1))
        if n % 100 == 99:
            return
        answer = reply(packet, question, 0, [127, 10, n // 250, n % 250 + 1] if qtype == 1 else None)
        asyncio.get_running_loop().call_later(self.delay, self.transport.sendto, answer, peer)


async def main():
    loop = asyncio.get_running_loop()
    await loop.create_datagram_endpoint(lambda: Stub(int(sys.argv[1]) / 1000.0),
                                        local_addr=("127.0.0.1", 53))
    with open(sys.argv[2], "w") as ready:
        ready.write("ready\n")
    await asyncio.Event().wait()


asyncio.run(main())
