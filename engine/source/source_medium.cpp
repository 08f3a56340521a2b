#include "source/source_medium.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace varrow {

namespace {

using platform::CurrentOs;
using platform::SeekFrom;

class HandleMedium : public SourceMedium {
public:
    explicit HandleMedium(platform::Handle handle) : handle_(handle) {}

    bool MoveTo(uint64_t position) override {
        if (position > static_cast<uint64_t>(INT64_MAX)) return false;
        uint64_t landed = 0;
        long error = 0;
        return CurrentOs().Seek(handle_, static_cast<int64_t>(position), SeekFrom::Begin, &landed,
                                &error) &&
               landed == position;
    }

    bool ReadAtPoint(void* buffer, uint32_t count, uint32_t* got) override {
        long error = 0;
        return CurrentOs().Read(handle_, buffer, count, got, &error);
    }

    bool StepOver(uint32_t count) override {
        uint64_t ignored = 0;
        long error = 0;
        return CurrentOs().Seek(handle_, count, SeekFrom::Current, &ignored, &error);
    }

    uint32_t ReadRun(uint64_t position, void* buffer, uint32_t count) override {
        uint32_t got = 0;
        long error = 0;
        return CurrentOs().ReadAt(handle_, position, buffer, count, &got, &error) ? got : 0;
    }

    void AdviseSequential() override { CurrentOs().AdviseSequential(handle_); }

    void ForgetCached(uint64_t position, uint64_t length) override {
        CurrentOs().DropCachedRange(handle_, position, length);
    }

private:
    platform::Handle handle_;
};

// An image has no file pointer of its own: the medium keeps the read point.
// Reads end at the end of the media as reads of a file do; a part the
// library could not read fails as an unreadable sector does, also when the
// library delivered it as zeros.
class ImageMedium : public SourceMedium {
public:
    explicit ImageMedium(std::unique_ptr<platform::DiskImage> image)
        : image_(std::move(image)), size_(image_->MediaSize()) {}

    bool MoveTo(uint64_t position) override {
        if (position > static_cast<uint64_t>(INT64_MAX)) return false;
        point_ = position;
        return true;
    }

    bool ReadAtPoint(void* buffer, uint32_t count, uint32_t* got) override {
        *got = 0;
        const uint32_t inside = Inside(point_, count);
        if (inside == 0) return true;
        std::vector<platform::MediaRange> damaged;
        if (!image_->Read(point_, buffer, inside, &damaged) || !damaged.empty()) return false;
        *got = inside;
        point_ += inside;
        return true;
    }

    bool StepOver(uint32_t count) override {
        point_ += count;
        return true;
    }

    uint32_t ReadRun(uint64_t position, void* buffer, uint32_t count) override {
        const uint32_t inside = Inside(position, count);
        if (inside == 0) return 0;
        std::vector<platform::MediaRange> damaged;
        if (!image_->Read(position, buffer, inside, &damaged)) return 0;
        uint64_t cleanEnd = position + inside;
        for (const platform::MediaRange& range : damaged) {
            cleanEnd = std::min(cleanEnd, std::max(range.position, position));
        }
        return static_cast<uint32_t>(cleanEnd - position);
    }

private:
    // How many of count bytes at position lie inside the media.
    uint32_t Inside(uint64_t position, uint32_t count) const {
        if (position >= size_) return 0;
        return static_cast<uint32_t>(std::min<uint64_t>(count, size_ - position));
    }

    std::unique_ptr<platform::DiskImage> image_;
    uint64_t size_;
    uint64_t point_ = 0;
};

}  // namespace

std::unique_ptr<SourceMedium> MakeHandleMedium(platform::Handle handle) {
    return std::make_unique<HandleMedium>(handle);
}

std::unique_ptr<SourceMedium> MakeImageMedium(std::unique_ptr<platform::DiskImage> image) {
    return std::make_unique<ImageMedium>(std::move(image));
}

}  // namespace varrow
