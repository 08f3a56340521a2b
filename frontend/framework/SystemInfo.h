// The system-information report of the saved log: six sections (version,
// operating system, directories, memory, environment, drives) written from
// a record of the machine's facts, so that the texts do not depend on where
// the facts come from (SystemFacts.h reads them from this machine).
#pragma once

#include <cstdint>

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace tolvan {

// The kinds of drive the report names, numbered as the report's table.
enum class TDriveType {
    Unknown = 0,
    InvalidRoot = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    Cdrom = 5,
    RamDisk = 6,
};

// "Removable Drive", "Fixed Drive", ...; "Unknown Drive Type" for a value
// outside the table.
QString DriveTypeName(TDriveType type);

// A volume the report lists: its root (the device node here) and kind.
struct TSystemVolume {
    QString root;
    TDriveType type = TDriveType::Unknown;
};

// A folder of the directories section, or why it could not be had.
struct TDirectoryFact {
    QString path;        // empty: unknown, errorCode tells why
    int errorCode = 0;
};

// The memory section's figures, in bytes except the load in percent.
struct TMemoryFacts {
    uint32_t load = 0;
    uint64_t totalPhysical = 0;
    uint64_t freePhysical = 0;
    uint64_t totalPageFile = 0;
    uint64_t freePageFile = 0;
    uint64_t totalVirtual = 0;
    uint64_t freeVirtual = 0;
};

// One line of the drives section. Only a fixed volume that is mounted has
// sizes to report; a size that could not be read is -1.
struct TVolumeFact {
    QString root;
    TDriveType type = TDriveType::Unknown;
    bool mounted = false;
    int64_t totalBytes = -1;
    int64_t freeBytes = -1;
};

struct TSystemFacts {
    QString fileVersion;     // FileVersionText selector 2 of the program
    QString productVersion;  // selector 5
    QString osName;          // empty with 0.00.0 when the system says nothing
    int osMajor = 0;
    int osMinor = 0;
    int osBuild = 0;
    TDirectoryFact windowsDirectory;
    TDirectoryFact systemDirectory;
    TDirectoryFact temporaryDirectory;
    TMemoryFacts memory;
    QStringList environment;  // "NAME=value", in the process's order
    QList<TVolumeFact> volumes;
};

// Appends the report, from the version section to the closing separator,
// one line per entry; byte counts with locale's thousands separators.
void AddSystemInfo(QStringList& lines, const TSystemFacts& facts, const QLocale& locale = QLocale());

}  // namespace tolvan
