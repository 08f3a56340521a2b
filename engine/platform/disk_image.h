// Disk images that an image library reads: the flat bytes of the media
// that an acquisition tool or a virtual machine stored in a container
// format (EWF, AFF, VMDK, VHD/VHDX) or split into several raw files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varrow::platform {

// [position, position + length) of an image's media.
struct MediaRange {
    uint64_t position = 0;
    uint64_t length = 0;
    bool operator==(const MediaRange&) const = default;
};

class DiskImage {
public:
    virtual ~DiskImage() = default;

    // What the log calls the format: "EWF (E01)", "split raw", "VMDK"...
    virtual std::string FormatName() const = 0;
    // How many files the image is stored in.
    virtual uint32_t FileCount() const = 0;
    virtual uint64_t MediaSize() const = 0;
    // The sector size the image records; 0 when it records none.
    virtual uint32_t SectorSize() const = 0;

    // Reads the count bytes at position, all inside the media. False when
    // the library could not read them: nothing in buffer counts then. A
    // part that the library could not read but delivered as zeros (an EWF
    // chunk whose checksum fails) is added to *damaged. Safe to call from
    // two threads; the calls are served one at a time.
    virtual bool Read(uint64_t position, void* buffer, uint32_t count,
                      std::vector<MediaRange>* damaged) = 0;
};

// Opens path with the image libraries this build has. Null when path is
// no image they know, when it is a single plain raw file (which the
// engine reads directly), when they cannot open it, or when the build has
// no image libraries.
std::unique_ptr<DiskImage> OpenLibraryImage(const std::string& path);

// Whether this build reads image formats at all.
bool ImageLibrariesBuiltIn();

}  // namespace varrow::platform
