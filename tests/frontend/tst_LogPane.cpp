// The log pane: lines kept in order and read back exactly, the view
// following the end, clearing, selection and copying by lines.
#include <QtTest>

#include <QClipboard>
#include <QScrollBar>

#include "LogPane.h"

using namespace tolvan;

class TestLogPane : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesComeBackExactly() {
        TLogPane pane;
        const QStringList lines{"Start recovery process ...", "", "Message subject: Grüße — 東京", "  padded  ",
                                QString(56, '-')};
        for (const QString& line : lines) pane.AppendLine(line);
        QCOMPARE(pane.LineCount(), lines.size());
        QCOMPARE(pane.Lines(), lines);
        QCOMPARE(pane.Line(2), lines[2]);
        QCOMPARE(pane.Line(-1), QString());
        QCOMPARE(pane.Line(5), QString());
    }

    // While the last line is in view the pane shows each new one; once the
    // user scrolled back it stays where it is.
    void followsTheEnd() {
        TLogPane pane;
        pane.resize(300, 120);
        pane.show();
        for (int i = 0; i < 200; ++i) pane.AppendLine(QString("line %1").arg(i));
        QCoreApplication::processEvents();
        QScrollBar* bar = pane.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(10);
        pane.AppendLine("one more");
        QCoreApplication::processEvents();
        QCOMPARE(pane.TopLine(), 10);
        QCOMPARE(pane.Lines().last(), QString("one more"));
    }

    void widestLineSetsTheHorizontalRange() {
        TLogPane pane;
        pane.resize(200, 100);
        pane.show();
        pane.AppendLine("short");
        QCoreApplication::processEvents();
        QCOMPARE(pane.horizontalScrollBar()->maximum(), 0);
        pane.AppendLine(QString(300, 'W'));
        QCoreApplication::processEvents();
        QVERIFY(pane.horizontalScrollBar()->maximum() > pane.fontMetrics().horizontalAdvance(QString(200, 'W')));
    }

    void clearForgetsEverything() {
        TLogPane pane;
        for (int i = 0; i < 50; ++i) pane.AppendLine("x");
        pane.SelectAll();
        pane.Clear();
        QCOMPARE(pane.LineCount(), 0);
        QVERIFY(pane.Lines().isEmpty());
        QCOMPARE(pane.SelectedText(), QString());
        pane.AppendLine("after");
        QCOMPARE(pane.Lines(), QStringList{"after"});
    }

    void selectAndCopyLines() {
        TLogPane pane;
        pane.resize(300, 200);
        pane.show();
        for (const char* line : {"alpha", "beta", "gamma", "delta"}) pane.AppendLine(line);
        QCoreApplication::processEvents();
        QCOMPARE(pane.SelectedText(), QString());
        const int lineHeight = pane.fontMetrics().lineSpacing();
        QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 4 + lineHeight + 2));
        QTest::mouseClick(pane.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 4 + 2 * lineHeight + 2));
        QCOMPARE(pane.SelectedText(), QString("beta\ngamma"));
        QTest::keySequence(&pane, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("beta\ngamma"));
        QTest::keySequence(&pane, QKeySequence::SelectAll);
        QCOMPARE(pane.SelectedText(), QString("alpha\nbeta\ngamma\ndelta"));
    }
};

QTEST_MAIN(TestLogPane)
#include "tst_LogPane.moc"
