#include "TolvanDispatch.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include <QCoreApplication>

#include "varrow.h"

namespace tolvan {

void TApplicationPump::PumpEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

int64_t CoarseMonotonicMs() {
#if defined(CLOCK_MONOTONIC_COARSE)
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0)
        return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString ProgressText(unsigned percent) { return QString::asprintf("%u%% completed", percent); }

TMessageDispatcher::TMessageDispatcher(TGaugeView& gauge, TTextView& progressLabel,
                                       TTextView& figures, TRunState& runState, TEventPump& pump,
                                       TEngineEventHook& hook, TMillisecondClock clock)
    : gauge_(gauge),
      progressLabel_(progressLabel),
      figures_(figures),
      runState_(runState),
      pump_(pump),
      hook_(hook),
      clock_(clock) {}

void TMessageDispatcher::BeginRun(uint64_t sourceBytes) {
    tally_.Reset();
    progress_.Start(clock_(), sourceBytes);
    figures_.SetText(QString());
}

bool TMessageDispatcher::OnMessage(int32_t code, void* data) {
    switch (code) {
    case EV_PROGRESS:
        OnProgress(data);
        return false;
    case EV_QUERY_ABORT:
        progress_.CountQuestion();
        return !runState_.Running();
    default:
        tally_.Observe(code, data);
        hook_.HandleEngineEvent(code, data);
        return false;
    }
}

void TMessageDispatcher::OnProgress(const void* data) {
    const int64_t now = clock_();
    // After a stop request the gauge and the figures keep the point where
    // the user stopped; the engine's closing 100 would say the opposite.
    const bool stopping = !runState_.Running();
    bool changed = false;
    if (data != nullptr && !stopping) {
        const unsigned percent = *static_cast<const unsigned char*>(data);
        if (static_cast<int>(percent) != gauge_.Position()) {
            gauge_.SetPosition(static_cast<int>(std::min(percent, 100u)));
            progressLabel_.SetText(ProgressText(static_cast<unsigned>(gauge_.Position())));
            changed = true;
        }
    }
    if (!stopping && progress_.Due(now)) {
        const int percent = std::max(gauge_.Position(), 0);
        figures_.SetText(ProgressFiguresText(progress_.Sample(now, percent, tally_.MessagesHandled())));
    }
    if (changed || !pumped_ || now - lastPump_ >= kPumpIntervalMs) Pump(now);
}

void TMessageDispatcher::Pump(int64_t now) {
    // The time is taken before the pump: a pump that runs a long handler
    // (a modal box, say) must not delay the next one further.
    lastPump_ = now;
    pumped_ = true;
    pump_.PumpEvents();
}

}  // namespace tolvan
