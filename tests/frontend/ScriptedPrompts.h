// Answers the windows' modal boxes, dialogs and shell requests without
// blocking, and records what was asked, in order.
#pragma once

#include <functional>

#include <QDialog>
#include <QStringList>
#include <QUrl>

#include "TolvanPrompts.h"

namespace tolvan::testing {

struct ScriptedPrompts final : TTolvanPrompts {
    // What was shown: "information: <text>", "error: <text>",
    // "exception: <text>", "confirm: <text>", "choose: <text> [<buttons>]",
    // "dialog: <class name>".
    QStringList shown;
    QList<QUrl> opened;
    bool shellWorks = true;
    bool confirmAnswer = true;
    QString folderAnswer;  // ChooseOutputFolder and ChooseDirectory
    QString fileAnswer;    // ChooseImageFile
    QString saveAnswer;    // ChooseSaveFile
    QList<int> choiceAnswers;  // Choose, in turn; 0 (the first button) once they run out
    // Runs while a dialog is "shown"; its result is the dialog's.
    std::function<int(QDialog&)> onDialog;
    // Runs while an information box is "shown".
    std::function<void(const QString&)> onInformation;

    void Information(QWidget*, const QString& text) override {
        shown.append("information: " + text);
        if (onInformation) onInformation(text);
    }
    void Error(QWidget*, const QString& text) override { shown.append("error: " + text); }
    bool Confirm(QWidget*, const QString& text) override {
        shown.append("confirm: " + text);
        return confirmAnswer;
    }
    int Choose(QWidget*, const QString& text, const QStringList& buttons) override {
        shown.append("choose: " + text + " [" + buttons.join(" | ") + "]");
        return choiceAnswers.isEmpty() ? 0 : choiceAnswers.takeFirst();
    }
    void ShowException(QWidget*, const QString& text) override { shown.append("exception: " + text); }
    int Execute(QDialog& dialog) override {
        shown.append(QStringLiteral("dialog: ") + dialog.metaObject()->className());
        return onDialog ? onDialog(dialog) : QDialog::Rejected;
    }
    bool OpenUrl(const QUrl& url) override {
        opened.append(url);
        return shellWorks;
    }
    QString ChooseOutputFolder(QWidget*, const QString&) override { return folderAnswer; }
    QString ChooseDirectory(QWidget*, const QString&, const QString&) override { return folderAnswer; }
    QString ChooseImageFile(QWidget*, const QString&) override { return fileAnswer; }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return saveAnswer; }
    bool CanOpenFolders() override { return folderOpener; }
    bool folderOpener = true;
};

}  // namespace tolvan::testing
