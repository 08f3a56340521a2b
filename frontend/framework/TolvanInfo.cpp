#include "TolvanInfo.h"

#include <QByteArrayMatcher>
#include <QFile>

namespace tolvan {

namespace {

// The magic, each byte XORed with kScramble. The reader must not carry the
// magic itself, or every binary that links it would seem to have a
// version; volatile keeps the compiler from folding the unscrambled bytes
// back into the code.
constexpr unsigned char kScramble = 0x5A;
#define SCRAMBLED(c) static_cast<unsigned char>((c) ^ kScramble)
volatile const unsigned char kScrambledMagic[16] = {
    SCRAMBLED(0xC3), SCRAMBLED('O'), SCRAMBLED('S'), SCRAMBLED('T'), SCRAMBLED('R'), SCRAMBLED('E'),
    SCRAMBLED('L'),  SCRAMBLED('-'), SCRAMBLED('V'), SCRAMBLED('E'), SCRAMBLED('R'), SCRAMBLED('S'),
    SCRAMBLED('I'),  SCRAMBLED('O'), SCRAMBLED('N'), SCRAMBLED(0x3C),
};
#undef SCRAMBLED

QByteArray Magic() {
    QByteArray magic(sizeof kScrambledMagic, '\0');
    for (size_t i = 0; i < sizeof kScrambledMagic; ++i)
        magic[static_cast<qsizetype>(i)] = static_cast<char>(kScrambledMagic[i] ^ kScramble);
    return magic;
}

void AppendLittleEndian(QByteArray& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

uint32_t LittleEndianAt(const QByteArray& bytes, qsizetype at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct VersionParts {
    uint32_t parts[4];  // file most, file least, product most, product least
};

// Looks for the first marker in the file, a chunk at a time; chunks
// overlap by a marker's length less one, so no marker falls between two.
bool FindMarker(const QString& path, VersionParts& found) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray magic = Magic();
    const QByteArrayMatcher matcher(magic);
    constexpr qint64 kChunk = 1 << 20;
    QByteArray window;
    while (true) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) return false;
        window += chunk;
        qsizetype at = matcher.indexIn(window);
        while (at >= 0 && window.size() - at < kVersionMarkerSize) {
            // A magic too close to the end: complete it with the next chunk
            // unless this was the last one.
            const QByteArray more = file.read(kChunk);
            if (more.isEmpty()) return false;
            window += more;
            at = matcher.indexIn(window, at);
        }
        if (at >= 0) {
            for (int i = 0; i < 4; ++i) found.parts[i] = LittleEndianAt(window, at + magic.size() + 4 * i);
            return true;
        }
        window = window.right(kVersionMarkerSize - 1);
    }
}

QString PartText(uint32_t part) { return QString::asprintf("%d.%d", int(part >> 16), int(part & 0xFFFF)); }

QString PairText(uint32_t most, uint32_t least) {
    return PartText(most) + QLatin1Char('.') + PartText(least);
}

}  // namespace

QString FileVersionText(const QString& path, int selector) {
    if (selector < 0 || selector > 5) return QString();
    VersionParts version;
    if (!FindMarker(path, version)) return QString();
    const uint32_t most = version.parts[selector < 3 ? 0 : 2];
    const uint32_t least = version.parts[selector < 3 ? 1 : 3];
    switch (selector % 3) {
    case 0: return PartText(most);
    case 1: return PartText(least);
    default: return PairText(most, least);
    }
}

QByteArray VersionMarkerRecord(uint32_t fileMost, uint32_t fileLeast, uint32_t productMost,
                               uint32_t productLeast) {
    QByteArray record = Magic();
    AppendLittleEndian(record, fileMost);
    AppendLittleEndian(record, fileLeast);
    AppendLittleEndian(record, productMost);
    AppendLittleEndian(record, productLeast);
    return record;
}

}  // namespace tolvan
