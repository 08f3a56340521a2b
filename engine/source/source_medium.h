// What a CFile64Ex reads from: a file, volume or disk through its system
// handle, or the media of a disk image through its library. The reader
// decides once, when it opens a source, which one it has; everything it
// reads afterwards goes through the medium.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/disk_image.h"
#include "platform/os.h"

namespace varrow {

// What a source is, as found when it was opened.
enum class SourceKind {
    None,         // nothing open
    File,         // an ordinary file, read as plain bytes
    Volume,       // a volume named "\\.\X:"
    WholeDisk,    // a whole physical disk
    BlockDevice,  // any other block device (a partition)
    Image,        // the media of a disk image, read through its library
};

class SourceMedium {
public:
    virtual ~SourceMedium() = default;

    // The sector-by-sector path keeps a read point, as a system handle's
    // file pointer. MoveTo puts it at position; false when the medium
    // refuses or lands elsewhere.
    virtual bool MoveTo(uint64_t position) = 0;
    // Reads up to count bytes at the read point and moves it past them.
    // False when the read failed; the read point stays then.
    virtual bool ReadAtPoint(void* buffer, uint32_t count, uint32_t* got) = 0;
    // Moves the read point on by count from where it stands.
    virtual bool StepOver(uint32_t count) = 0;

    // One transfer of count bytes at position straight into buffer,
    // leaving the read point alone. Returns how many bytes from position
    // arrived as the source holds them: short at the end of the source or
    // where it could not be read. May run on the read-ahead thread while
    // the caller's thread uses the read point.
    virtual uint32_t ReadRun(uint64_t position, void* buffer, uint32_t count) = 0;

    // Hints for a long front-to-back read; they cannot fail in a way that
    // matters.
    virtual void AdviseSequential() {}
    virtual void ForgetCached(uint64_t /*position*/, uint64_t /*length*/) {}
};

// The medium of an open system handle, which stays the caller's.
std::unique_ptr<SourceMedium> MakeHandleMedium(platform::Handle handle);

// The medium of an image, which it owns from now on.
std::unique_ptr<SourceMedium> MakeImageMedium(std::unique_ptr<platform::DiskImage> image);

}  // namespace varrow
