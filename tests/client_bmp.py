"""The 16-bit bit-field BMP files the client's screenshots write, read twice: by decoding the
5-6-5 fields here and through PIL, which must agree."""
import struct

import numpy as np
from PIL import Image


def read(path, width, height):
    """(ours, pil, problem): both pictures as int64 RGB rows top first, or (None, None, why)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        return None, None, f"{path}: no BM signature"
    size, = struct.unpack_from("<I", data, 2)
    offset, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    row = (w * 2 + 3) & ~3
    if size != len(data) or (w, h, bits, compression) != (width, height, 16, 3) or offset + row * h != len(data):
        return None, None, f"{path}: header {size} {w}x{h} {bits} bits compression {compression}"
    words = np.frombuffer(data[offset:], dtype="<u2").reshape(h, row // 2)[:, :w]
    ours = np.stack([(words >> 11) << 3, ((words >> 5) & 63) << 2, (words & 31) << 3], axis=-1).astype(np.int64)
    ours = ours[::-1]  # bottom row first in the file
    pil = np.asarray(Image.open(path).convert("RGB"), dtype=np.int64)
    if pil.shape != ours.shape or np.abs(pil - ours).max() > 7:
        return None, None, f"{path}: PIL reads it differently"
    return ours, pil, None
