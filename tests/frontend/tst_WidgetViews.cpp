// The gauge view over a real progress bar; the figures line over a label.
#include <QtTest>

#include <QLabel>
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

    // Held on a notice, the label keeps it while texts come, then shows the
    // latest of them; a text too long for it ends in an ellipsis.
    void figuresLineHoldsANotice() {
        QLabel label;
        label.resize(200, 20);
        TPausableText figures(&label);
        figures.SetText("first");
        figures.Hold("paused");
        figures.SetText("second");
        QCOMPARE(label.text(), QString("paused"));
        QVERIFY(figures.Held());
        figures.Release();
        QCOMPARE(label.text(), QString("second"));
        const QString longText(200, 'x');
        figures.SetText(longText);
        QVERIFY(label.text().endsWith(QChar(0x2026)));
        QCOMPARE(label.toolTip(), longText);
        figures.SetText("short");
        QCOMPARE(label.toolTip(), QString());
    }
};

QTEST_MAIN(TestWidgetViews)
#include "tst_WidgetViews.moc"
