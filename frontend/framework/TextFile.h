// Writing the saved log: plain 8-bit text in the system's encoding, every
// line (the last one too) ended by CR LF.
#pragma once

#include <QString>
#include <QStringList>

namespace tolvan {

enum class TWriteResult {
    Written,
    CannotCreate,  // the file could not be created or replaced: nothing written
    WriteFailed,   // writing stopped part-way: the file keeps what was written
};

// Creates or replaces the file at path with lines; an empty list gives an
// empty file.
TWriteResult WriteTextLines(const QString& path, const QStringList& lines);

}  // namespace tolvan
