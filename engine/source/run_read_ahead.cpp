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
      everyRun_(everyRun),
      slots_(buffers_.size()),
      helper_([this] { ReadRuns(); }) {}

RunReadAhead::~RunReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    helper_.join();
}

bool RunReadAhead::Claim(uint64_t* index) {
    // Run next_ goes where run next_ - buffers was: the caller must have
    // moved past that one.
    if (next_ >= held_ + buffers_.size()) return false;
    *index = next_++;
    slots_[BufferOf(*index)] = Slot{*index, false, 0, nullptr};
    return true;
}

bool RunReadAhead::Fill(uint64_t index) {
    const size_t buffer = BufferOf(index);
    const uint64_t start = index * runSize_;
    uint32_t delivered = 0;
    std::exception_ptr failure;
    try {
        if (start < limit_) {
            delivered =
                source_.ReadAligned(start, buffers_[buffer], runSize_, Transfer::OneCall).delivered;
        }
        if (work_) work_->Do(buffer, start, buffers_[buffer], delivered);
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[buffer] = Slot{index, true, delivered, failure};
    }
    changed_.notify_all();
    return !failure;
}

uint32_t RunReadAhead::Take(uint64_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = index;
    changed_.notify_all();
    for (;;) {
        const Slot& slot = slots_[BufferOf(index)];
        if (slot.run == index && slot.ready) {
            if (slot.failure) std::rethrow_exception(slot.failure);
            return slot.delivered;
        }
        // Rather than wait for the helper, take a run further on. What
        // that raises is raised when its turn comes.
        uint64_t run = 0;
        if (!everyRun_ && Claim(&run)) {
            lock.unlock();
            Fill(run);
            lock.lock();
            continue;
        }
        changed_.wait(lock);
    }
}

void RunReadAhead::ReadRuns() {
    for (;;) {
        uint64_t run = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || Claim(&run); });
            if (stop_) return;
        }
        // After a failure the caller reads the rest itself, if it gets
        // that far.
        if (!Fill(run)) return;
    }
}

}  // namespace varrow
