// Prints what the progress path costs per engine event: one pump of an
// empty event queue, one reading of each clock, and OnMessage(EV_PROGRESS)
// as the window runs it. A fast scan sends up to a million progress events
// a second, so 1 microsecond per event is the whole budget and 2% of it
// (20 ns) what the progress path may take.
//
// Usage: tolvan_pump_bench [events]   (runs offscreen unless QT_QPA_PLATFORM is set)
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QVBoxLayout>

#include "EngineEvents.h"
#include "TolvanDispatch.h"
#include "WidgetViews.h"
#include "varrow.h"

using namespace tolvan;

namespace {

template <class F>
double NanosecondsPerCall(long iterations, F&& call) {
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < iterations; ++i) call();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(iterations);
}

void Report(const char* what, double nanoseconds) {
    std::printf("%-58s %10.1f ns  %7.2f%% of 1 us\n", what, nanoseconds, nanoseconds / 10.0);
}

class AlwaysRunning final : public TRunState {
public:
    bool Running() const override { return true; }
};

volatile int64_t sink;

// The offscreen platform complains at every relayout; that is noise here.
QtMessageHandler previousHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(QuietHandler);
    QApplication application(argc, argv);
    const long events = argc > 1 ? std::atol(argv[1]) : 2000000;

    // A window like the main window's progress area, shown.
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new QProgressBar;
    auto* label = new QLabel;
    auto* log = new QPlainTextEdit;
    layout->addWidget(bar);
    layout->addWidget(label);
    layout->addWidget(log);
    window.resize(600, 400);
    window.show();
    for (int i = 0; i < 100; ++i) QCoreApplication::processEvents();

    TProgressBarGauge gauge(bar);
    TLabelText labelView(label);
    QLabel figuresLabel;
    TLabelText figuresView(&figuresLabel);
    TPlainTextLog logView(log);
    TMessageBoxAlert alerts(&window);
    AlwaysRunning running;
    TApplicationPump pump;
    TRecoveryEvents hook(logView, alerts);
    TMessageDispatcher dispatcher(gauge, labelView, figuresView, running, pump, hook);

    std::printf("%ld iterations each, platform %s\n", events, qPrintable(QGuiApplication::platformName()));
    Report("QCoreApplication::processEvents(), nothing pending",
           NanosecondsPerCall(events / 10, [] { QCoreApplication::processEvents(); }));
    Report("CoarseMonotonicMs()", NanosecondsPerCall(events, [] { sink = CoarseMonotonicMs(); }));
    Report("std::chrono::steady_clock::now()", NanosecondsPerCall(events, [] {
               sink = std::chrono::steady_clock::now().time_since_epoch().count();
           }));

    unsigned char percent = 37;
    dispatcher.OnMessage(EV_PROGRESS, &percent);
    Report("OnMessage(EV_PROGRESS), same percentage, pump rule",
           NanosecondsPerCall(events, [&] { dispatcher.OnMessage(EV_PROGRESS, &percent); }));
    Report("OnMessage(EV_QUERY_ABORT)",
           NanosecondsPerCall(events, [&] { sink = dispatcher.OnMessage(EV_QUERY_ABORT, nullptr); }));
    Report("OnMessage(EV_PROGRESS) + processEvents() every event",
           NanosecondsPerCall(events / 10, [&] {
               dispatcher.OnMessage(EV_PROGRESS, &percent);
               QCoreApplication::processEvents();
           }));
    unsigned step = 0;
    Report("OnMessage(EV_PROGRESS), percentage changing every event",
           NanosecondsPerCall(2000, [&] {
               unsigned char changing = static_cast<unsigned char>(step++ % 101);
               dispatcher.OnMessage(EV_PROGRESS, &changing);
           }));
    return 0;
}
