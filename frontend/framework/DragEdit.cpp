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

void TDragEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (FirstDroppedFile(event->mimeData()).isEmpty()) {
        QLineEdit::dragEnterEvent(event);
    } else if (acceptFiles_) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TDragEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (FirstDroppedFile(event->mimeData()).isEmpty()) {
        QLineEdit::dragMoveEvent(event);
    } else if (acceptFiles_) {
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
    if (!acceptFiles_) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (OnDropFile) OnDropFile(this, file);
}

}  // namespace tolvan
