// libewf, not libtsk's image layer, reads EWF images: both deliver a chunk
// whose checksum fails as zeros and report success, and only libewf's own
// handle tells which chunks those were.
#include "platform/images/ewf_image.h"

#include <libewf.h>

#include <map>
#include <mutex>

namespace varrow::platform {

namespace {

class EwfImage : public DiskImage {
public:
    explicit EwfImage(libewf_handle_t* handle, uint32_t fileCount)
        : handle_(handle), fileCount_(fileCount) {
        size64_t size = 0;
        if (libewf_handle_get_media_size(handle_, &size, nullptr) == 1) mediaSize_ = size;
        uint32_t bytesPerSector = 0;
        if (libewf_handle_get_bytes_per_sector(handle_, &bytesPerSector, nullptr) == 1) {
            sectorSize_ = bytesPerSector;
        }
        uint8_t format = 0;
        if (libewf_handle_get_format(handle_, &format, nullptr) == 1) format_ = format;
    }

    ~EwfImage() override {
        libewf_handle_close(handle_, nullptr);
        libewf_handle_free(&handle_, nullptr);
    }

    std::string FormatName() const override {
        return format_ == LIBEWF_FORMAT_SMART ? "EWF (S01)" : "EWF (E01)";
    }
    uint32_t FileCount() const override { return fileCount_; }
    uint64_t MediaSize() const override { return mediaSize_; }
    uint32_t SectorSize() const override { return sectorSize_; }

    bool Read(uint64_t position, void* buffer, uint32_t count,
              std::vector<MediaRange>* damaged) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const ssize_t got = libewf_handle_read_random(handle_, buffer, count,
                                                      static_cast<off64_t>(position), nullptr);
        if (got != static_cast<ssize_t>(count)) return false;
        LearnChecksumErrors();
        ReportDamage(position, count, damaged);
        return true;
    }

private:
    // libewf keeps every chunk whose checksum failed, in sectors, for the
    // life of the handle; the ones it added since the last read are new.
    void LearnChecksumErrors() {
        uint32_t known = 0;
        if (libewf_handle_get_number_of_checksum_errors(handle_, &known, nullptr) != 1) return;
        for (; learned_ < known; ++learned_) {
            uint64_t firstSector = 0;
            uint64_t sectors = 0;
            if (libewf_handle_get_checksum_error(handle_, learned_, &firstSector, &sectors,
                                                 nullptr) != 1) {
                continue;
            }
            const uint64_t unit = sectorSize_ != 0 ? sectorSize_ : 512;
            const uint64_t start = firstSector * unit;
            uint64_t& end = damage_[start];
            end = std::max(end, start + sectors * unit);
        }
    }

    void ReportDamage(uint64_t position, uint32_t count, std::vector<MediaRange>* damaged) const {
        // Ranges are keyed by their start; the one before position may
        // reach into the read.
        auto it = damage_.upper_bound(position);
        if (it != damage_.begin()) --it;
        for (; it != damage_.end() && it->first < position + count; ++it) {
            const uint64_t start = std::max(it->first, position);
            const uint64_t end = std::min(it->second, position + count);
            if (start < end && damaged) damaged->push_back({start, end - start});
        }
    }

    libewf_handle_t* handle_;
    uint32_t fileCount_;
    uint64_t mediaSize_ = 0;
    uint32_t sectorSize_ = 0;
    uint8_t format_ = 0;
    std::mutex mutex_;
    uint32_t learned_ = 0;
    std::map<uint64_t, uint64_t> damage_;  // start -> end of chunks that failed
};

}  // namespace

std::unique_ptr<DiskImage> OpenEwfImage(const std::vector<std::string>& segmentFiles) {
    if (segmentFiles.empty()) return nullptr;
    std::vector<char*> names;
    for (const std::string& file : segmentFiles) names.push_back(const_cast<char*>(file.c_str()));
    libewf_handle_t* handle = nullptr;
    if (libewf_handle_initialize(&handle, nullptr) != 1) return nullptr;
    if (libewf_handle_open(handle, names.data(), static_cast<int>(names.size()), LIBEWF_OPEN_READ,
                           nullptr) != 1) {
        libewf_handle_free(&handle, nullptr);
        return nullptr;
    }
    return std::make_unique<EwfImage>(handle, static_cast<uint32_t>(segmentFiles.size()));
}

}  // namespace varrow::platform
