// Disk images for the benchmarks, written straight to a file so that
// gigabytes of them never sit in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel::bench {

// Adversarial fillers: images in which a scan finds nothing, or a candidate
// or an accepted header at every few positions.
enum class Filler {
    Random,          // random bytes: the rate the others are held against
    Zeros,           // never-written space
    Twos,            // every byte 0x02, the second byte of the blockSize 512
    SizeEveryFour,   // 00 02 00 00 over and over: blockSize 512 at every
                     // fourth position, rejected as nextOffset equals selfOffset
    HeaderEvery16,   // an accepted header at every 16th position
};

// Writes size bytes of noise (random bytes, text, zeros) with the clusters
// of one store of messages of about 4 KB laid out in order between noise
// gaps; messageShare of the bytes are the store. Returns the number of
// messages.
size_t WriteMixedImage(const std::string& path, uint64_t size, double messageShare, uint64_t seed);

void WriteFilledImage(const std::string& path, uint64_t size, Filler filler);

// True when path is a file of exactly size bytes, as a kept image is.
bool HasSize(const std::string& path, uint64_t size);

}  // namespace ostrel::bench
