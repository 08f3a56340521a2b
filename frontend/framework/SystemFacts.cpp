#include "SystemFacts.h"

#include <cerrno>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "TolvanInfo.h"

extern char** environ;

namespace tolvan {

namespace {

// The whole of a small kernel text; empty when it cannot be read.
QString ReadProcText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLocal8Bit(file.readAll());
}

// The number after "name:" of a "name: value kB" line, in bytes; 0 when
// the line is missing.
uint64_t KilobyteField(const QString& text, const QString& name) {
    const QRegularExpression pattern(QStringLiteral("^%1:\\s*(\\d+)").arg(QRegularExpression::escape(name)),
                                     QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toULongLong() * 1024 : 0;
}

int LeadingNumber(const QString& part) {
    qsizetype digits = 0;
    while (digits < part.size() && part[digits].isDigit()) ++digits;
    return part.left(digits).toInt();
}

void ReadOperatingSystem(TSystemFacts& facts) {
    struct utsname name;
    if (::uname(&name) != 0) return;
    facts.osName = QString::fromLocal8Bit(name.sysname);
    ParseKernelRelease(QString::fromLocal8Bit(name.release), facts.osMajor, facts.osMinor, facts.osBuild);
}

// The folder the C library was loaded from, with links resolved
// (/usr/lib/x86_64-linux-gnu on a Debian system).
TDirectoryFact SystemLibraryFolder() {
    Dl_info info;
    if (::dladdr(reinterpret_cast<void*>(&::getpid), &info) == 0 || info.dli_fname == nullptr)
        return {QString(), ENOENT};
    const QString folder = QFileInfo(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath()).path();
    if (folder.isEmpty() || folder == QLatin1String(".")) return {QString(), ENOENT};
    return {folder, 0};
}

void ReadVirtualMemory(TMemoryFacts& memory) {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        memory.totalVirtual = limit.rlim_cur;
    else
        memory.totalVirtual = UserAddressSpace(ReadProcText(QStringLiteral("/proc/self/maps")));
    const uint64_t used = KilobyteField(ReadProcText(QStringLiteral("/proc/self/status")), QStringLiteral("VmSize"));
    memory.freeVirtual = memory.totalVirtual > used ? memory.totalVirtual - used : 0;
}

QStringList ProcessEnvironment() {
    QStringList lines;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        lines.append(QString::fromLocal8Bit(*entry));
    return lines;
}

TVolumeFact MeasureVolume(const TSystemVolume& volume, const QHash<QString, QString>& mounts) {
    TVolumeFact fact{volume.root, volume.type};
    if (volume.type != TDriveType::Fixed) return fact;
    const QString node = QFileInfo(volume.root).canonicalFilePath();
    const QString mountPoint = mounts.value(node.isEmpty() ? volume.root : node);
    if (mountPoint.isEmpty()) return fact;
    fact.mounted = true;
    struct statvfs status;
    if (::statvfs(QFile::encodeName(mountPoint).constData(), &status) == 0) {
        fact.totalBytes = static_cast<int64_t>(status.f_blocks) * static_cast<int64_t>(status.f_frsize);
        fact.freeBytes = static_cast<int64_t>(status.f_bavail) * static_cast<int64_t>(status.f_frsize);
    }
    return fact;
}

// The mount table keyed by each device's resolved node, so that a volume
// mounted through a link (/dev/disk/by-uuid/...) is found by its own node.
QHash<QString, QString> ResolvedMountTable() {
    QHash<QString, QString> resolved;
    const QHash<QString, QString> table = ParseMountTable(ReadProcText(QStringLiteral("/proc/self/mounts")));
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        // Only paths are resolved: "proc" or "tmpfs" name no file.
        const QString node =
            it.key().startsWith(QLatin1Char('/')) ? QFileInfo(it.key()).canonicalFilePath() : QString();
        const QString key = node.isEmpty() ? it.key() : node;
        if (!resolved.contains(key)) resolved.insert(key, it.value());
    }
    return resolved;
}

}  // namespace

void ParseKernelRelease(const QString& release, int& major, int& minor, int& patch) {
    const QStringList parts = release.split(QLatin1Char('.'));
    major = parts.size() > 0 ? LeadingNumber(parts[0]) : 0;
    minor = parts.size() > 1 ? LeadingNumber(parts[1]) : 0;
    patch = parts.size() > 2 ? LeadingNumber(parts[2]) : 0;
}

void ParseMemInfo(const QString& text, TMemoryFacts& memory) {
    memory.totalPhysical = KilobyteField(text, QStringLiteral("MemTotal"));
    memory.freePhysical = KilobyteField(text, QStringLiteral("MemAvailable"));
    memory.totalPageFile = KilobyteField(text, QStringLiteral("SwapTotal"));
    memory.freePageFile = KilobyteField(text, QStringLiteral("SwapFree"));
    memory.load = 0;
    if (memory.totalPhysical > 0 && memory.freePhysical <= memory.totalPhysical) {
        const uint64_t used = memory.totalPhysical - memory.freePhysical;
        memory.load = static_cast<uint32_t>((used * 100 + memory.totalPhysical / 2) / memory.totalPhysical);
    }
}

QHash<QString, QString> ParseMountTable(const QString& text) {
    static const QRegularExpression octal(QStringLiteral("\\\\([0-7]{3})"));
    const auto unescape = [](QString field) {
        QRegularExpressionMatch match;
        qsizetype from = 0;
        while ((match = octal.match(field, from)).hasMatch()) {
            const QChar character(match.captured(1).toUShort(nullptr, 8));
            field.replace(match.capturedStart(), match.capturedLength(), character);
            from = match.capturedStart() + 1;
        }
        return field;
    };
    QHash<QString, QString> mounts;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2) continue;
        const QString device = unescape(fields[0]);
        if (!mounts.contains(device)) mounts.insert(device, unescape(fields[1]));
    }
    return mounts;
}

uint64_t UserAddressSpace(const QString& maps) {
    uint64_t highest = 0;
    for (const QString& line : maps.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype dash = line.indexOf(QLatin1Char('-'));
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        if (dash <= 0 || space <= dash) continue;
        bool ok = false;
        const uint64_t end = line.mid(dash + 1, space - dash - 1).toULongLong(&ok, 16);
        if (ok && end < (uint64_t{1} << 63) && end > highest) highest = end;
    }
    if (highest == 0) return 0;
    uint64_t span = 1;
    while (span < highest) span <<= 1;
    return span;
}

TSystemFacts HostSystemFacts(const QString& programPath, const QList<TSystemVolume>& volumes) {
    TSystemFacts facts;
    facts.fileVersion = FileVersionText(programPath, 2);
    facts.productVersion = FileVersionText(programPath, 5);
    ReadOperatingSystem(facts);
    facts.windowsDirectory = {QStringLiteral("/"), 0};
    facts.systemDirectory = SystemLibraryFolder();
    QString temporary = QDir::tempPath();
    if (!temporary.endsWith(QLatin1Char('/'))) temporary += QLatin1Char('/');
    facts.temporaryDirectory = {temporary, 0};
    ParseMemInfo(ReadProcText(QStringLiteral("/proc/meminfo")), facts.memory);
    ReadVirtualMemory(facts.memory);
    facts.environment = ProcessEnvironment();
    const QHash<QString, QString> mounts = ResolvedMountTable();
    for (const TSystemVolume& volume : volumes) facts.volumes.append(MeasureVolume(volume, mounts));
    return facts;
}

}  // namespace tolvan
