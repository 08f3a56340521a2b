// Images through libtsk's image layer: it recognises the format of a file
// (raw, split raw, EWF, AFF, VMDK, VHD/VHDX) and reads all but EWF, which
// goes to libewf (see ewf_image.cpp).
#include <tsk/libtsk.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/disk_image.h"
#include "platform/images/ewf_image.h"

namespace varrow::platform {

namespace {

std::string TskFormatName(TSK_IMG_TYPE_ENUM type) {
    if (TSK_IMG_TYPE_ISRAW(type)) return "split raw";
    if (TSK_IMG_TYPE_ISAFF(type)) return "AFF";
    if (type == TSK_IMG_TYPE_VMDK_VMDK) return "VMDK";
    if (type == TSK_IMG_TYPE_VHD_VHD) return "VHD/VHDX";
    return tsk_img_type_todesc(type);
}

class TskImage : public DiskImage {
public:
    explicit TskImage(TSK_IMG_INFO* image) : image_(image) {}
    ~TskImage() override { tsk_img_close(image_); }

    std::string FormatName() const override { return TskFormatName(image_->itype); }
    uint32_t FileCount() const override { return static_cast<uint32_t>(image_->num_img); }
    uint64_t MediaSize() const override { return static_cast<uint64_t>(image_->size); }
    uint32_t SectorSize() const override { return image_->sector_size; }

    bool Read(uint64_t position, void* buffer, uint32_t count, std::vector<MediaRange>*) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return tsk_img_read(image_, static_cast<TSK_OFF_T>(position), static_cast<char*>(buffer),
                            count) == static_cast<ssize_t>(count);
    }

private:
    TSK_IMG_INFO* image_;
    std::mutex mutex_;
};

// Closes what tsk_img_open made unless it is handed on.
struct TskImageGuard {
    TSK_IMG_INFO* image;
    ~TskImageGuard() {
        if (image) tsk_img_close(image);
    }
    TSK_IMG_INFO* Release() {
        TSK_IMG_INFO* released = image;
        image = nullptr;
        return released;
    }
};

}  // namespace

std::unique_ptr<DiskImage> OpenLibraryImage(const std::string& path) {
    TskImageGuard opened{tsk_img_open_utf8_sing(path.c_str(), TSK_IMG_TYPE_DETECT, 0)};
    if (!opened.image) {
        tsk_error_reset();
        return nullptr;
    }
    const TSK_IMG_TYPE_ENUM type = opened.image->itype;
    // A single raw file is the engine's own business: it reads it directly.
    if (TSK_IMG_TYPE_ISRAW(type) && opened.image->num_img <= 1) return nullptr;
    if (TSK_IMG_TYPE_ISEWF(type)) {
        // libtsk found the segment files; libewf reads them.
        std::vector<std::string> segments;
        for (int i = 0; i < opened.image->num_img; ++i)
            segments.emplace_back(opened.image->images[i]);
        return OpenEwfImage(segments);
    }
    return std::make_unique<TskImage>(opened.Release());
}

bool ImageLibrariesBuiltIn() { return true; }

}  // namespace varrow::platform
