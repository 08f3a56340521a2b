#include "TolvanPrompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
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

void TTolvanPrompts::ShowException(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

int TTolvanPrompts::Execute(QDialog& dialog) { return dialog.exec(); }

bool TTolvanPrompts::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

QString TTolvanPrompts::ChooseOutputFolder(QWidget* parent, const QString& start) {
    TFolderDialog dialog(parent, start);
    return dialog.exec() == QDialog::Accepted ? dialog.ChosenFolder() : QString();
}

QString TTolvanPrompts::ChooseDirectory(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString TTolvanPrompts::ChooseImageFile(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Add a disk image file"), start,
                                        QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso);;All files (*)"));
}

TTolvanPrompts& Prompts() { return *current; }

TPromptsOverride::TPromptsOverride(TTolvanPrompts& prompts) : previous_(current) { current = &prompts; }

TPromptsOverride::~TPromptsOverride() { current = previous_; }

}  // namespace tolvan
