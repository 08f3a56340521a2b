#include "scan/fast_scan.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/run_events.h"
#include "scan/block_layout.h"
#include "source/file64.h"
#include "source/sector_run_reader.h"

namespace varrow {

namespace {

constexpr uint64_t kNoEnd = std::numeric_limits<uint64_t>::max();

// The question and the progress report that come once every
// kScanReportInterval positions.
class ScanReports {
public:
    ScanReports(RunEvents& events, uint64_t length, uint64_t firstPoint)
        : events_(events), length_(length), point_(firstPoint) {}

    uint64_t NextPoint() const { return point_; }

    // Every position below next has been tried. At the report point asks
    // whether to stop and reports progress; false means "stop".
    bool After(uint64_t next) {
        if (next < point_) return true;
        point_ = next + kScanReportInterval;
        if (events_.QueryAbort()) return false;
        if (length_ != 0) events_.NotifyProgress(ScanProgress(next, length_));
        return true;
    }

private:
    RunEvents& events_;
    uint64_t length_;
    uint64_t point_;
};

// The search of each run read ahead: the accepted headers of the run,
// found on the thread that read it while the run is in its core's cache.
// The two threads search two different buffers at once.
class RunSearch : public RunReadAhead::RunWork {
public:
    RunSearch(HeaderFinder finder, uint32_t buffers)
        : finder_(finder), found_(buffers), candidates_(buffers) {}

    // The blocks of the run last done in buffer, in ascending position:
    // every accepted header that lies wholly inside the delivered bytes.
    const std::vector<FoundBlock>& Found(size_t buffer) const { return found_[buffer]; }

    void Do(size_t buffer, uint64_t start, const uint8_t* run, uint32_t delivered) override {
        std::vector<FoundBlock>& found = found_[buffer];
        found.clear();
        if (delivered < kBlockHeaderSize) return;
        // Sized on first use: a scan without read-ahead never needs them.
        std::vector<uint32_t>& candidates = candidates_[buffer];
        if (candidates.empty()) candidates.resize(kChunk);
        const uint32_t positions = delivered - (kBlockHeaderSize - 1);
        for (uint32_t from = 0; from < positions; from += kChunk) {
            const uint32_t count = std::min(kChunk, positions - from);
            const size_t hits = finder_(run + from, count, candidates.data());
            for (size_t k = 0; k < hits; ++k) {
                const uint32_t at = from + candidates[k];
                found.push_back({DecodeBlockHeader(run + at), start + at});
            }
        }
    }

private:
    static constexpr uint32_t kChunk = 1u << 16;
    HeaderFinder finder_;
    std::vector<std::vector<FoundBlock>> found_;
    std::vector<std::vector<uint32_t>> candidates_;
};

// Blocks another thread already found in part of a view: those at from
// and beyond, in ascending position.
struct SearchedPart {
    const std::vector<FoundBlock>* blocks = nullptr;
    uint64_t from = kNoEnd;
};

class FastScan {
public:
    FastScan(RunEvents& events, CFile64Ex& source, BlockSink& sink,
             const FastScanSettings& settings, uint64_t length, uint64_t firstReport,
             bool physicalDisk)
        : source_(source),
          sink_(sink),
          reports_(events, length, firstReport),
          settings_(settings),
          finder_(settings.finder ? settings.finder : BestHeaderFinder()),
          end_(physicalDisk ? length : kNoEnd),
          runSearch_(finder_, settings.readAhead + 1),
          candidates_(kScanReportInterval) {
        found_.reserve(64);
    }

    void Run();

private:
    bool TestView(const uint8_t* bytes, uint64_t from, uint64_t to, SearchedPart searched);
    bool TestThroughSource(uint64_t from, uint64_t to);
    void RefillLastWindow(uint64_t cleanEnd);

    CFile64Ex& source_;
    BlockSink& sink_;
    ScanReports reports_;
    const FastScanSettings& settings_;
    HeaderFinder finder_;
    uint64_t end_;  // a physical disk is not tried from its length on
    RunSearch runSearch_;
    std::vector<uint32_t> candidates_;  // offsets of accepted headers in a slice
    std::vector<FoundBlock> found_;     // their headers, handed on together
};

// Runs are read one after the other from position 0. The clean part of a
// run is tested in memory, with the last kCarry bytes of the run before in
// front; the rest of a run that is not clean goes through the source, and
// the pass ends wherever a read through the source comes back short.
void FastScan::Run() {
    SectorRunReader reader(source_, settings_.runSize, settings_.readAhead, end_, &runSearch_);
    if (!reader.Usable()) {
        TestThroughSource(0, kNoEnd);
        return;
    }
    const uint32_t runSize = reader.RunSize();
    uint64_t next = 0;  // the first position not tried yet
    for (uint64_t start = 0;; start += runSize) {
        const uint64_t cleanEnd = start + reader.ReadRun(start);
        if (cleanEnd >= next + kBlockHeaderSize) {
            const uint64_t to = cleanEnd - (kBlockHeaderSize - 1);
            // With read-ahead, runs were searched from their start on as
            // they were read; the carried positions before are searched here.
            SearchedPart searched;
            if (reader.WorkBuffer() >= 0) {
                searched = {&runSearch_.Found(static_cast<size_t>(reader.WorkBuffer())), start};
            }
            if (!TestView(reader.Run() - (start - next), next, to, searched)) return;
            next = to;
        }
        const uint64_t runEnd = start + runSize;
        if (cleanEnd == runEnd) {
            reader.CarryOver();
            continue;
        }
        RefillLastWindow(cleanEnd);
        const uint64_t to = runEnd - (kBlockHeaderSize - 1);
        if (!TestThroughSource(next, to)) return;
        next = to;
        source_.Seek(static_cast<int64_t>(next), CFile64::begin);
        if (source_.Read(reader.Carry(), SectorRunReader::kCarry) < SectorRunReader::kCarry) {
            // The bytes were there a moment ago; whatever the source does
            // now, it decides the rest.
            TestThroughSource(next, kNoEnd);
            return;
        }
    }
}

// Tests positions [from, to) whose bytes start at bytes, in slices that end
// at the report points. False when the pass ended: "stop", or the end of a
// physical disk.
bool FastScan::TestView(const uint8_t* bytes, uint64_t from, uint64_t to, SearchedPart searched) {
    const uint64_t last = std::min(to, end_);
    size_t pending = 0;  // the first of the searched blocks not handed on yet
    while (from < last) {
        const uint64_t until = std::min({last, reports_.NextPoint(), from + candidates_.size()});
        found_.clear();
        if (from < searched.from) {
            // The finder has made the acceptance test: its portable variant
            // is IsAcceptedHeader itself, and the vector ones are held to it.
            const size_t count = static_cast<size_t>(std::min(until, searched.from) - from);
            const size_t found = finder_(bytes, count, candidates_.data());
            for (size_t k = 0; k < found; ++k) {
                found_.push_back({DecodeBlockHeader(bytes + candidates_[k]), from + candidates_[k]});
            }
        }
        if (until > searched.from) {
            const std::vector<FoundBlock>& blocks = *searched.blocks;
            for (; pending < blocks.size() && blocks[pending].position < until; ++pending) {
                if (blocks[pending].position >= from) found_.push_back(blocks[pending]);
            }
        }
        const size_t count = static_cast<size_t>(until - from);
        if (!found_.empty()) sink_.AcceptAll(found_.data(), found_.size());
        bytes += count;
        from = until;
        if (!reports_.After(from)) return false;
    }
    return to <= end_;
}

// Tests positions [from, to) as ScanBlocks does: a seek and a 16-byte read
// through the source at each. False when the pass ended.
bool FastScan::TestThroughSource(uint64_t from, uint64_t to) {
    uint8_t bytes[kBlockHeaderSize];
    for (uint64_t position = from; position < to; ++position) {
        if (position >= end_) return false;
        source_.Seek(static_cast<int64_t>(position), CFile64::begin);
        if (source_.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) return false;
        const BlockHeader header = DecodeBlockHeader(bytes);
        if (IsAcceptedHeader(header)) sink_.Accept(header, position);
        if (!reports_.After(position + 1)) return false;
    }
    return true;
}

// ScanBlocks arrives at cleanEnd with the window before it filled and
// refills its windows at multiples of the window size. Filling that window
// again lets the source refill at the same positions from here on, which
// decides where a failing positioning or sector ends the pass.
void FastScan::RefillLastWindow(uint64_t cleanEnd) {
    const uint32_t windowSize = source_.WindowSize();
    if (cleanEnd < windowSize) return;
    std::vector<uint8_t> window(windowSize);
    source_.Seek(static_cast<int64_t>(cleanEnd - windowSize), CFile64::begin);
    source_.Read(window.data(), windowSize);
}

}  // namespace

void ScanBlocksFast(RunEvents& events, CFile64Ex& source, BlockSink& sink,
                    const FastScanSettings& settings) {
    source.Seek(0, CFile64::begin);
    const uint64_t length = source.GetLength();
    const uint64_t firstReport = source.GetPosition() + kScanReportInterval;
    const bool physicalDisk = source.IsPhysicalDrive() != 0;
    sink.Begin();
    FastScan(events, source, sink, settings, length, firstReport, physicalDisk).Run();
}

}  // namespace varrow
