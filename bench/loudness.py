#!/usr/bin/python3
"""Prints the integrated loudness (EBU R128, LUFS), the true peak (dBTP) and the sample peak
(dBFS) of audio files, read with libsndfile and measured with libebur128 (through ctypes, so
that neither our code nor a tool of ours measures itself).
  loudness.py FILE...
"""
import ctypes
import math
import sys

import numpy as np

sndfile = ctypes.CDLL("libsndfile.so.1")
ebur128 = ctypes.CDLL("libebur128.so.1")

EBUR128_MODE_I = (1 << 2) | (1 << 0)
EBUR128_MODE_TRUE_PEAK = (1 << 5) | (1 << 4) | (1 << 0)
SFM_READ = 0x10
BLOCK = 65536


class SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int),
                ("channels", ctypes.c_int), ("format", ctypes.c_int),
                ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


sndfile.sf_open.restype = ctypes.c_void_p
sndfile.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SfInfo)]
sndfile.sf_readf_float.restype = ctypes.c_int64
sndfile.sf_readf_float.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
sndfile.sf_close.argtypes = [ctypes.c_void_p]
ebur128.ebur128_init.restype = ctypes.c_void_p
ebur128.ebur128_init.argtypes = [ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
ebur128.ebur128_add_frames_float.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t]
ebur128.ebur128_loudness_global.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_double)]
ebur128.ebur128_true_peak.argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                      ctypes.POINTER(ctypes.c_double)]
ebur128.ebur128_destroy.argtypes = [ctypes.POINTER(ctypes.c_void_p)]


def db(x):
    return 20 * math.log10(x) if x > 0 else -math.inf


def measure(path):
    info = SfInfo()
    f = sndfile.sf_open(path.encode(), SFM_READ, ctypes.byref(info))
    if not f:
        sys.exit(f"{path}: cannot be opened")
    st = ctypes.c_void_p(ebur128.ebur128_init(info.channels, info.samplerate,
                                              EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK))
    buf = np.zeros(BLOCK * info.channels, dtype=np.float32)
    peak = 0.0
    while True:
        n = sndfile.sf_readf_float(f, buf.ctypes.data, BLOCK)
        if n <= 0:
            break
        ebur128.ebur128_add_frames_float(st, buf.ctypes.data, n)
        peak = max(peak, float(np.abs(buf[: n * info.channels]).max()))
    sndfile.sf_close(f)
    lufs, tp, out = ctypes.c_double(), 0.0, ctypes.c_double()
    ebur128.ebur128_loudness_global(st, ctypes.byref(lufs))
    for c in range(info.channels):
        ebur128.ebur128_true_peak(st, c, ctypes.byref(out))
        tp = max(tp, out.value)
    ebur128.ebur128_destroy(ctypes.byref(st))
    return lufs.value, db(tp), db(peak)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for path in sys.argv[1:]:
        lufs, tp, peak = measure(path)
        print(f"{lufs:7.2f} LUFS  {tp:6.2f} dBTP  {peak:6.2f} dBFS  {path}")
