#!/usr/bin/env python3
"""Prints the ranges of tools/vuvpack/package/windows_case.cpp: the simple
uppercase mapping of every BMP code point that has one, as glibc's C.UTF-8
locale gives it (towupper: one code point to one, Unicode's UnicodeData).

Each range is {first, last, delta, stride}: every stride-th code point from
first to last maps to itself plus delta.
"""
import ctypes

LC_CTYPE = 0
libc = ctypes.CDLL('libc.so.6')
libc.setlocale.restype = ctypes.c_char_p
if not libc.setlocale(LC_CTYPE, b'C.UTF-8'):
    raise SystemExit('no C.UTF-8 locale')
libc.towupper.restype = ctypes.c_uint32

ranges = []
for c in range(0x10000):
    if 0xD800 <= c < 0xE000:
        continue
    delta = libc.towupper(c) - c
    if delta == 0:
        continue
    if ranges:
        first, last, last_delta, stride = ranges[-1]
        if last_delta == delta and (c - last == stride or (first == last and c - last in (1, 2))):
            ranges[-1] = [first, c, delta, c - last if first == last else stride]
            continue
    ranges.append([c, c, delta, 1])
for first, last, delta, stride in ranges:
    print(f'    {{0x{first:04X}, 0x{last:04X}, {delta}, {stride}}},')
