#include "TextFile.h"

#include <QByteArray>
#include <QFile>

namespace tolvan {

namespace {

// Lines are gathered into pieces of this size and each piece written at
// once: a log of a million lines costs a few dozen writes, and a write
// that fails is noticed when it happens, not at a later flush.
constexpr qsizetype kPiece = 64 * 1024;

bool WriteAll(QFile& file, const QByteArray& bytes) { return file.write(bytes) == bytes.size(); }

}  // namespace

TWriteResult WriteTextLines(const QString& path, const QStringList& lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return TWriteResult::CannotCreate;
    QByteArray piece;
    piece.reserve(kPiece + 1024);
    for (const QString& line : lines) {
        piece += line.toLocal8Bit();
        piece += "\r\n";
        if (piece.size() >= kPiece) {
            if (!WriteAll(file, piece)) return TWriteResult::WriteFailed;
            piece.clear();
        }
    }
    if (!piece.isEmpty() && !WriteAll(file, piece)) return TWriteResult::WriteFailed;
    file.close();
    return file.error() == QFileDevice::NoError ? TWriteResult::Written : TWriteResult::WriteFailed;
}

}  // namespace tolvan
