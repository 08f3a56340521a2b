// The reader: random sequences of Seek and Read over a simulated device,
// held against a plain model of the bytes it must deliver.
//
// The input picks the sector size (512, 2048 or 4096), the window size, the
// device's length, a few failing sectors and where failing seeks begin, or
// instead a disk image whose failing sectors are parts the library cannot
// read (failing or delivered as zeros and reported damaged), whether the
// device tells its length, then a list of operations. The model: the
// device's bytes with failing sectors as zeros (a failing last sector cut
// short by the end of the device counts whole only when the reader cannot
// know where the device ends). Every byte a Read delivers must be
// the model's; a Read is complete unless it ends at the end of the model or
// the reader had to position the device where seeks fail; the position and
// the end-of-file flag follow what was delivered.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sim_os.h"
#include "source/file64.h"

namespace {

using ostrel::fuzz::Check;

constexpr char kDevicePath[] = "/ostrel-fuzz/device";
constexpr char kImagePath[] = "/ostrel-fuzz/device.E01";
constexpr uint32_t kReadFlags =
    varrow::CFile64::modeRead | varrow::CFile64::shareDenyNone | varrow::CFile64::typeBinary;

struct Model {
    std::string device;          // the device, for messages
    std::vector<uint8_t> bytes;  // what the reader delivers, to its end
    uint64_t seekLimit = UINT64_MAX;  // seeks to this position or beyond fail
    uint32_t sectorSize = 512;
};

std::vector<uint8_t> DeviceBytes(size_t size, uint64_t seed) {
    std::vector<uint8_t> bytes(size);
    uint64_t state = seed | 1;
    for (uint8_t& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

Model ModelOf(const varrow::testing::SimDevice& device, uint64_t seekLimit, bool lengthKnown) {
    Model model;
    model.sectorSize = device.sectorSize;
    model.seekLimit = seekLimit;
    model.bytes = device.bytes;
    model.device = std::to_string(device.bytes.size()) + " bytes, sector " + std::to_string(device.sectorSize) +
                   ", seeks fail from " + std::to_string(seekLimit) + ", failing sectors";
    for (const uint64_t bad : device.badSectors) model.device += " " + std::to_string(bad);
    // A failing sector reads as zeros; a last one cut short by the end of
    // the device, as far as the device goes when its length is known, else
    // whole.
    const uint64_t size = device.bytes.size();
    const uint64_t sector = device.sectorSize;
    if (!lengthKnown && size % sector != 0 && device.badSectors.count(size / sector)) {
        model.bytes.resize((size / sector + 1) * sector, 0);
    }
    for (const uint64_t bad : device.badSectors) {
        for (uint64_t at = bad * sector; at < (bad + 1) * sector && at < model.bytes.size(); ++at) {
            model.bytes[at] = 0;
        }
    }
    return model;
}

void CheckRead(const Model& model, uint32_t windowSize, uint64_t position, uint32_t count,
               const std::vector<uint8_t>& got, uint32_t delivered) {
    const uint64_t available = position < model.bytes.size() ? model.bytes.size() - position : 0;
    const uint64_t whole = std::min<uint64_t>(count, available);
    const std::string read = "read of " + std::to_string(count) + " at " + std::to_string(position) + " (device " +
                             model.device + "; window " + std::to_string(windowSize) + ") delivered " +
                             std::to_string(delivered) + ": ";
    Check(delivered <= whole, read + "more than the source holds");
    for (uint32_t i = 0; i < delivered; ++i) {
        if (got[i] != model.bytes[position + i]) {
            Check(false, read + "byte " + std::to_string(position + i) + " differs from the device's");
        }
    }
    // A read moves the device within what it reads directly or into a
    // window, and one sector past a failing sector; seeks fail only from
    // seekLimit on.
    const uint64_t reach = position + std::max(count, windowSize);
    const uint64_t lastSeek = reach / model.sectorSize * model.sectorSize + model.sectorSize;
    if (lastSeek < model.seekLimit) Check(delivered == whole, read + "ended short without cause");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static varrow::testing::SimOs sim;
    static varrow::platform::ScopedOs scoped{sim};
    FuzzedDataProvider input(data, size);

    static constexpr uint32_t kSectorSizes[] = {512, 2048, 4096};
    static constexpr uint32_t kWindowSizes[] = {4096, 512, 1000, 8192, 16};
    varrow::testing::SimDevice& device = sim.AddDevice(kDevicePath);
    device = varrow::testing::SimDevice{};
    device.sectorSize = input.PickValueInArray(kSectorSizes);
    device.blockDevice = true;  // the reader takes the sector size from the device
    const uint32_t windowSize = input.PickValueInArray(kWindowSizes);
    device.bytes = DeviceBytes(input.ConsumeIntegralInRange<size_t>(0, 40000), input.ConsumeIntegral<uint64_t>());
    const uint64_t sectors = device.bytes.size() / device.sectorSize + 1;
    for (int bad = input.ConsumeIntegralInRange(0, 4); bad > 0; --bad) {
        device.badSectors.insert(input.ConsumeIntegralInRange<uint64_t>(0, sectors));
    }
    uint64_t seekLimit = UINT64_MAX;
    const bool asImage = input.ConsumeBool();
    if (asImage) {
        // An image has no positioning to fail; its bad sectors are parts
        // that the library cannot read.
        varrow::testing::SimImage& image = sim.AddImage(kImagePath);
        image = varrow::testing::SimImage{};
        image.media = device.bytes;
        image.sectorSize = device.sectorSize;
        for (const uint64_t bad : device.badSectors) {
            const varrow::platform::MediaRange sector{bad * device.sectorSize, device.sectorSize};
            (bad % 2 ? image.damaged : image.failing).push_back(sector);
        }
    } else if (input.ConsumeBool()) {
        seekLimit = input.ConsumeIntegralInRange<uint64_t>(0, device.bytes.size() + device.sectorSize);
        device.seekFails = [seekLimit](uint64_t position) { return position >= seekLimit; };
    }
    // A device may or may not tell its length; an image always does.
    const bool lengthKnown = asImage || input.ConsumeBool();
    device.answersLength = lengthKnown;
    device.reportedLength = device.bytes.size();
    const Model model = ModelOf(device, seekLimit, lengthKnown);

    varrow::CFile64Ex reader(windowSize);
    reader.ReadImageFormats(asImage);
    varrow::CFileException error(varrow::CFileException::none, -1);
    Check(reader.Open(asImage ? kImagePath : kDevicePath, kReadFlags, &error),
          "the source does not open");
    Check(reader.SectorSize() == device.sectorSize, "the reader took another sector size");
    Check((reader.Facts().kind == varrow::SourceKind::Image) == asImage,
          "the source is of another kind");

    uint64_t position = 0;
    bool eof = false;
    std::vector<uint8_t> buffer;
    const uint64_t span = model.bytes.size() + 2 * uint64_t{windowSize};
    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
            case 0: {  // from the beginning
                const uint64_t to = input.ConsumeIntegralInRange<uint64_t>(0, span);
                if (to != position) eof = false;
                position = to;
                Check(reader.Seek(static_cast<int64_t>(to), varrow::CFile64::begin) == to, "Seek from the beginning");
                break;
            }
            case 1: {  // from the current position, either way
                const int64_t by = input.ConsumeIntegralInRange<int64_t>(-static_cast<int64_t>(position),
                                                                         static_cast<int64_t>(windowSize));
                const uint64_t to = position + static_cast<uint64_t>(by);
                if (to != position) eof = false;
                position = to;
                Check(reader.Seek(by, varrow::CFile64::current) == to, "Seek from the current position");
                break;
            }
            case 2: {  // from the end, which asks the device
                const int64_t by = -input.ConsumeIntegralInRange<int64_t>(0, static_cast<int64_t>(device.bytes.size()));
                const uint64_t end = device.bytes.size();
                try {
                    const uint64_t to = reader.Seek(by, varrow::CFile64::end);
                    Check(end < seekLimit, "a seek to the end succeeded where seeks fail");
                    Check(to == end + static_cast<uint64_t>(by), "Seek from the end");
                    if (to != position) eof = false;
                    position = to;
                } catch (const varrow::CFileException&) {
                    Check(end >= seekLimit, "a seek to the end failed where seeks work");
                }
                break;
            }
            default: {  // a read of up to three windows
                const uint32_t count = input.ConsumeIntegralInRange<uint32_t>(0, 3 * windowSize + 17);
                buffer.assign(count, 0xEE);
                const uint32_t delivered = reader.Read(buffer.data(), count);
                CheckRead(model, windowSize, position, count, buffer, delivered);
                position += delivered;
                if (count != 0) eof = delivered < count;
                break;
            }
        }
        Check(reader.GetPosition() == position, "the position does not follow the reads and seeks");
        Check((reader.IsEOF() != 0) == eof, "the end-of-file flag is wrong");
    }
    // Every sector that arrived as zeros for a failure is on record, and
    // nothing else.
    for (uint64_t at = 0; at < model.bytes.size(); at += model.sectorSize) {
        if (reader.Failures().Overlaps(at, 1)) {
            Check(device.badSectors.count(at / model.sectorSize) != 0,
                  "a good sector is recorded as failed");
        }
    }
    reader.Close();
    Check(sim.OpenHandles() == 0, "a handle was left open");
    return 0;
}
