#include "source/sector_run_reader.h"

#include <cstring>
#include <system_error>

#include "base/exceptions.h"
#include "platform/os.h"
#include "source/aligned_span.h"
#include "source/file64.h"
#include "source/run_read_ahead.h"

namespace varrow {

namespace {

// Each run starts one page into its slot, so that it is page-aligned as
// raw devices demand, and the carry sits right before it.
constexpr size_t kPage = 4096;

}  // namespace

SectorRunReader::SectorRunReader(CFile64Ex& source, uint32_t runSize, uint32_t readAhead,
                                 uint64_t limit, RunReadAhead::RunWork* work)
    : source_(source),
      runSize_(runSize),
      sectorSize_(source.SectorSize()),
      windowSize_(source.WindowSize()),
      usable_(RunsStandForWindows(runSize, windowSize_, sectorSize_, kCarry + 1)) {
    if (!usable_) return;
    slots_ = size_t{1} + readAhead;
    memorySize_ = slots_ * (kPage + runSize_);
    memory_ = static_cast<uint8_t*>(platform::CurrentOs().AllocatePages(memorySize_));
    if (!memory_) throw CMemoryException();
    source_.AdviseSequential();
    // A scan of a whole disk would otherwise push everything the user had
    // cached out of memory; a file is left cached, as any reader leaves it.
    const SourceKind kind = source_.Facts().kind;
    dropBehind_ = kind == SourceKind::WholeDisk || kind == SourceKind::BlockDevice ||
                  kind == SourceKind::Volume;
    if (readAhead == 0) return;
    // With a helper, every slot takes runs of either thread.
    std::vector<uint8_t*> buffers;
    for (size_t slot = 0; slot < slots_; ++slot) buffers.push_back(RunBuffer(slot));
    // An image's library serves one read at a time: its helper reads
    // and searches every run, and this thread only files the blocks.
    const bool everyRun = kind == SourceKind::Image;
    try {
        readAhead_ = std::make_unique<RunReadAhead>(source_, runSize_, std::move(buffers), limit,
                                                    work, everyRun);
    } catch (const std::system_error&) {
        // No thread to be had: every run is read when it is asked for.
    } catch (...) {
        platform::CurrentOs().FreePages(memory_, memorySize_);
        throw;
    }
}

SectorRunReader::~SectorRunReader() {
    readAhead_.reset();  // the helper is done with the buffers before they go
    if (dropBehind_ && haveRun_) source_.ForgetCached(lastRun_, runSize_);
    if (memory_) platform::CurrentOs().FreePages(memory_, memorySize_);
}

uint8_t* SectorRunReader::RunBuffer(size_t slot) const {
    return memory_ + slot * (kPage + runSize_) + kPage;
}

uint32_t SectorRunReader::ReadRun(uint64_t start) {
    if (dropBehind_ && haveRun_ && lastRun_ < start) {
        source_.ForgetCached(lastRun_, start - lastRun_);
    }
    lastRun_ = start;
    haveRun_ = true;

    uint32_t got = 0;
    if (readAhead_) {
        const uint64_t index = start / runSize_;
        got = readAhead_->Take(index);
        workBuffer_ = static_cast<int>(readAhead_->BufferOf(index));
        run_ = RunBuffer(static_cast<size_t>(workBuffer_));
    } else {
        workBuffer_ = -1;
        run_ = RunBuffer(0);
        got = source_.ReadAligned(start, run_, runSize_, Transfer::OneCall).delivered;
    }
    std::memcpy(run_ - kCarry, carry_, kCarry);

    // The windows refill at multiples of the window size, each with one
    // positioning of the device and then sector reads. A window whose bytes
    // all arrived here arrives the same through the windows, because a
    // sector reads the same every time. Positioning fails only beyond the
    // readable part of a source (a device refuses positions past its end,
    // never inside it), so when the last window of the clean part can be
    // positioned, every window before it can. A run that fails this is read
    // through the source.
    uint32_t clean = WholeWindowBytes(got, windowSize_);
    if (clean != 0 &&
        !source_.CanPosition(LastWindowSector(start, clean, windowSize_, sectorSize_))) {
        clean = 0;
    }
    return clean;
}

void SectorRunReader::CarryOver() { std::memcpy(carry_, run_ + runSize_ - kCarry, kCarry); }

}  // namespace varrow
