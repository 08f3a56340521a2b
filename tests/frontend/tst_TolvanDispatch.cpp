// OnMessage: the gauge and its label, the pump rule, the stop question and
// the hand-over of every other event to the product's hook.
#include <QtTest>

#include "FakeWindow.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

struct RecordingHook final : TEngineEventHook {
    void HandleEngineEvent(int32_t code, void* data) override {
        codes.append(code);
        payloads.append(data);
    }
    QList<int32_t> codes;
    QList<void*> payloads;
};

struct Routing {
    FakeGauge gauge;
    FakeText label;
    FakeText figures;
    FakeRunState runState;
    CountingPump pump;
    RecordingHook hook;
    TMessageDispatcher dispatcher{gauge, label, figures, runState, pump, hook, &FakeClock::Now};

    bool Progress(unsigned char percent) { return dispatcher.OnMessage(EV_PROGRESS, &percent); }
};

}  // namespace

class TestTolvanDispatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { FakeClock::now = 1000; }

    void progressLabels_data() {
        QTest::addColumn<QList<int>>("percents");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<int>("gauge");
        QTest::newRow("same value twice sets the label once") << QList<int>{7, 7} << QStringList{"7% completed"} << 7;
        QTest::newRow("rising") << QList<int>{0, 50, 100} << QStringList{"0% completed", "50% completed", "100% completed"} << 100;
        QTest::newRow("150 shows 100") << QList<int>{150} << QStringList{"100% completed"} << 100;
        // 150 differs from the gauge's 100 each time; 100 after it does not.
        QTest::newRow("150 twice, then 100") << QList<int>{150, 150, 100}
                                             << QStringList{"100% completed", "100% completed"} << 100;
    }
    void progressLabels() {
        QFETCH(QList<int>, percents);
        QFETCH(QStringList, labels);
        QFETCH(int, gauge);
        Routing routing;
        for (int percent : percents) QVERIFY(!routing.Progress(static_cast<unsigned char>(percent)));
        QCOMPARE(routing.label.texts, labels);
        QCOMPARE(routing.gauge.position, gauge);
        QVERIFY(routing.hook.codes.isEmpty());
    }

    // A change pumps at once; an unchanged value only once the interval
    // has passed since the last pump.
    void pumpRule() {
        Routing routing;
        const QList<QPair<int64_t, int>> steps = {
            {0, 5}, {0, 5}, {TMessageDispatcher::kPumpIntervalMs - 1, 5}, {1, 5}, {0, 5}, {0, 6}, {0, 7}};
        const QList<int> expectedPumps = {1, 1, 1, 2, 2, 3, 4};
        for (qsizetype i = 0; i < steps.size(); ++i) {
            FakeClock::now += steps[i].first;
            routing.Progress(static_cast<unsigned char>(steps[i].second));
            QCOMPARE(routing.pump.pumps, expectedPumps[i]);
        }
    }

    void stopQuestionFollowsRunning() {
        Routing routing;
        QVERIFY(!routing.dispatcher.OnMessage(EV_QUERY_ABORT, nullptr));
        routing.runState.running = false;  // the Stop press
        QVERIFY(routing.dispatcher.OnMessage(EV_QUERY_ABORT, nullptr));
        QVERIFY(routing.hook.codes.isEmpty());
    }

    void otherCodesReachTheHookUnchanged() {
        Routing routing;
        routing.runState.running = false;  // must not turn any of these into "stop"
        char payload[] = "payload";
        const QList<int32_t> codes = {EV_SOURCE, EV_LOG, EV_REPORT_CELL, EV_ERROR, EV_REPORT_COLUMNS, EV_ALERT, 999};
        for (int32_t code : codes) QVERIFY(!routing.dispatcher.OnMessage(code, payload));
        QCOMPARE(routing.hook.codes, codes);
        QCOMPARE(routing.hook.payloads, QList<void*>(codes.size(), static_cast<void*>(payload)));
        QCOMPARE(routing.pump.pumps, 0);
    }

    // After a stop request the gauge, its label and the figures keep the
    // point where the user stopped (the engine still ends with 100), and
    // the queue is still pumped.
    void stopKeepsTheStopPoint() {
        Routing routing;
        routing.dispatcher.BeginRun(0);
        routing.Progress(30);
        const QStringList figuresBefore = routing.figures.texts;
        routing.runState.running = false;
        const int pumps = routing.pump.pumps;
        FakeClock::now += TRunProgress::kRefreshMs;
        routing.Progress(31);
        routing.Progress(100);
        QCOMPARE(routing.gauge.position, 30);
        QCOMPARE(routing.label.texts, QStringList{"30% completed"});
        QCOMPARE(routing.figures.texts, figuresBefore);
        QCOMPARE(routing.pump.pumps, pumps + 1);  // the interval had passed once
    }

    // The figures change at most every kRefreshMs, however many events
    // come, and say how far the scan is from the stop questions.
    void figuresAreRefreshedAFewTimesASecond() {
        Routing routing;
        routing.dispatcher.BeginRun(2000000);
        for (int step = 0; step < 100; ++step) {
            FakeClock::now += 10;  // a second of events, one stop question every 10 ms
            routing.dispatcher.OnMessage(EV_QUERY_ABORT, nullptr);
            routing.Progress(static_cast<unsigned char>(step / 4));
        }
        // BeginRun clears the line; then one refresh per 250 ms.
        QCOMPARE(routing.figures.texts.size(), 1 + 1000 / TRunProgress::kRefreshMs);
        QCOMPARE(routing.figures.texts.first(), QString());
        QCOMPARE(routing.figures.texts.last(), QString("Scanned 1.0 MB of 2.0 MB at 1.0 MB/s, about 1 s left in the scan"));
    }

    // Every event but progress and the stop question is counted for the
    // run's outcome before the hook sees it; BeginRun forgets the last run.
    void eventsAreTalliedForTheOutcome() {
        Routing routing;
        const int32_t columns = 2;
        routing.dispatcher.OnMessage(EV_REPORT_COLUMNS, const_cast<int32_t*>(&columns));
        for (const char* cell : {"Message No.", "Subject", "1", "a", "2", "b"})
            routing.dispatcher.OnMessage(EV_REPORT_CELL, const_cast<char*>(cell));
        routing.dispatcher.OnMessage(EV_ERROR, const_cast<char*>("Error 6: Cannot create message file."));
        QCOMPARE(routing.dispatcher.Tally().Totals().written, uint64_t{1});
        QCOMPARE(routing.dispatcher.Tally().Totals().failed, uint64_t{1});
        QCOMPARE(routing.hook.codes.size(), 8);
        routing.dispatcher.BeginRun(0);
        QCOMPARE(routing.dispatcher.Tally().Totals().found, uint64_t{0});
    }

    // The application's pump runs what waits in the event queue, such as
    // a Stop press.
    void applicationPumpRunsPendingEvents() {
        FakeGauge gauge;
        FakeText label;
        FakeText figures;
        FakeRunState runState;
        TApplicationPump pump;
        RecordingHook hook;
        TMessageDispatcher dispatcher(gauge, label, figures, runState, pump, hook);
        QMetaObject::invokeMethod(this, [&] { runState.running = false; }, Qt::QueuedConnection);
        unsigned char percent = 1;
        dispatcher.OnMessage(EV_PROGRESS, &percent);
        QVERIFY(dispatcher.OnMessage(EV_QUERY_ABORT, nullptr));
    }
};

QTEST_GUILESS_MAIN(TestTolvanDispatch)
#include "tst_TolvanDispatch.moc"
