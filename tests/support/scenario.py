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


class Picture:
    """A screenshot as grim writes it in PPM: width, height and RGB pixels."""

    def __init__(self, ppm):
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        assert fields[0] == b"P6"
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, colour, tolerance=12):
        n = 0
        for i in range(0, len(self.data), 3):
            if all(abs(self.data[i + k] - colour[k]) <= tolerance for k in range(3)):
                n += 1
        return n


def solid_png(width, height, rgb):
    """An RGB PNG of one colour."""
    row = b"\0" + bytes(rgb) * width
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data)))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def png_size(data):
    return struct.unpack(">II", data[16:24])
