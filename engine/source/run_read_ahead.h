// Shares the reading of the fast scan's runs with one helper thread. Both
// threads take the next run nobody has taken yet: the helper whenever one
// of the buffers is free, the caller whenever the run it needs next is
// still with the helper. The caller also files the blocks of every run in
// order, so it takes fewer runs the more blocks there are, and neither
// thread waits for the other while a buffer is free. A source that serves
// one read at a time (a disk image's library) gains nothing from two
// readers: there the helper reads every run.
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
    // What is done with a run right after reading it, on the thread that
    // read it: the run at start, in buffers[buffer], of which delivered
    // bytes arrived from its start. Called for two buffers at once from
    // the two threads. May raise; the caller's Take raises it.
    class RunWork {
    public:
        virtual ~RunWork() = default;
        virtual void Do(size_t buffer, uint64_t start, const uint8_t* run, uint32_t delivered) = 0;
    };

    // Reads runs of runSize bytes (those at limit and beyond deliver
    // nothing), run n into BufferOf(n), never overwriting a run the caller
    // may still hold; with everyRun the helper reads them all. Every
    // buffer holds runSize bytes; there must be two or more. work may be
    // null.
    RunReadAhead(CFile64Ex& source, uint32_t runSize, std::vector<uint8_t*> buffers,
                 uint64_t limit, RunWork* work, bool everyRun = false);
    ~RunReadAhead();
    RunReadAhead(const RunReadAhead&) = delete;
    RunReadAhead& operator=(const RunReadAhead&) = delete;

    // The buffer run index arrives in.
    size_t BufferOf(uint64_t index) const { return index % buffers_.size(); }

    // The caller moves on to run index and holds no earlier run from now
    // on. Returns when run index has been read and worked on, by either
    // thread, with how many of its bytes arrived; while the helper is
    // still at it, the caller reads and works on runs further on where a
    // buffer is free. Raises what reading or working on that run raised.
    // Runs are taken in order.
    uint32_t Take(uint64_t index);

private:
    // Where each buffer's run stands.
    struct Slot {
        uint64_t run = UINT64_MAX;
        bool ready = false;
        uint32_t delivered = 0;
        std::exception_ptr failure;  // what reading or working on it raised
    };

    void ReadRuns();
    // Takes the next run nobody has taken, if its buffer is free; with the
    // lock held.
    bool Claim(uint64_t* index);
    // Reads run index into its buffer and works on it, without the lock,
    // then marks it ready with what arrived or what was raised. False when
    // something was raised.
    bool Fill(uint64_t index);

    CFile64Ex& source_;
    const uint32_t runSize_;
    const std::vector<uint8_t*> buffers_;
    const uint64_t limit_;
    RunWork* const work_;
    const bool everyRun_;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t held_ = 0;  // the run the caller holds (or will take first)
    uint64_t next_ = 0;  // the first run nobody has taken
    std::vector<Slot> slots_;
    bool stop_ = false;
    std::thread helper_;
};

}  // namespace varrow
