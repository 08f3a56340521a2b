// Every modal question, box and shell request of the windows goes through
// one replaceable object, so that tests can answer them without blocking
// and nothing a test does reaches the user's desktop.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

namespace tolvan {

class TTolvanPrompts {
public:
    virtual ~TTolvanPrompts() = default;

    // Modal message boxes with one OK button.
    virtual void Information(QWidget* parent, const QString& text);
    virtual void Error(QWidget* parent, const QString& text);
    // A Yes/No question; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text);
    // A warning with one button per choice; the index of the button
    // pressed, or -1 when the box was closed without one.
    virtual int Choose(QWidget* parent, const QString& text, const QStringList& buttons);
    // The application's standard error box for an error raised in a flow.
    virtual void ShowException(QWidget* parent, const QString& text);

    // Shows dialog modally and returns its result.
    virtual int Execute(QDialog& dialog);
    // Opens a folder, file or address with the desktop; false on failure.
    virtual bool OpenUrl(const QUrl& url);
    // True when the desktop has a program that shows folders (xdg-open and
    // the like); without one an open request can only fail.
    virtual bool CanOpenFolders();

    // The output-folder picker: starts at start, lets the user type a
    // folder that does not exist yet and creates it after asking. The
    // chosen folder, or an empty text when the user cancelled.
    virtual QString ChooseOutputFolder(QWidget* parent, const QString& start);
    // A plain folder browser; empty when cancelled.
    virtual QString ChooseDirectory(QWidget* parent, const QString& title, const QString& start);
    // An existing disk-image file to add as a source; empty when cancelled.
    virtual QString ChooseImageFile(QWidget* parent, const QString& start);
    // A file to write, asking before one is replaced; empty when cancelled.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                                   const QString& filter);
};

// The prompts in force: the desktop's unless a TPromptsOverride lives.
TTolvanPrompts& Prompts();

// Puts prompts in force for the life of this object.
class TPromptsOverride {
public:
    explicit TPromptsOverride(TTolvanPrompts& prompts);
    ~TPromptsOverride();
    TPromptsOverride(const TPromptsOverride&) = delete;
    TPromptsOverride& operator=(const TPromptsOverride&) = delete;

private:
    TTolvanPrompts* previous_;
};

}  // namespace tolvan
