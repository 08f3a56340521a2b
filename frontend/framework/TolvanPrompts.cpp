#include "TolvanPrompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include "FolderDialog.h"

namespace tolvan {

namespace {

TTolvanPrompts desktopPrompts;
TTolvanPrompts* current = &desktopPrompts;

}  // namespace

void TTolvanPrompts::Information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Information"), text, QMessageBox::Ok);
}

void TTolvanPrompts::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Error"), text, QMessageBox::Ok);
}

bool TTolvanPrompts::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int TTolvanPrompts::Choose(QWidget* parent, const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> added;
    for (const QString& caption : buttons) added.append(box.addButton(caption, QMessageBox::AcceptRole));
    if (!added.isEmpty()) box.setDefaultButton(static_cast<QPushButton*>(added.last()));
    box.exec();
    return static_cast<int>(added.indexOf(box.clickedButton()));
}

void TTolvanPrompts::ShowException(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

int TTolvanPrompts::Execute(QDialog& dialog) { return dialog.exec(); }

bool TTolvanPrompts::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool TTolvanPrompts::CanOpenFolders() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt hands folders to the desktop's opener; without one it can only fail.
    for (const char* opener : {"xdg-open", "gio", "kde-open", "kde-open5", "gnome-open"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(opener)).isEmpty()) return true;
    }
    return false;
#else
    return true;
#endif
}

QString TTolvanPrompts::ChooseOutputFolder(QWidget* parent, const QString& start) {
    TFolderDialog dialog(parent, start);
    return dialog.exec() == QDialog::Accepted ? dialog.ChosenFolder() : QString();
}

QString TTolvanPrompts::ChooseDirectory(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString TTolvanPrompts::ChooseImageFile(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("Add a disk image file"), start,
        QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso *.001 *.E01 *.e01 *.S01 *.s01 "
                       "*.aff *.afd *.afm *.vmdk *.vhd *.vhdx);;All files (*)"));
}

QString TTolvanPrompts::ChooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                      const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, start, filter);
}

TTolvanPrompts& Prompts() { return *current; }

TPromptsOverride::TPromptsOverride(TTolvanPrompts& prompts) : previous_(current) { current = &prompts; }

TPromptsOverride::~TPromptsOverride() { current = previous_; }

}  // namespace tolvan
