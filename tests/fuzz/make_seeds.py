#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into corpus/.

Port inputs: status fill, data fill, size of the operation list, size of the
status runs, then the operations, the runs (value, count code) and the data
bytes; port_fuzz.cpp describes the encoding. Run from anywhere; existing
files of the same names are overwritten, other files (regression inputs)
are kept.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Count codes of the status runs.
def n(count):  # 1..224 reads
    assert 1 <= count <= 224
    return count - 1
EDGE = {99997: 0xF0, 99998: 0xF1, 99999: 0xF2, 100000: 0xF3, 100001: 0xF4,
        4092: 0xF8, 8184: 0xFC}
def big(shift):  # 256 << shift reads
    return 0xE0 + shift

RESET, READ, READ_NULL = [0x02], [0x04, 0x00], [0x04, 0x01]
def send(w2=0, w1=0, length=0, seed=0, flags=0):
    return [0x03, flags, w2 & 0xFF, w2 >> 8, w1 & 0xFF, w1 >> 8, length, seed]
def timeout(code):
    return [0x01, code]
def init(base):
    return [0x00] + list(base.to_bytes(4, "little"))

def port(ops, runs, data=b"", status_fill=0x00, data_fill=0x00):
    ops = [b for op in ops for b in op]
    runs = [b for run in runs for b in run]
    assert len(ops) < 256 and len(runs) < 256
    return bytes([status_fill, data_fill, len(ops), len(runs)] + ops + runs) + bytes(data)

PORT = {
    # Reset, a send of two bytes, a reply with status word 0x1234 and 3 bytes.
    "exchange": port([RESET, send(0x0304, 0x0102, 2, 0xAA), READ],
                     [(0xEE, n(1)), (0xEE, n(1)), (0x00, n(1)), (0x00, n(1)),
                      (0x01, n(8)), (0x00, n(1))],
                     b"\x00\x00\x34\x12abc"),
    "ready_on_read_99999": port([RESET], [(0x00, EDGE[99998]), (0xEE, n(1))]),
    "ready_on_read_100000": port([RESET], [(0x00, EDGE[99999]), (0xEE, n(1))]),
    "busy_for_99999_reads": port([send(length=3, seed=7)],
                                 [(0xEE, n(1)), (0x20, EDGE[99999]), (0x00, n(1))]),
    "busy_for_100000_reads": port([send(length=3, seed=7)],
                                  [(0xEE, n(1)), (0x20, EDGE[100000]), (0x00, n(1))]),
    # DataReady never clears: the payload stops at 4092 bytes.
    "endless_reply": port([READ, READ_NULL], [], b"\x00\x00\x07\x00", 0x01, 0x5A),
    # Timeout 0 and 1 time out at once; timeout 4 allows two pauses: a reply
    # after one pause is read, one after two is too late.
    "short_timeouts": port([timeout(0), READ, timeout(1), READ, timeout(4), READ, READ],
                           [(0x00, n(2)), (0x04, n(1)), (0x01, n(5)), (0x00, n(1)),
                            (0x04, n(2)), (0x00, n(1))], b"\x00\x00\x09\x00"),
    # The largest timeout waits: ReplyWait for 65536 reads, then a short reply.
    "largest_timeout": port([timeout(0x0F), READ], [(0x04, big(8)), (0x01, n(2)), (0x00, n(1))],
                            b"\x01\x02"),
    # Refused lengths, a frame whose memory cannot be had, a null payload.
    "refused_sends": port([send(length=0xF8), send(length=0xFB), send(length=5, flags=2),
                           send(length=0, flags=1)],
                          [(0xEE, n(1)), (0x00, n(1))]),
    # A base whose reset register wraps past 0xFFFF.
    "wrapping_base": port([init(0x1FFFE), RESET, send(length=1), READ],
                          [(0xEE, n(1)), (0xEE, n(1)), (0x00, n(1)), (0x00, n(1)),
                           (0x01, n(5)), (0x00, n(1))], b"\x00\x00\xFF\xFF"),
    "payload_4092": port([send(0xFFFF, 0x8000, 0xF2, 0x31)], [(0xEE, n(1)), (0x00, n(1))]),
}

ARGS = {
    "plain": b"300", "prefixed": b"0x300", "negative": b" \t-300", "prefix_only": b"0x",
    "nine_digits": b"123456789", "leading_zeros": b"0x00000000FFFFFFFF",
    "signed_upper": b"+0X1aF", "suffix": b"300h", "empty": b"", "letters": b"zz",
}

SCRIPT = {
    "commands": b"# check\nreset\ntimeout 50\nsend 304 102 AA bb 0x0C\n",
    "crlf_comments": b"\xef\xbb\xbfRESET  # first\r\n\r\n\tsend 0xFFFF 0 FF#x\r\nsend 1",
    "bad_lines": b"send 10000 1\nsend 1 2 100\ntimeout 4294967296\nrest\nreset 1\nsend\n",
}

# Requests inputs (requests_fuzz.cpp): the configured base's 16-bit value
# (0x100 + value % 0x2FD), the size of the request list, the list, then the
# board's bytes.
def requests(base, reqs, board=b""):
    value = (base - 0x100) % 0x2FD
    return bytes([value & 0xFF, value >> 8, len(reqs)]) + bytes(reqs) + board

def init_other(base):  # INIT with 4 bytes of base, then RESET, SEND, READ
    return [0x00, 0x02] + list(base.to_bytes(4, "little")) + [0x02, 0x03, 0x24]

REQUESTS = {
    **{"init_other_base_%x" % b: requests(0x300, init_other(b), b"\xee" * 4)
       for b in (0x8F, 0x0A, 0x1E, 0x6E, 0xCF9, 0x1F4, 0xFFFE)},
    "init_configured_then_all": requests(
        0x300, [0x00, 0x00, 0x01, 7, 0, 0, 0, 0x23, 0x24, 0x07, 0x04, 0x02],
        bytes([0xEE, 0, 0, 4, 4, 1, 0, 1, 0, 1, 0, 1, 0, 0])),
    "init_configured_plus_high_bits": requests(0x280, [0x00, 0x01, 0x01, 0x00, 0x02]),
    "odd_codes_and_lengths": requests(0x100, [0x05, 0x10, 0x24, 0x18, 0xD4, 0x06, 0x01, 0x03,
                                              0x1C, 0x10, 0x00, 0x00, 0x10, 0x3B, 0x00, 0x30,
                                              0x14, 0x03, 0x00]),
}

# AllowedGroup inputs (sid_fuzz.cpp): a type byte (even: REG_SZ), then the
# value's data.
def group(text, type_byte=0):
    return bytes([type_byte]) + text.encode("utf-16-le")

SID = {
    "domain_users": group("S-1-5-21-1004336348-1177238915-682003330-513\0"),
    "administrators": group("S-1-5-32-544\0"),
    "largest": group("S-1-281474976710655-4294967295-1-2-3-4-5-6-7-8-9-10-11-12-13-14\0"),
    "trailing_dash": group("S-1-5-18-\0"),
    "expand_sz": group("S-1-5-18\0", 3),
}

for target, seeds in (("port", PORT), ("args", ARGS), ("script", SCRIPT),
                      ("requests", REQUESTS), ("sid", SID)):
    directory = os.path.join(HERE, "corpus", target)
    os.makedirs(directory, exist_ok=True)
    for name, content in seeds.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(content)
