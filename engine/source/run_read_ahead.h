// Reads the runs of the fast scan ahead of it on one helper thread, so that
// reading the next runs overlaps testing the current one.
//
// The helper only reads: it calls CFile64Ex::ReadAligned with
// Transfer::OneCall, which touches nothing of the reader but its source,
// and never calls the callback or touches the indexes. Everything else
// (what a run stands for, the windows, the events) stays on the caller's
// thread. The helper is stopped and joined by the destructor, whichever
// way the scan ends.
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
    // Reads the runs of runSize bytes at 0, runSize, 2 runSize... below
    // limit, run n into buffers[n % buffers.size()], never overwriting the
    // run the caller holds. Every buffer holds runSize bytes.
    RunReadAhead(CFile64Ex& source, uint32_t runSize, std::vector<uint8_t*> buffers,
                 uint64_t limit);
    ~RunReadAhead();
    RunReadAhead(const RunReadAhead&) = delete;
    RunReadAhead& operator=(const RunReadAhead&) = delete;

    // Hands run index over to the caller, who holds it (and no earlier run)
    // from now on; waits until it has been read. Returns how many of its
    // bytes arrived from its start. Runs are taken in order. Raises what
    // the read raised on the helper thread.
    uint32_t Take(uint64_t index);

private:
    void ReadRuns();

    CFile64Ex& source_;
    const uint32_t runSize_;
    const std::vector<uint8_t*> buffers_;
    const uint64_t limit_;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t held_ = 0;                // the run the caller holds (or will take first)
    uint64_t ready_ = 0;               // runs [0, ready_) have been read
    std::vector<uint32_t> delivered_;  // per buffer, of the run it holds
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread helper_;
};

}  // namespace varrow
