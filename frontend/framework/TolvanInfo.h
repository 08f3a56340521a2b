// The version numbers of a program file as text.
//
// Executables here have no version resource, so a program carries its
// version in a 32-byte marker record (VersionMarker.h): a 16-byte magic,
// then four little-endian 32-bit parts, file version most and least
// significant, product version most and least significant. Each part holds
// two 16-bit numbers, the high one first.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

namespace tolvan {

// The marker's size in bytes.
inline constexpr int kVersionMarkerSize = 32;

// The version text of the file at path: selector 0 the file version's most
// significant part ("1.0"), 1 its least significant part, 2 the whole file
// version ("1.0.0.0"), 3 to 5 the same for the product version. Empty when
// the file cannot be read, has no marker, or the selector is not 0..5.
QString FileVersionText(const QString& path, int selector);

// The marker record for these four parts, as an executable carries it.
QByteArray VersionMarkerRecord(uint32_t fileMost, uint32_t fileLeast, uint32_t productMost,
                               uint32_t productLeast);

}  // namespace tolvan
