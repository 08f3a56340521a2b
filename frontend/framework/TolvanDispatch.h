// Routing of the engine's events into the main window: the gauge and its
// label, the stop question, and everything else to the product's hook.
#pragma once

#include <cstdint>

#include "RunProgress.h"
#include "RunTally.h"
#include "TolvanViews.h"

namespace tolvan {

// What EngineEventProc calls: the main window's OnMessage.
class TEngineClient {
public:
    virtual ~TEngineClient() = default;
    // Handles one engine event; true only to answer EV_QUERY_ABORT with
    // "stop". data is the engine's and valid only during the call.
    virtual bool OnMessage(int32_t code, void* data) = 0;
};

// The product's part of the routing (a hook of the main window).
class TEngineEventHook {
public:
    virtual ~TEngineEventHook() = default;
    // Every event other than EV_PROGRESS and EV_QUERY_ABORT, unchanged.
    virtual void HandleEngineEvent(int32_t code, void* data) = 0;
};

// The pump of a running Qt application: QCoreApplication::processEvents,
// which returns at once when nothing is pending.
class TApplicationPump final : public TEventPump {
public:
    void PumpEvents() override;
};

// A monotonic clock in milliseconds; only differences are used.
using TMillisecondClock = int64_t (*)();

// The system's coarse monotonic clock: a few nanoseconds per reading, with a
// resolution of a few milliseconds, which is all the pump needs.
int64_t CoarseMonotonicMs();

// OnMessage of the main window. Progress events come up to a million times
// a second during a fast scan, far more often than a pump of the event
// queue can afford, so the queue is pumped whenever the percentage changes
// and otherwise at most once every kPumpIntervalMs; the figures beside the
// gauge change at most every TRunProgress::kRefreshMs. Every other event
// is counted for the run's outcome and handed to the product's hook.
class TMessageDispatcher final : public TEngineClient {
public:
    static constexpr int64_t kPumpIntervalMs = 10;

    TMessageDispatcher(TGaugeView& gauge, TTextView& progressLabel, TTextView& figures,
                       TRunState& runState, TEventPump& pump, TEngineEventHook& hook,
                       TMillisecondClock clock = &CoarseMonotonicMs);

    // Before each engine call: forgets the previous run's counts and
    // starts measuring against a source of sourceBytes (0: unknown).
    void BeginRun(uint64_t sourceBytes);

    bool OnMessage(int32_t code, void* data) override;

    // What the current (or last) run's events said.
    const TRunTally& Tally() const { return tally_; }

private:
    void OnProgress(const void* data);
    void Pump(int64_t now);

    TGaugeView& gauge_;
    TTextView& progressLabel_;
    TTextView& figures_;
    TRunState& runState_;
    TEventPump& pump_;
    TEngineEventHook& hook_;
    TMillisecondClock clock_;
    TRunTally tally_;
    TRunProgress progress_;
    int64_t lastPump_ = 0;
    bool pumped_ = false;
};

// "%u%% completed" filled with percent, the text of labProgress.
QString ProgressText(unsigned percent);

}  // namespace tolvan
