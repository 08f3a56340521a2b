#include "source/run_read_ahead.h"

#include "source/file64.h"

namespace varrow {

RunReadAhead::RunReadAhead(CFile64Ex& source, uint32_t runSize, std::vector<uint8_t*> buffers,
                           uint64_t limit)
    : source_(source),
      runSize_(runSize),
      buffers_(std::move(buffers)),
      limit_(limit),
      delivered_(buffers_.size(), 0),
      helper_([this] { ReadRuns(); }) {}

RunReadAhead::~RunReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    helper_.join();
}

uint32_t RunReadAhead::Take(uint64_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = index;
    changed_.notify_all();
    changed_.wait(lock, [&] { return ready_ > index || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    return delivered_[index % buffers_.size()];
}

void RunReadAhead::ReadRuns() {
    const uint64_t slots = buffers_.size();
    for (uint64_t index = 0;; ++index) {
        {
            // Run index goes where run index - slots was: the caller must
            // have moved past that one.
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || index < held_ + slots; });
            if (stop_) return;
        }
        const uint64_t start = index * runSize_;
        uint32_t delivered = 0;
        try {
            if (start < limit_) {
                delivered =
                    source_.ReadAligned(start, buffers_[index % slots], runSize_, Transfer::OneCall)
                        .delivered;
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delivered_[index % slots] = delivered;
            ready_ = index + 1;
        }
        changed_.notify_all();
    }
}

}  // namespace varrow
