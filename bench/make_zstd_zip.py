#!/usr/bin/env python3
"""Writes a ZIP of a folder's files with every file compressed as Zstandard (method 93), which no common
archiver writes: make_zstd_zip.py FOLDER ARCHIVE [LEVEL]. Uses libzstd through ctypes."""
import ctypes
import os
import struct
import sys
import zlib

folder, archive = sys.argv[1], sys.argv[2]
level = int(sys.argv[3]) if len(sys.argv) > 3 else 3
zstd = ctypes.CDLL("libzstd.so.1")
zstd.ZSTD_compressBound.restype = ctypes.c_size_t
zstd.ZSTD_compressBound.argtypes = [ctypes.c_size_t]
zstd.ZSTD_compress.restype = ctypes.c_size_t
zstd.ZSTD_compress.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int]
zstd.ZSTD_isError.argtypes = [ctypes.c_size_t]


def compress(data):
    room = zstd.ZSTD_compressBound(len(data))
    out = ctypes.create_string_buffer(room)
    size = zstd.ZSTD_compress(out, room, data, len(data), level)
    if zstd.ZSTD_isError(size):
        raise RuntimeError("ZSTD_compress failed")
    return out.raw[:size]


central = []
with open(archive, "wb") as zip_file:
    for top, _, files in os.walk(folder):
        for file in sorted(files):
            path = os.path.join(top, file)
            if not os.path.isfile(path) or os.path.islink(path):
                continue
            name = os.path.relpath(path, folder).encode()
            with open(path, "rb") as source:
                data = source.read()
            packed = compress(data)
            crc = zlib.crc32(data)
            if len(packed) >= 1 << 32 or len(data) >= 1 << 32:
                raise RuntimeError(path + " is too large for this maker")
            offset = zip_file.tell()
            zip_file.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 63, 0x0800, 93, 0, 0x21,
                                       crc, len(packed), len(data), len(name), 0) + name + packed)
            central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x033F, 63, 0x0800, 93, 0, 0x21,
                                       crc, len(packed), len(data), len(name), 0, 0, 0, 0, 0o100644 << 16,
                                       offset) + name)
    if len(central) >= 0xFFFF or zip_file.tell() >= 1 << 32:
        raise RuntimeError("too many files or bytes for this maker (no ZIP64)")
    directory_at = zip_file.tell()
    for record in central:
        zip_file.write(record)
    directory_size = zip_file.tell() - directory_at
    zip_file.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(central), len(central), directory_size,
                               directory_at, 0))
