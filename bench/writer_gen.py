#!/usr/bin/python3
"""Writes a multi-frame explicit VR little endian image for the writer bench.

usage: writer_gen.py PATH FRAMES   (512 x 512 x 16-bit frames, 512 KiB each)
"""
import struct
import sys


def element(group, elem, vr, value):
    if len(value) % 2:
        value += b"\0" if vr == b"UI" else b" "
    if vr in (b"OB", b"OD", b"OF", b"OL", b"OV", b"OW", b"SQ", b"SV", b"UC", b"UN", b"UR", b"UT", b"UV"):
        return struct.pack("<HH2sHI", group, elem, vr, 0, len(value)) + value
    return struct.pack("<HH2sH", group, elem, vr, len(value)) + value


def main():
    path, frames = sys.argv[1], int(sys.argv[2])
    rows = cols = 512
    sop_class = b"1.2.840.10008.5.1.4.1.1.7.3"
    instance = b"1.2.826.0.1.3680043.8.498.4242"
    meta = (
        element(2, 1, b"OB", b"\0\1")
        + element(2, 2, b"UI", sop_class)
        + element(2, 3, b"UI", instance)
        + element(2, 0x10, b"UI", b"1.2.840.10008.1.2.1")
    )
    meta = element(2, 0, b"UL", struct.pack("<I", len(meta))) + meta
    header = (
        element(8, 0x16, b"UI", sop_class)
        + element(8, 0x18, b"UI", instance)
        + element(8, 0x60, b"CS", b"OT")
        + element(0x10, 0x10, b"PN", b"Bench^Frames")
        + element(0x20, 0x0D, b"UI", b"1.2.826.0.1.3680043.8.498.4243")
        + element(0x20, 0x0E, b"UI", b"1.2.826.0.1.3680043.8.498.4244")
        + element(0x20, 0x13, b"IS", b"1")
        + element(0x28, 0x02, b"US", struct.pack("<H", 1))
        + element(0x28, 0x04, b"CS", b"MONOCHROME2")
        + element(0x28, 0x08, b"IS", str(frames).encode())
        + element(0x28, 0x10, b"US", struct.pack("<H", rows))
        + element(0x28, 0x11, b"US", struct.pack("<H", cols))
        + element(0x28, 0x100, b"US", struct.pack("<H", 16))
        + element(0x28, 0x101, b"US", struct.pack("<H", 12))
        + element(0x28, 0x102, b"US", struct.pack("<H", 11))
        + element(0x28, 0x103, b"US", struct.pack("<H", 0))
    )
    frame_bytes = rows * cols * 2
    with open(path, "wb") as f:
        f.write(b"\0" * 128 + b"DICM" + meta + header)
        f.write(struct.pack("<HH2sHI", 0x7FE0, 0x10, b"OW", 0, frame_bytes * frames))
        ramp = b"".join(struct.pack("<H", (x * 7 + y) & 0x0FFF) for y in range(8) for x in range(cols))
        for n in range(frames):
            # Frames differ so that nothing along the way can share blocks.
            f.write((struct.pack("<H", n) + ramp[2:]) * (frame_bytes // len(ramp)))


if __name__ == "__main__":
    main()
