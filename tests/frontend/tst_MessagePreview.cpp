// The preview of a recovered message: headers and body decoded, the
// attachments named, and what a broken or missing file gives.
#include <QtTest>

#include <QTemporaryDir>

#include "MessagePreview.h"

using namespace tolvan;

class TestMessagePreview : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(folder_.filePath(name));
        if (!file.open(QIODevice::WriteOnly)) return QString();
        file.write(bytes);
        return file.fileName();
    }

private Q_SLOTS:
    // Encoded words in the headers, a quoted-printable Latin-1 body, an
    // attachment: everything as a person reads it.
    void multipartWithEncodings() {
        const QString path = Write("multipart.eml",
                                   "From: =?iso-8859-1?Q?J=FCrgen_M=FCller?= <jm@example.de>\r\n"
                                   "To: anna@example.org\r\n"
                                   "Subject: =?utf-8?B?R3LDvMOfZSBhdXMgTcO8bmNoZW4=?=\r\n"
                                   "Date: Wed, 17 Mar 2004 14:05:00 +0100\r\n"
                                   "MIME-Version: 1.0\r\n"
                                   "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
                                   "--b1\r\n"
                                   "Content-Type: text/plain; charset=iso-8859-1\r\n"
                                   "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                   "Sch=F6ne Gr=FC=DFe\r\n"
                                   "--b1\r\n"
                                   "Content-Type: application/pdf; name=\"draft.pdf\"\r\n"
                                   "Content-Disposition: attachment; filename=\"draft.pdf\"\r\n"
                                   "Content-Transfer-Encoding: base64\r\n\r\n"
                                   "JVBERi0=\r\n"
                                   "--b1--\r\n");
        const TMessagePreview preview = ReadMessagePreview(path);
        QVERIFY(preview.error.isEmpty());
        QCOMPARE(preview.subject, QString::fromUtf8("Grüße aus München"));
        QVERIFY2(preview.from.contains(QString::fromUtf8("Jürgen Müller")),
                 qPrintable(preview.from));
        QVERIFY(preview.to.contains("anna@example.org"));
        QVERIFY2(preview.date.startsWith("Wed, 17 Mar 2004 14:05:00"), qPrintable(preview.date));
        QCOMPARE(preview.body.trimmed(), QString::fromUtf8("Schöne Grüße"));
        QVERIFY(!preview.bodyIsHtml);
        QCOMPARE(preview.attachments, QStringList{"draft.pdf"});
    }

    // An HTML-only message says so; the plain part wins when both exist.
    void htmlAndAlternative() {
        const TMessagePreview html = ReadMessagePreview(
            Write("html.eml",
                  "Subject: h\r\nContent-Type: text/html\r\n\r\n<p>Hello <b>there</b></p>\r\n"));
        QVERIFY(html.bodyIsHtml);
        QVERIFY(html.body.contains("<b>there</b>"));
        const TMessagePreview both = ReadMessagePreview(
            Write("alternative.eml",
                  "Subject: a\r\nContent-Type: multipart/alternative; boundary=x\r\n\r\n"
                  "--x\r\nContent-Type: text/html\r\n\r\n<p>rich</p>\r\n"
                  "--x\r\nContent-Type: text/plain\r\n\r\nplain\r\n--x--\r\n"));
        QVERIFY(!both.bodyIsHtml);
        QCOMPARE(both.body.trimmed(), QString("plain"));
    }

    // A tail without headers (a message whose beginning was overwritten)
    // still shows its text; a missing file says why.
    void brokenAndMissing() {
        const TMessagePreview tail =
            ReadMessagePreview(Write("tail.eml", "the rest of a body\r\nwithout headers\r\n"));
        QVERIFY(tail.error.isEmpty());
        QVERIFY(tail.subject.isEmpty());
        QVERIFY2(tail.body.contains("without headers"), qPrintable(tail.body));
        const TMessagePreview missing = ReadMessagePreview(folder_.filePath("gone.eml"));
        QVERIFY(missing.error.startsWith("Cannot read '"));
    }
};

QTEST_GUILESS_MAIN(TestMessagePreview)
#include "tst_MessagePreview.moc"
