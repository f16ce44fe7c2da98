#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/) from the worked
frames the tests use. The files are kept in the repository; run this again
only to change them."""
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))

def hexbytes(s):
    return bytes(int(x, 16) for x in s.split())

def vector(name):
    """A hex constant of tests/common/vectors.h: the start-up block has one copy."""
    with open(os.path.join(HERE, "..", "common", "vectors.h")) as f:
        text = f.read()
    body = re.search(r"\b" + name + r"\s*=\s*((?:\s*\"[^\"]*\")+)\s*;", text).group(1)
    return hexbytes(" ".join(re.findall(r'"([^"]*)"', body)))

# The device page's start-up block (bytes 2..93 of a DeviceFrame).
STARTUP_BLOCK = vector("kStartupBlock")
READ_REPLY = hexbytes("7E 10") + STARTUP_BLOCK + vector("kStartupReadCrc")
WRITE_FRAME = hexbytes("7E 11") + STARTUP_BLOCK + vector("kStartupWriteCrc")
READ_REQUEST = hexbytes("7E 10 21 DC")

# A network block: static 10.0.0.5/255.0.0.0 gw 10.0.0.1, carried 01..06, max 3,
# server 1 ports 1234/5678 to "192.168.0.166", server 8 ports 1/2 to "srv".
block = bytearray(292)
for offset, h in [(0, "80"), (1, "05 00 00 0A"), (5, "01 00 00 0A"), (9, "00 00 00 FF"),
                  (13, "01 02 03 04 05 06"), (19, "03"), (20, "D2 04 2E 16"), (258, "01 00 02 00")]:
    b = hexbytes(h)
    block[offset:offset + len(b)] = b
block[24:24 + 13] = b"192.168.0.166"
block[262:265] = b"srv"
# Server 2 holds bytes that are no code page 936 text.
block[58:63] = hexbytes("81 20 FF 41 D6")
NETWORK_BLOCK = bytes(block)
MAC = hexbytes("00 11 AA BB CC DD")
SEARCH_REPLY = hexbytes("55 00 11 02 00 00 00 00 66 00 A8 C0 02 5A C3 00 00 07 64 00 00")

def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)

write("device_frame", "read-reply", READ_REPLY)
write("device_frame", "write-frame", WRITE_FRAME)
write("device_frame", "read-request", READ_REQUEST)

for i, text in enumerate([b"99.9", b"3276.8", b"6553.5", b"-3276.8", b"300000000", b"0x10", b"1e30",
                          b"02-5A-C3-00-00-01", b"192.168.0.166", b"4800", b"-2147483648", b"12345678",
                          hexbytes("81 20 FF 41 D6"), "终端地址".encode("gbk")]):
    write("typed_input", "text-%02d" % i, text)

# Session steps (see fuzz_session.cpp): 0 raw datagram (count/4, count%4, bytes),
# 1 network reply (MAC, block, sum), 2 device reply (flags, function, block, MAC),
# 3 button, 4 typed text (pick, length, bytes), 5 list choice (pick, index).
def raw(d):
    return bytes([0, len(d) // 4, len(d) % 4]) + d

def device_reply(flags, block, function=0):
    return bytes([2, flags, function]) + block + MAC

def press(which):
    return bytes([3, which])

search = press(0) + raw(SEARCH_REPLY) + press(1 + 8)  # search, a reply, double-click row 0
net_read = bytes([1]) + MAC + NETWORK_BLOCK + b"\x00"
write("session", "search-read-write-network", search + net_read + press(2))
write("session", "device-read-then-write", press(5) + device_reply(0x08, STARTUP_BLOCK) + press(6))
write("session", "device-write-ack", device_reply(0x08 | 1, STARTUP_BLOCK) + press(6))
write("session", "bad-crc-then-0B-reply", device_reply(0x08 | 0x10, STARTUP_BLOCK) + device_reply(0x08 | 0x40, STARTUP_BLOCK) + press(6))
write("session", "typed-then-written", net_read + bytes([4, 1, 5]) + b"hello" + press(2) + bytes([5, 3, 4]) + press(7))
write("session", "worked-frames-raw", raw(bytes([0x55, 0x00, 0x60, 0x0A]) + MAC + READ_REPLY + b"\x00") + press(6))
