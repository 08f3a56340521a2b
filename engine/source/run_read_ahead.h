// Shares the reading of the fast scan's runs with one helper thread: the
// helper reads every other run (1, 3, 5, ...) ahead of the caller, who
// reads the runs between itself. A source that serves one read at a time
// (a disk image's library) gains nothing from two readers: there the
// helper reads every run.
//
// Each thread also works on the runs it read (the scan searches them for
// block headers) while their bytes are still in its own core's cache:
// handing every byte from one core to the other costs about as much as
// reading it, so a helper that only reads gains little.
//
// The helper only reads, with CFile64Ex::ReadAligned and Transfer::OneCall,
// which touches nothing of the reader but its source, and does the work
// it is given on the run's own buffer; it never calls the callback or
// touches the indexes. The helper is stopped and joined by the destructor,
// whichever way the scan ends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace varrow {

class CFile64Ex;

class RunReadAhead {
public:
    // What the helper does with a run right after reading it, on its own
    // thread: the run at start, in buffers[buffer], of which delivered
    // bytes arrived from its start. May raise; the caller's Take raises it.
    class RunWork {
    public:
        virtual ~RunWork() = default;
        virtual void Do(size_t buffer, uint64_t start, const uint8_t* run, uint32_t delivered) = 0;
    };

    // Reads the helper's runs of runSize bytes (those at limit and beyond
    // deliver nothing), every run when everyRun, else every other one, run
    // n into BufferOf(n), never overwriting a run the caller may still
    // hold. Every buffer holds runSize bytes. work may be null.
    RunReadAhead(CFile64Ex& source, uint32_t runSize, std::vector<uint8_t*> buffers,
                 uint64_t limit, RunWork* work, bool everyRun = false);
    ~RunReadAhead();
    RunReadAhead(const RunReadAhead&) = delete;
    RunReadAhead& operator=(const RunReadAhead&) = delete;

    // Whether run index is the helper's to read; the others are the
    // caller's.
    bool IsHelperRun(uint64_t index) const { return index % step_ == step_ - 1; }
    // The buffer a helper's run arrives in.
    size_t BufferOf(uint64_t index) const { return (index / step_) % buffers_.size(); }

    // The caller moves on to run index and holds no earlier run from now
    // on. For a helper's run, waits until it has been read and worked on,
    // and returns how many of its bytes arrived; raises what the helper
    // raised. Runs are taken in order; a caller's run returns 0.
    uint32_t Take(uint64_t index);

private:
    void ReadRuns();

    CFile64Ex& source_;
    const uint32_t runSize_;
    const std::vector<uint8_t*> buffers_;
    const uint64_t limit_;
    RunWork* const work_;
    const uint64_t step_;  // the helper reads every step_-th run

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t held_ = 0;                // the run the caller holds (or will take first)
    uint64_t ready_ = 0;               // the helper's runs below ready_ are done
    std::vector<uint32_t> delivered_;  // per buffer, of the run it holds
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread helper_;
};

}  // namespace varrow
