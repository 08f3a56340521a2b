// TTolvanPanel: bevels, border, fill and caption as painted, what shows
// through when it is transparent, and which changes repaint it.
#include <QtTest>

#include "TolvanPanel.h"

using namespace tolvan;
using Bevel = TTolvanPanel::TPanelBevel;

namespace {

const QRgb kBeneath = qRgb(200, 30, 40);
const QRgb kPanel = qRgb(238, 247, 255);

// A plain parent filled with kBeneath, holding one panel.
struct Scene {
    QWidget parent;
    TTolvanPanel* panel = new TTolvanPanel(&parent);

    Scene() {
        parent.resize(200, 120);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, kBeneath);
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        panel->setGeometry(20, 10, 160, 100);
    }
    QRgb At(int x, int y) { return parent.grab().toImage().pixel(panel->x() + x, panel->y() + y); }
    QRgb Shadow() const { return panel->palette().color(QPalette::Dark).rgb(); }
    QRgb Highlight() const { return panel->palette().color(QPalette::Light).rgb(); }
};

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

}  // namespace

class TestTolvanPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void transparentShowsWhatLiesBeneath() {
        Scene scene;
        scene.panel->SetBevelOuter(Bevel::None);
        QCOMPARE(scene.At(80, 50), kPanel);
        scene.panel->SetTransparent(true);
        QCOMPARE(scene.At(80, 50), kBeneath);
    }

    // Bevel and border are drawn over whatever lies beneath.
    void transparentKeepsBevelAndBorder() {
        Scene scene;
        scene.panel->SetTransparent(true);
        scene.panel->SetBevelOuter(Bevel::Lowered);
        scene.panel->SetBorderWidth(3);
        scene.panel->SetColor(QColor(0, 0, 255));
        QCOMPARE(scene.At(0, 50), scene.Shadow());
        for (int inset = 1; inset <= 3; ++inset) QCOMPARE(scene.At(inset, 50), qRgb(0, 0, 255));
        QCOMPARE(scene.At(4, 50), kBeneath);
    }

    // The bottom-right colour also takes the top-right and bottom-left
    // corners; inner and outer bevels draw alike.
    void bevelEdges_data() {
        QTest::addColumn<Bevel>("bevel");
        QTest::addColumn<bool>("inner");
        QTest::newRow("outer lowered") << Bevel::Lowered << false;
        QTest::newRow("outer raised") << Bevel::Raised << false;
        QTest::newRow("outer spaced") << Bevel::Spaced << false;
        QTest::newRow("inner lowered") << Bevel::Lowered << true;
    }
    void bevelEdges() {
        QFETCH(Bevel, bevel);
        QFETCH(bool, inner);
        Scene scene;
        scene.panel->SetBevelOuter(inner ? Bevel::None : bevel);
        scene.panel->SetBevelInner(inner ? bevel : Bevel::None);
        scene.panel->SetBevelWidth(2);
        const bool lowered = bevel == Bevel::Lowered;
        const QRgb topLeft = lowered ? scene.Shadow() : scene.Highlight();
        const QRgb bottomRight = lowered ? scene.Highlight() : scene.Shadow();
        const int right = scene.panel->width() - 1;
        const int bottom = scene.panel->height() - 1;
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(scene.At(i, 50), topLeft);
            QCOMPARE(scene.At(80, i), topLeft);
            QCOMPARE(scene.At(right - i, 50), bottomRight);
            QCOMPARE(scene.At(80, bottom - i), bottomRight);
            QCOMPARE(scene.At(right - i, i), bottomRight);
            QCOMPARE(scene.At(i, bottom - i), bottomRight);
        }
        QCOMPARE(scene.At(2, 50), kPanel);
    }

    // The caption sits where its alignment puts it, mirrored right to left.
    void captionPlace_data() {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("rightToLeft");
        QTest::addColumn<int>("inkedThird");
        QTest::newRow("left") << int(Qt::AlignLeft) << false << 0;
        QTest::newRow("centre") << int(Qt::AlignHCenter) << false << 1;
        QTest::newRow("right") << int(Qt::AlignRight) << false << 2;
        QTest::newRow("left, right to left") << int(Qt::AlignLeft) << true << 2;
    }
    void captionPlace() {
        QFETCH(int, alignment);
        QFETCH(bool, rightToLeft);
        QFETCH(int, inkedThird);
        TTolvanPanel panel;
        panel.resize(300, 40);
        panel.SetBevelOuter(Bevel::None);
        panel.SetCaption("WWW");
        panel.SetAlignment(Qt::Alignment(alignment));
        panel.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        const QImage image = panel.grab().toImage();
        for (int third = 0; third < 3; ++third) {
            bool inked = false;
            for (int x = third * 100; x < third * 100 + 100 && !inked; ++x)
                for (int y = 0; y < image.height() && !inked; ++y) inked = image.pixel(x, y) != kPanel;
            QCOMPARE(inked, third == inkedThird);
        }
    }

    // Setting the current value repaints nothing; a change repaints the
    // panel and its direct children.
    void transparencyRepaints() {
        QWidget window;
        window.resize(200, 120);
        auto* panel = new TTolvanPanel(&window);
        panel->setGeometry(10, 10, 150, 90);
        auto* child = new QWidget(panel);
        child->setGeometry(5, 5, 20, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        PaintCounter panelPaints(panel);
        PaintCounter childPaints(child);

        panel->SetTransparent(false);
        QCoreApplication::processEvents();
        QCOMPARE(panelPaints.paints + childPaints.paints, 0);

        panel->SetTransparent(true);
        QCoreApplication::processEvents();
        QVERIFY(panelPaints.paints > 0);
        QVERIFY(childPaints.paints > 0);
        QVERIFY(!panel->testAttribute(Qt::WA_OpaquePaintEvent));
    }
};

QTEST_MAIN(TestTolvanPanel)
#include "tst_TolvanPanel.moc"
