#include "source/run_read_ahead.h"

#include "source/file64.h"

namespace varrow {

RunReadAhead::RunReadAhead(CFile64Ex& source, uint32_t runSize, std::vector<uint8_t*> buffers,
                           uint64_t limit, RunWork* work, bool everyRun)
    : source_(source),
      runSize_(runSize),
      buffers_(std::move(buffers)),
      limit_(limit),
      work_(work),
      step_(everyRun ? 1 : 2),
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
    if (!IsHelperRun(index)) return 0;
    changed_.wait(lock, [&] { return ready_ > index || failure_; });
    if (ready_ <= index) std::rethrow_exception(failure_);
    return delivered_[BufferOf(index)];
}

void RunReadAhead::ReadRuns() {
    // A buffer comes round again every step_ * buffers runs.
    const uint64_t cycle = step_ * buffers_.size();
    for (uint64_t index = step_ - 1;; index += step_) {
        {
            // Run index goes where run index - cycle was: the caller must
            // have moved past that one.
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || index < held_ + cycle; });
            if (stop_) return;
        }
        const size_t buffer = BufferOf(index);
        const uint64_t start = index * runSize_;
        uint32_t delivered = 0;
        try {
            if (start < limit_) {
                delivered =
                    source_.ReadAligned(start, buffers_[buffer], runSize_, Transfer::OneCall).delivered;
            }
            if (work_) work_->Do(buffer, start, buffers_[buffer], delivered);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            delivered_[buffer] = delivered;
            ready_ = index + 1;
        }
        changed_.notify_all();
    }
}

}  // namespace varrow
