// TDragEdit: file drops on and off, only the first local file handed on,
// and drops nobody listens to.
#include <QtTest>

#include "DragEdit.h"

using namespace tolvan;

namespace {

bool Enter(TDragEdit& edit, const QMimeData& mime) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &enter);
    return enter.isAccepted();
}

// A drag that enters the edit and is dropped on it; true when the drop
// was taken.
bool Drop(TDragEdit& edit, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    Enter(edit, mime);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &drop);
    return drop.isAccepted();
}

}  // namespace

class TestDragEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyTheFirstLocalFile_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("file");
        QTest::newRow("several files") << QList<QUrl>{QUrl::fromLocalFile("/a/first.img"),
                                                      QUrl::fromLocalFile("/a/second.img")} << "/a/first.img";
        QTest::newRow("a web link first") << QList<QUrl>{QUrl("https://example.org/x"),
                                                         QUrl::fromLocalFile("/a/local.img")} << "/a/local.img";
        QTest::newRow("blanks and non-ASCII") << QList<QUrl>{QUrl::fromLocalFile("/home/jörg/My Disk.img")}
                                              << "/home/jörg/My Disk.img";
    }
    void onlyTheFirstLocalFile() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, file);
        TDragEdit edit;
        edit.SetAcceptFiles(true);
        QList<QPair<TDragEdit*, QString>> calls;
        edit.OnDropFile = [&calls](TDragEdit* sender, const QString& dropped) { calls.append({sender, dropped}); };
        QVERIFY(Drop(edit, urls));
        QCOMPARE(calls, (QList<QPair<TDragEdit*, QString>>{{&edit, file}}));
        QCOMPARE(edit.text(), QString());  // the owner decides what to show
    }

    void dropWithNobodyListening() {
        TDragEdit edit;
        edit.SetAcceptFiles(true);
        edit.setText("kept");
        QVERIFY(Drop(edit, {QUrl::fromLocalFile("/a/x.img")}));
        QCOMPARE(edit.text(), QString("kept"));
    }

    void filesRefusedWhileSwitchedOff() {
        TDragEdit edit;
        int calls = 0;
        edit.OnDropFile = [&calls](TDragEdit*, const QString&) { ++calls; };
        QVERIFY(!Drop(edit, {QUrl::fromLocalFile("/a/x.img")}));  // off at creation
        edit.SetAcceptFiles(true);
        edit.SetAcceptFiles(false);
        QVERIFY(!Drop(edit, {QUrl::fromLocalFile("/a/x.img")}));
        QCOMPARE(calls, 0);
    }

    // AcceptsPath picks what the edit takes; what it refuses is refused as
    // a drag and never lands in the text as a file URL.
    void onlyWhatAcceptsPathTakes() {
        TDragEdit edit;
        edit.SetAcceptFiles(true);
        edit.setText("typed");
        QStringList dropped;
        edit.OnDropFile = [&dropped](TDragEdit*, const QString& file) { dropped.append(file); };
        edit.AcceptsPath = [](const QString& path) { return path.endsWith("/folder"); };
        QVERIFY(!Drop(edit, {QUrl::fromLocalFile("/a/x.img")}));
        QVERIFY(Drop(edit, {QUrl::fromLocalFile("/a/folder")}));
        QCOMPARE(dropped, QStringList{"/a/folder"});
        QCOMPARE(edit.text(), QString("typed"));  // OnDropFile decides what the text becomes
    }
};

QTEST_MAIN(TestDragEdit)
#include "tst_DragEdit.moc"
