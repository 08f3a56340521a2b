#include "SystemInfo.h"

#include "TolvanUtils.h"

namespace tolvan {

namespace {

QString Separator() { return QString::fromLatin1(kSeparatorLine); }

QString Bytes(int64_t value, const QLocale& locale) { return WholeNumberText(value, locale); }

QString Bytes(uint64_t value, const QLocale& locale) {
    return WholeNumberText(static_cast<qlonglong>(value), locale);
}

void AddVersionSection(QStringList& lines, const TSystemFacts& facts) {
    lines.append(QStringLiteral(" Version Information:"));
    lines.append(QStringLiteral("File Version: ") + facts.fileVersion);
    lines.append(QStringLiteral("Product Version: ") + facts.productVersion);
}

void AddOperatingSystemSection(QStringList& lines, const TSystemFacts& facts) {
    lines.append(QString::asprintf("Operating System: %s %d.%.2d.%d", facts.osName.toUtf8().constData(),
                                   facts.osMajor, facts.osMinor, facts.osBuild));
}

QString DirectoryText(const TDirectoryFact& directory) {
    if (!directory.path.isEmpty()) return directory.path;
    return QString::asprintf("Cannot get the required infomation. Error Code: %d.", directory.errorCode);
}

void AddDirectoriesSection(QStringList& lines, const TSystemFacts& facts) {
    lines.append(QStringLiteral("Windows Directory: ") + DirectoryText(facts.windowsDirectory));
    lines.append(QStringLiteral("System Directory: ") + DirectoryText(facts.systemDirectory));
    lines.append(QStringLiteral("Temporary Directory: ") + DirectoryText(facts.temporaryDirectory));
}

void AddMemorySection(QStringList& lines, const TMemoryFacts& memory, const QLocale& locale) {
    const auto line = [&](const char* prompt, uint64_t value) {
        lines.append(QLatin1String(prompt) + Bytes(value, locale) + QStringLiteral(" bytes"));
    };
    lines.append(QStringLiteral("Memory Status:"));
    lines.append(QStringLiteral("Memory in use: %1%").arg(memory.load));
    line("Total physical memory: ", memory.totalPhysical);
    line("Free physical memory: ", memory.freePhysical);
    line("Total page file memory: ", memory.totalPageFile);
    line("Free page file memory: ", memory.freePageFile);
    line("Total virtual memory: ", memory.totalVirtual);
    line("Free virtual memory: ", memory.freeVirtual);
}

void AddEnvironmentSection(QStringList& lines, const TSystemFacts& facts) {
    lines.append(QStringLiteral("Environment Information:"));
    lines.append(facts.environment);
}

// Removable, network and CD drives are never asked for their sizes, so
// that no media is touched; a fixed volume only when it is mounted.
void AddDrivesSection(QStringList& lines, const TSystemFacts& facts, const QLocale& locale) {
    lines.append(QStringLiteral("Drive Information:"));
    for (const TVolumeFact& volume : facts.volumes) {
        const QString prefix = volume.root + QStringLiteral(", ") + DriveTypeName(volume.type);
        if (volume.type == TDriveType::Fixed && volume.mounted)
            lines.append(prefix + QStringLiteral(", Total Disk Spaces: ") + Bytes(volume.totalBytes, locale) +
                         QStringLiteral(" bytes, Free Disk Spaces: ") + Bytes(volume.freeBytes, locale) +
                         QStringLiteral(" bytes."));
        else
            lines.append(prefix);
    }
}

}  // namespace

QString DriveTypeName(TDriveType type) {
    switch (type) {
    case TDriveType::InvalidRoot: return QStringLiteral("Invalid Root Path");
    case TDriveType::Removable: return QStringLiteral("Removable Drive");
    case TDriveType::Fixed: return QStringLiteral("Fixed Drive");
    case TDriveType::Remote: return QStringLiteral("Remote Network Drive");
    case TDriveType::Cdrom: return QStringLiteral("CD-ROM Drive");
    case TDriveType::RamDisk: return QStringLiteral("RAM Disk");
    case TDriveType::Unknown: break;
    }
    return QStringLiteral("Unknown Drive Type");
}

void AddSystemInfo(QStringList& lines, const TSystemFacts& facts, const QLocale& locale) {
    AddVersionSection(lines, facts);
    lines.append(Separator());
    AddOperatingSystemSection(lines, facts);
    lines.append(Separator());
    AddDirectoriesSection(lines, facts);
    lines.append(Separator());
    AddMemorySection(lines, facts.memory, locale);
    lines.append(Separator());
    AddEnvironmentSection(lines, facts);
    lines.append(Separator());
    AddDrivesSection(lines, facts, locale);
    lines.append(Separator());
    lines.append(QStringLiteral("End of System Information"));
    lines.append(Separator());
}

}  // namespace tolvan
