#include "source/source_report.h"

#include <cstdio>

#include "platform/disk_image.h"
#include "source/file64.h"

namespace varrow {

namespace {

std::string FormatOf(const CFile64Ex& source) {
    const SourceFacts& facts = source.Facts();
    switch (facts.kind) {
        case SourceKind::Volume: return "volume";
        case SourceKind::WholeDisk: return "whole disk";
        case SourceKind::BlockDevice: return "block device";
        case SourceKind::Image: {
            if (facts.imageFiles <= 1) return facts.imageFormat;
            return facts.imageFormat + ", " + std::to_string(facts.imageFiles) + " files";
        }
        default:
            // Said so that an image file read as plain bytes is no surprise.
            return platform::ImageLibrariesBuiltIn()
                       ? "raw file"
                       : "raw file (this build reads no image formats)";
    }
}

}  // namespace

std::string DescribeSize(uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    std::string text = std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    if (bytes < 1024) return text;
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char scaled[32];
    std::snprintf(scaled, sizeof scaled, " (%.1f %s)", value, kUnits[unit]);
    return text + scaled;
}

std::vector<std::string> DescribeSource(const CFile64Ex& source) {
    const uint64_t length = source.GetLength();
    const bool device =
        source.Facts().kind != SourceKind::File && source.Facts().kind != SourceKind::Image;
    // A device whose size query failed reports 0.
    const std::string size = device && length == 0 ? "unknown" : DescribeSize(length);
    return {
        "Source format: " + FormatOf(source),
        "Media size: " + size + ", sectors of " + std::to_string(source.SectorSize()) + " bytes"};
}

}  // namespace varrow
