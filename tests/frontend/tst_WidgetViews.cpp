// The gauge view over a real progress bar.
#include <QtTest>

#include <QProgressBar>

#include "WidgetViews.h"

using namespace tolvan;

class TestWidgetViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A QProgressBar ignores values outside its range; the gauge keeps them in.
    void gaugeKeepsInsideTheRange() {
        QProgressBar bar;
        TProgressBarGauge gauge(&bar);
        QCOMPARE(gauge.Position(), -1);  // nothing shown yet: the first 0 is a change
        gauge.SetPosition(150);
        QCOMPARE(bar.value(), 100);
        gauge.SetPosition(-5);
        QCOMPARE(bar.value(), 0);
    }
};

QTEST_MAIN(TestWidgetViews)
#include "tst_WidgetViews.moc"
