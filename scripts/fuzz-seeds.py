#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Builds fuzz seed corpora from a capture: parse/ gets one file per CMDU frame (a selector
byte, the index of the message type in the target's table, then the TLV stream); client/
gets the Client Capability Report TLVs. Usage: fuzz-seeds.py CAPTURE fuzz/corpus"""
import hashlib
import os
import struct
import sys

KNOWN = [0x0001, 0x0003, 0x0006, 0x0009, 0x0040, 0x0044, 0x004D, 0x8002, 0x8005, 0x8008, 0x800A,
         0x800C, 0x800E, 0x8010, 0x8015, 0x801A, 0x801C, 0x8022, 0x8025, 0x802C, 0x8033, 0xDEB6,
         0xDEB7, 0xDEB8, 0xDEBA]


def frames(path):
    data = open(path, 'rb').read()
    pos = 24
    while pos + 16 <= len(data):
        incl = struct.unpack_from('<I', data, pos + 8)[0]
        yield data[pos + 16:pos + 16 + incl]
        pos += 16 + incl


def main(capture, out_dir):
    n = 0
    for f in frames(capture):
        off, ethertype = 12, struct.unpack_from('>H', f, 12)[0]
        if ethertype == 0x8100:
            off, ethertype = 16, struct.unpack_from('>H', f, 16)[0]
        if ethertype != 0x893A:
            continue
        cmdu = f[off + 2:]
        mtype = struct.unpack_from('>H', cmdu, 2)[0]
        if mtype not in KNOWN:
            continue
        seed = bytes([KNOWN.index(mtype)]) + cmdu[8:]
        save(os.path.join(out_dir, 'parse'), seed)
        n += 1
        # Client Capability Report TLVs seed the element-parser target (odd: TLV entry point).
        tlvs, p = cmdu[8:], 0
        while p + 3 <= len(tlvs) and tlvs[p] != 0:
            t, ln = tlvs[p], struct.unpack_from('>H', tlvs, p + 1)[0]
            if mtype == 0x800A and t == 0x91:
                save(os.path.join(out_dir, 'client'), b'\x01' + tlvs[p + 3:p + 3 + ln])
            p += 3 + ln
    print(f'{n} parse seeds in {out_dir}')


def save(d, seed):
    os.makedirs(d, exist_ok=True)
    open(os.path.join(d, hashlib.sha1(seed).hexdigest()[:16]), 'wb').write(seed)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
