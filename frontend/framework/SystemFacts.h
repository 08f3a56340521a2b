// The facts of this machine for the system-information report, and the
// parsers of the kernel's texts they are read from (pure, for tests).
//
// What fills each section here:
// - operating system: uname's system name ("Linux") and the major, minor
//   and patch numbers of the kernel release;
// - directories: the root of the file system for the Windows directory,
//   the folder of the C library for the system directory, the temporary
//   folder with its trailing '/';
// - memory (/proc/meminfo): the load is the share of MemTotal that is not
//   MemAvailable; physical memory is MemTotal and MemAvailable, the page
//   file is the swap space; virtual memory is the process's address space:
//   its RLIMIT_AS, or without a limit the span of the user address space
//   (the power of two above the highest user mapping), and the free part is
//   that less the process's current size (VmSize);
// - environment: the process's environment, in its own order;
// - drives: the volumes given, only fixed ones looked up in the mount
//   table and measured with statvfs (free = what an unprivileged user may
//   use).
#pragma once

#include <cstdint>

#include <QHash>
#include <QList>
#include <QString>

#include "SystemInfo.h"

namespace tolvan {

// The facts of this machine at this moment; programPath names the file
// whose version the report gives.
TSystemFacts HostSystemFacts(const QString& programPath, const QList<TSystemVolume>& volumes);

// The leading numbers of a kernel release: "6.1.0-18-amd64" gives 6, 1, 0;
// a missing or non-numeric part gives 0.
void ParseKernelRelease(const QString& release, int& major, int& minor, int& patch);

// Fills the load and the physical and page-file figures from the text of
// /proc/meminfo; missing fields count as 0.
void ParseMemInfo(const QString& text, TMemoryFacts& memory);

// The mount point of each device of the text of /proc/self/mounts (the
// first one listed), with the table's octal escapes ("\040") undone.
QHash<QString, QString> ParseMountTable(const QString& text);

// The size of the user address space: the power of two above the highest
// end address below the kernel's half in the text of /proc/self/maps; 0
// when there is none.
uint64_t UserAddressSpace(const QString& maps);

}  // namespace tolvan
