// Disk images made at test time with Debian's tools from a raw image the
// test built: EWF with ewfacquire, split raw with split, VMDK, VHD and VHDX
// with qemu-img. Each returns the path of the image's first file, or an
// empty text when the tool failed (its output goes to the test's log).
#pragma once

#include <cstdint>
#include <string>

namespace varrow::testing {

// An E01 set under folder/name.E01, E02...: segments of segmentBytes
// (0: one segment), chunks compressed with "fast" deflate when asked.
std::string MakeEwfImage(const std::string& raw, const std::string& folder, const std::string& name,
                         uint64_t segmentBytes, bool compressed);

// folder/name.001, .002... of pieceBytes each.
std::string MakeSplitRaw(const std::string& raw, const std::string& folder, const std::string& name,
                         uint64_t pieceBytes);

// qemu-img convert to format ("vmdk", "vpc" for VHD, "vhdx") at target.
std::string ConvertImage(const std::string& raw, const std::string& format,
                         const std::string& target);

// Overwrites count bytes of the file at offset with 0xA5.
void SpoilFileBytes(const std::string& path, uint64_t offset, uint32_t count);

}  // namespace varrow::testing
