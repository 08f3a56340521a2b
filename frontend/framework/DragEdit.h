// A single-line edit that takes a file dropped on it from the file manager
// and hands its path to the owner.
#pragma once

#include <functional>

#include <QLineEdit>

class QMimeData;

namespace tolvan {

class TDragEdit : public QLineEdit {
    Q_OBJECT

public:
    // Sender: the edit; AFile: the dropped file's full path.
    using TDropEvent = std::function<void(TDragEdit* Sender, const QString& AFile)>;

    explicit TDragEdit(QWidget* parent = nullptr);

    // Switches the taking of file drops on or off (off at creation). While
    // off, a drag of files is refused; text drags work as in any edit.
    void SetAcceptFiles(bool accept);
    bool AcceptsFiles() const { return acceptFiles_; }

    // Called once per file drop, with the first dropped local file; a drop
    // while it is unassigned is taken and does nothing.
    TDropEvent OnDropFile;
    // Decides which dropped paths the edit takes (a folder, say); while it
    // is unassigned every local file or folder is taken. A path it refuses
    // is refused as a drag, so it never lands in the text.
    std::function<bool(const QString& path)> AcceptsPath;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // True when a drag carries a path this edit takes.
    bool Takes(const QString& path) const;

    bool acceptFiles_ = false;
};

// The path of the first local file among the dragged URLs; empty when there
// is none. A folder counts as a file.
QString FirstDroppedFile(const QMimeData* mime);

}  // namespace tolvan
