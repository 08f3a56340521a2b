// A recovered message read for the report's preview pane: its main
// headers decoded, its text body decoded from its transfer encoding and
// character set, and the names of its attachments. MIME is read with
// GMime, which is made for exactly this and copes with the broken and
// truncated messages a recovery brings back.
#pragma once

#include <QString>
#include <QStringList>

namespace tolvan {

struct TMessagePreview {
    QString error;  // why the file could not be read; empty when it was
    QString from, to, cc, date, subject;
    QString body;             // the first text part; the whole text when there are no headers
    bool bodyIsHtml = false;  // true when the message has an HTML part only
    QStringList attachments;
};

// Reads the message in the file at path (at most kMaxPreviewBytes of it).
TMessagePreview ReadMessagePreview(const QString& path);

inline constexpr qint64 kMaxPreviewBytes = 32 * 1024 * 1024;

}  // namespace tolvan
