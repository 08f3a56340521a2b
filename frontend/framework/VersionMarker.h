// The version marker a program carries so that FileVersionText can read
// its version (see TolvanInfo.h for the record's layout). A program gets
// it from the build: ostrel_embed_version(<target>) in VersionMarker.cmake
// adds a source file that expands OSTREL_VERSION_MARKER once with the
// project's version. Plain C++, no Qt, so any program can carry it.
#pragma once

// One 32-bit version part (two 16-bit numbers, high one first) as four
// little-endian bytes.
#define OSTREL_VERSION_PART_BYTES(high, low)                                        \
    (unsigned char)((low) & 0xFF), (unsigned char)(((low) >> 8) & 0xFF),            \
        (unsigned char)((high) & 0xFF), (unsigned char)(((high) >> 8) & 0xFF)

// Defines the marker record: magic, file version a.b.c.d, product version
// e.f.g.h. "used" keeps it in the program although nothing refers to it.
#define OSTREL_VERSION_MARKER(a, b, c, d, e, f, g, h)                                      \
    extern "C" __attribute__((used)) const unsigned char ostrel_version_marker[32] = {   \
        0xC3, 'O', 'S', 'T', 'R', 'E', 'L', '-', 'V', 'E', 'R', 'S', 'I', 'O', 'N', 0x3C, \
        OSTREL_VERSION_PART_BYTES(a, b), OSTREL_VERSION_PART_BYTES(c, d),                 \
        OSTREL_VERSION_PART_BYTES(e, f), OSTREL_VERSION_PART_BYTES(g, h)}
