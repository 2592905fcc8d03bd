"""What the Python scenario tests share."""

import struct
import time
import zlib


def poll(holds, seconds=30, step=0.2):
    """The first true value `holds()` gives within `seconds`; an exception counts as not yet."""
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = holds()
            if found:
                return found
        except Exception:
            pass
        time.sleep(step)
    return None


def solid_png(width, height, rgb):
    """An RGB PNG of one colour."""
    row = b"\0" + bytes(rgb) * width
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))
