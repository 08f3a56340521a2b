#include "DragEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace tolvan {

QString FirstDroppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) return url.toLocalFile();
    }
    return QString();
}

TDragEdit::TDragEdit(QWidget* parent) : QLineEdit(parent) {}

void TDragEdit::SetAcceptFiles(bool accept) { acceptFiles_ = accept; }

bool TDragEdit::Takes(const QString& path) const { return acceptFiles_ && (!AcceptsPath || AcceptsPath(path)); }

// A drag of local files never reaches QLineEdit's own handling, which would
// insert the file's URL as text at the cursor.
void TDragEdit::dragEnterEvent(QDragEnterEvent* event) {
    const QString file = FirstDroppedFile(event->mimeData());
    if (file.isEmpty()) {
        QLineEdit::dragEnterEvent(event);
    } else if (Takes(file)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TDragEdit::dragMoveEvent(QDragMoveEvent* event) {
    const QString file = FirstDroppedFile(event->mimeData());
    if (file.isEmpty()) {
        QLineEdit::dragMoveEvent(event);
    } else if (Takes(file)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TDragEdit::dropEvent(QDropEvent* event) {
    const QString file = FirstDroppedFile(event->mimeData());
    if (file.isEmpty()) {
        QLineEdit::dropEvent(event);
        return;
    }
    if (!Takes(file)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (OnDropFile) OnDropFile(this, file);
}

}  // namespace tolvan
