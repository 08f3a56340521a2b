// The output-folder picker: a folder typed that does not exist is
// created after the question, or not at all.
#include <QtTest>

#include "FolderDialog.h"
#include "ScriptedPrompts.h"

using namespace tolvan;
using namespace tolvan::testing;

class TestFolderDialog : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

private Q_SLOTS:
    void nearestExistingFolder_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing") << "." << "";
        QTest::newRow("missing below an existing one") << "a/b/c" << "";
        QTest::newRow("empty") << "" << QDir::homePath();
    }
    void nearestExistingFolder() {
        QFETCH(QString, start);
        QFETCH(QString, expected);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        const QString found = NearestExistingFolder(start.isEmpty() ? start : folder_.filePath(start));
        QDir::setCurrent(previous);
        QCOMPARE(found, expected.isEmpty() ? QDir::cleanPath(folder_.path()) : expected);
    }

    void missingFolderIsCreatedAfterTheQuestion_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void missingFolderIsCreatedAfterTheQuestion() {
        QFETCH(bool, confirm);
        ScriptedPrompts prompts;
        prompts.confirmAnswer = confirm;
        const TPromptsOverride answers(prompts);
        const QString wanted = folder_.filePath(confirm ? "new/deeper" : "refused/deeper");
        TFolderDialog dialog(nullptr, folder_.path());
        dialog.selectFile(wanted);
        dialog.accept();
        QCOMPARE(prompts.shown, QStringList{"confirm: The specified directory does not exist. Create it?"});
        QCOMPARE(QFileInfo(wanted).isDir(), confirm);
        QCOMPARE(dialog.result(), confirm ? int(QDialog::Accepted) : int(QDialog::Rejected));
        if (confirm) QCOMPARE(dialog.ChosenFolder(), wanted);
    }
};

QTEST_MAIN(TestFolderDialog)
#include "tst_FolderDialog.moc"
