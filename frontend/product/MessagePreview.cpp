// GLib names struct fields "signals", which Qt's keyword macro would
// replace: its headers come first.
#include <gmime/gmime.h>

#include "MessagePreview.h"

#include <mutex>

#include <QFile>
#include <QStringDecoder>

namespace tolvan {

namespace {

void InitialiseGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Takes a string GMime allocated for the caller.
QString TakeText(char* text) {
    const QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

QString Addresses(InternetAddressList* list) {
    if (list == nullptr || internet_address_list_length(list) == 0) return QString();
    return TakeText(internet_address_list_to_string(list, nullptr, FALSE));
}

// Collects the first text part and the attachments' names.
void VisitPart(GMimeObject* /*parent*/, GMimeObject* part, gpointer data) {
    auto& preview = *static_cast<TMessagePreview*>(data);
    if (GMIME_IS_MESSAGE_PART(part)) {
        preview.attachments.append(QStringLiteral("(a forwarded message)"));
        return;
    }
    if (!GMIME_IS_PART(part)) return;
    GMimePart* leaf = GMIME_PART(part);
    const char* name = g_mime_part_get_filename(leaf);
    if (g_mime_part_is_attachment(leaf) || (name != nullptr && *name != '\0')) {
        preview.attachments.append(name ? QString::fromUtf8(name) : QStringLiteral("(no name)"));
        return;
    }
    if (!GMIME_IS_TEXT_PART(part)) return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    const bool plain = g_mime_content_type_is_type(type, "text", "plain");
    const bool html = g_mime_content_type_is_type(type, "text", "html");
    // A plain part wins over an HTML one; the first of its kind is taken.
    if (plain && (preview.body.isEmpty() || preview.bodyIsHtml)) {
        preview.body = TakeText(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        preview.bodyIsHtml = false;
    } else if (html && preview.body.isEmpty()) {
        preview.body = TakeText(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        preview.bodyIsHtml = true;
    }
}

}  // namespace

TMessagePreview ReadMessagePreview(const QString& path) {
    TMessagePreview preview;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        preview.error = QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString());
        return preview;
    }
    QByteArray bytes = file.read(kMaxPreviewBytes);
    InitialiseGMime();
    GMimeStream* stream =
        g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    if (message == nullptr) {
        // No header section at all (a message whose beginning was lost):
        // the text as it stands.
        QStringDecoder utf8(QStringDecoder::Utf8);
        preview.body = utf8.decode(bytes);
        if (utf8.hasError()) preview.body = QString::fromLatin1(bytes);
    } else {
        preview.subject = QString::fromUtf8(g_mime_message_get_subject(message));
        preview.from = Addresses(g_mime_message_get_from(message));
        preview.to = Addresses(g_mime_message_get_to(message));
        preview.cc = Addresses(g_mime_message_get_cc(message));
        if (GDateTime* date = g_mime_message_get_date(message))
            preview.date = TakeText(g_date_time_format(date, "%a, %d %b %Y %H:%M:%S %z"));
        g_mime_message_foreach(message, &VisitPart, &preview);
        g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return preview;
}

}  // namespace tolvan
