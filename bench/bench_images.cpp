#include "bench_images.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "image_builder/block.h"
#include "image_builder/message_factory.h"
#include "image_builder/noise.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace ostrel::bench {

namespace {

using builder::NoiseKind;

constexpr size_t kCluster = 4096;
constexpr size_t kBuffer = 1 << 20;

class ImageFile {
public:
    explicit ImageFile(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
        if (!file_) throw std::runtime_error("cannot create " + path);
    }
    ~ImageFile() {
        if (file_) std::fclose(file_);
    }
    void Write(const uint8_t* bytes, size_t count) {
        if (std::fwrite(bytes, 1, count, file_) != count) throw std::runtime_error("cannot write " + path_);
        written_ += count;
    }
    uint64_t Written() const { return written_; }
    void Close() {
        if (std::fclose(file_) != 0) throw std::runtime_error("cannot write " + path_);
        file_ = nullptr;
    }

private:
    std::string path_;
    std::FILE* file_;
    uint64_t written_ = 0;
};

void WriteNoise(ImageFile& image, uint64_t count, NoiseKind kind, builder::Random& random) {
    std::vector<uint8_t> buffer(std::min<uint64_t>(count, kBuffer));
    while (count != 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, buffer.size()));
        builder::FillNoise(buffer.data(), n, kind, random);
        image.Write(buffer.data(), n);
        count -= n;
    }
}

NoiseKind PickNoise(builder::Random& random) {
    const uint64_t pick = random.Below(10);
    return pick < 5 ? NoiseKind::Random : pick < 8 ? NoiseKind::Text : NoiseKind::Zeros;
}

}  // namespace

size_t WriteMixedImage(const std::string& path, uint64_t size, double messageShare, uint64_t seed) {
    builder::Random random(seed);
    builder::MessageFactory factory(random.Next());
    builder::StoreBuilder store(random.Next());
    const auto storeSize = static_cast<uint64_t>(static_cast<double>(size) * messageShare);
    size_t messages = 0;
    while (store.Bytes().size() < storeSize) {
        builder::MessageKinds kinds = factory.NextKinds();
        kinds.body = builder::BodyKind::Plain;
        kinds.bodyLength = 3000 + random.Below(1500);
        store.AddMessage(factory.Make(kinds));
        ++messages;
    }

    // Runs of store clusters between runs of noise, so that the image ends
    // with noise at exactly size bytes.
    ImageFile image(path);
    const std::vector<uint8_t>& bytes = store.Bytes();
    if (bytes.size() > size) throw std::invalid_argument("the messages do not fit the image");
    const double noisePerStoreByte = static_cast<double>(size - bytes.size()) / static_cast<double>(bytes.size());
    size_t stored = 0;
    while (stored < bytes.size()) {
        const size_t piece = std::min<size_t>(bytes.size() - stored, kCluster * random.Between(16, 112));
        const auto gap = static_cast<uint64_t>(noisePerStoreByte * static_cast<double>(piece)) / kCluster * kCluster;
        WriteNoise(image, gap, PickNoise(random), random);
        image.Write(bytes.data() + stored, piece);
        stored += piece;
    }
    if (image.Written() < size) WriteNoise(image, size - image.Written(), NoiseKind::Random, random);
    image.Close();
    return messages;
}

void WriteFilledImage(const std::string& path, uint64_t size, Filler filler) {
    std::vector<uint8_t> buffer(kBuffer, 0);
    builder::Random random(99);
    switch (filler) {
        case Filler::Random:
        case Filler::Zeros: break;
        case Filler::Twos: std::fill(buffer.begin(), buffer.end(), 2); break;
        case Filler::SizeEveryFour:
            for (size_t i = 1; i < buffer.size(); i += 4) buffer[i] = 2;
            break;
        case Filler::HeaderEvery16: {
            const auto header = builder::HeaderBytes(builder::BlockFields{1000, 512, 100, 0});
            for (size_t i = 0; i < buffer.size(); i += header.size()) {
                std::copy(header.begin(), header.end(), buffer.begin() + static_cast<ptrdiff_t>(i));
            }
            break;
        }
    }
    ImageFile image(path);
    while (image.Written() < size) {
        if (filler == Filler::Random) random.Fill(buffer.data(), buffer.size());
        image.Write(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - image.Written())));
    }
    image.Close();
}

bool HasSize(const std::string& path, uint64_t size) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<uint64_t>(status.st_size) == size;
}

}  // namespace ostrel::bench
