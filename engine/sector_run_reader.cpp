#include "sector_run_reader.h"

#include <cstring>

#include "exceptions.h"
#include "file64.h"
#include "platform/os.h"
#include "scan.h"

namespace varrow {

namespace {

// The run starts one page into the buffer, so that it is page-aligned as
// raw devices demand, and the carry sits right before it.
constexpr size_t kPage = 4096;

}  // namespace

SectorRunReader::SectorRunReader(CFile64Ex& source, uint32_t runSize)
    : source_(source),
      runSize_(runSize),
      windowSize_(source.m_nWindowSize),
      sectorSize_(source.SectorSize()),
      usable_(runSize != 0 && windowSize_ >= kBlockHeaderSize && runSize % windowSize_ == 0 &&
              runSize % sectorSize_ == 0),
      dropBehind_(false) {
    if (!usable_) return;
    platform::Os& os = platform::CurrentOs();
    memorySize_ = kPage + runSize_;
    memory_ = static_cast<uint8_t*>(os.AllocatePages(memorySize_));
    if (!memory_) throw CMemoryException();
    run_ = memory_ + kPage;
    os.AdviseSequential(source_.m_hFile);
    // A scan of a whole disk would otherwise push everything the user had
    // cached out of memory; a file is left cached, as any reader leaves it.
    dropBehind_ = os.IsBlockDevice(source_.m_hFile);
}

SectorRunReader::~SectorRunReader() {
    platform::Os& os = platform::CurrentOs();
    if (dropBehind_ && haveRun_) os.DropCachedRange(source_.m_hFile, lastRun_, runSize_);
    if (memory_) os.FreePages(memory_, memorySize_);
}

uint32_t SectorRunReader::ReadRun(uint64_t start) {
    platform::Os& os = platform::CurrentOs();
    if (dropBehind_ && haveRun_ && lastRun_ < start) {
        os.DropCachedRange(source_.m_hFile, lastRun_, start - lastRun_);
    }
    lastRun_ = start;
    haveRun_ = true;

    uint32_t got = 0;
    long error = 0;
    if (!os.ReadAt(source_.m_hFile, start, run_, runSize_, &got, &error)) got = 0;

    // The windows refill at multiples of the window size, each with one
    // positioning of the device and then sector reads. A window whose bytes
    // all arrived here arrives the same through the windows, because a
    // sector reads the same every time. Positioning fails only beyond the
    // readable part of a source (a device refuses positions past its end,
    // never inside it), so when the last window of the clean part can be
    // positioned, every window before it can. A run that fails this is read
    // through the source.
    uint32_t clean = got - got % windowSize_;
    if (clean != 0) {
        const uint64_t lastWindow = start + clean - windowSize_;
        if (!CanPosition(lastWindow - lastWindow % sectorSize_)) clean = 0;
    }
    return clean;
}

void SectorRunReader::CarryOver() { std::memcpy(Carry(), run_ + runSize_ - kCarry, kCarry); }

bool SectorRunReader::CanPosition(uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX)) return false;
    uint64_t landed = 0;
    long error = 0;
    return platform::CurrentOs().Seek(source_.m_hFile, static_cast<int64_t>(position),
                                      platform::SeekFrom::Begin, &landed, &error) &&
           landed == position;
}

}  // namespace varrow
