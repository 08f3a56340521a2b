// A main window without widgets: recorders for every view the engine-event
// routing writes to, and a clock the test moves by hand.
#pragma once

#include <QStringList>

#include "EngineEvents.h"
#include "TolvanDispatch.h"
#include "varrow.h"

namespace tolvan::testing {

struct FakeGauge final : TGaugeView {
    int Position() const override { return position; }
    void SetPosition(int percent) override { position = percent; }
    int position = -1;  // as a fresh progress bar: no value yet
};

struct FakeText final : TTextView {
    void SetText(const QString& text) override { texts.append(text); }
    QStringList texts;
};

struct FakeLog final : TLogView {
    void AppendLine(const QString& line) override { lines.append(line); }
    QStringList lines;
};

struct FakeAlerts final : TAlertView {
    void ShowInformation(const QString& text) override { shown.append(text); }
    QStringList shown;
};

struct FakeRunState final : TRunState {
    bool Running() const override { return running; }
    bool running = true;
};

struct CountingPump final : TEventPump {
    void PumpEvents() override { ++pumps; }
    int pumps = 0;
};

struct FakeClock {
    static inline int64_t now = 1000;
    static int64_t Now() { return now; }
};

// The views, the product's event handling and the dispatcher, wired as the
// main window wires them.
struct FakeWindow {
    FakeGauge gauge;
    FakeText progressLabel;
    FakeText figures;
    FakeLog log;
    FakeAlerts alerts;
    FakeRunState runState;
    CountingPump pump;
    TRecoveryEvents events{log, alerts};
    TMessageDispatcher dispatcher{gauge, progressLabel, figures, runState, pump, events, &FakeClock::Now};

    bool Send(int32_t code, const void* data) { return dispatcher.OnMessage(code, const_cast<void*>(data)); }
    bool Progress(unsigned char percent) { return Send(EV_PROGRESS, &percent); }
};

inline const QString kSeparator(56, QLatin1Char('-'));

}  // namespace tolvan::testing
