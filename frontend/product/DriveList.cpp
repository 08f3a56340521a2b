#include "DriveList.h"

#include <algorithm>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DeviceAccess.h"
#include "TolvanUtils.h"

namespace tolvan {

namespace {

// A sysfs attribute without its line end; null when it is missing.
QString ReadAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLocal8Bit(file.read(4096)).trimmed();
}

// The name of the node under /dev: DEVNAME of the uevent attribute, which
// knows nodes in subfolders; else the sysfs name, in which the kernel
// writes '!' for '/'.
QString NodeName(const QString& sysfsFolder, const QString& name) {
    const QString uevent = ReadAttribute(sysfsFolder + QStringLiteral("/uevent"));
    for (const QString& line : uevent.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("DEVNAME="))) {
            const QString node = line.mid(8).trimmed();
            if (!node.isEmpty()) return node;
        }
    }
    QString node = name;
    return node.replace(QLatin1Char('!'), QLatin1Char('/'));
}

enum class BlockKind { Disk, CdromVolume, RamVolume, Unused };

BlockKind KindOf(const QString& blockFolder, const QString& name) {
    if (name.startsWith(QLatin1String("sr"))) return BlockKind::CdromVolume;
    if (name.startsWith(QLatin1String("ram")) || name.startsWith(QLatin1String("zram")))
        return BlockKind::RamVolume;
    // A loop device without a backing file is an unused slot, not a disk.
    if (name.startsWith(QLatin1String("loop")) &&
        !QFileInfo::exists(blockFolder + QStringLiteral("/loop/backing_file")))
        return BlockKind::Unused;
    return BlockKind::Disk;
}

// The kind of a volume on a device of this kind: its partitions, or the
// device itself when it is a CD or RAM drive.
TVolumeKind VolumeKind(BlockKind kind, bool removableDisk) {
    if (kind == BlockKind::CdromVolume) return TVolumeKind::Cdrom;
    if (kind == BlockKind::RamVolume) return TVolumeKind::Ram;
    return removableDisk ? TVolumeKind::Removable : TVolumeKind::Fixed;
}

QString TypeText(TVolumeKind kind) {
    switch (kind) {
    case TVolumeKind::Removable: return QStringLiteral("Floppy Drive");
    case TVolumeKind::Cdrom: return QStringLiteral("CDROM Drive");
    case TVolumeKind::Ram: return QStringLiteral("RAM Drive");
    case TVolumeKind::Fixed: break;
    }
    return QStringLiteral("Fixed Drive");
}

struct Disk {
    QString name;  // the sysfs name, for ordering
    QString node;
};

void SortByName(auto& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.name, b.name); });
}

// The volumes and whole disks under the system's /sys/block, each sorted
// by its sysfs name.
void ScanBlockDevices(const TDriveSystem& system, std::vector<TVolumeEntry>& volumes, std::vector<Disk>& disks) {
    const QString blockRoot = system.sysRoot + QStringLiteral("/block");
    const QStringList names = QDir(blockRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString folder = blockRoot + QLatin1Char('/') + name;
        const BlockKind kind = KindOf(folder, name);
        if (kind == BlockKind::Unused) continue;
        const QString node = system.devRoot + QLatin1Char('/') + NodeName(folder, name);
        if (kind == BlockKind::Disk)
            disks.push_back({name, node});
        else
            volumes.push_back({name, node, VolumeKind(kind, false)});

        // The partitions are the subfolders with a "partition" attribute;
        // they take their type from the device they lie on.
        const bool removable = ReadAttribute(folder + QStringLiteral("/removable")) == QLatin1String("1");
        for (const QString& child : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString childFolder = folder + QLatin1Char('/') + child;
            if (!QFileInfo::exists(childFolder + QStringLiteral("/partition"))) continue;
            volumes.push_back({child, system.devRoot + QLatin1Char('/') + NodeName(childFolder, child),
                               VolumeKind(kind, removable)});
        }
    }
    SortByName(volumes);
    SortByName(disks);
}

}  // namespace

std::vector<TVolumeEntry> ListVolumes(const TDriveSystem& system) {
    std::vector<TVolumeEntry> volumes;
    std::vector<Disk> disks;
    ScanBlockDevices(system, volumes, disks);
    return volumes;
}

QString DiskSizeText(uint64_t bytes, const QLocale& locale) {
    return locale.toString(static_cast<double>(bytes) / 1073741824.0, 'f', 2) +
           QStringLiteral(" GB");
}

QString FindIdentityFolder() { return QString(); }

bool IsImageSource(const QString& path) {
    struct stat status;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0) return false;
    return S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
}

QString DiskOfDevice(const QString& sysRoot, unsigned major, unsigned minor) {
    const QString number = QStringLiteral("%1:%2").arg(major).arg(minor);
    // /sys/dev/block/M:m links to the device's folder; a partition's folder
    // lies inside its disk's and has a "partition" attribute.
    const QString folder = QFileInfo(sysRoot + QStringLiteral("/dev/block/") + number).canonicalFilePath();
    if (folder.isEmpty()) return QString();
    if (!QFileInfo::exists(folder + QStringLiteral("/partition"))) return number;
    return ReadAttribute(QFileInfo(folder).absolutePath() + QStringLiteral("/dev"));
}

bool OutputLiesOnSource(const QString& sourcePath, const QString& folder, const QString& sysRoot) {
    struct stat source;
    if (sourcePath.isEmpty() || ::stat(QFile::encodeName(sourcePath).constData(), &source) != 0 ||
        !S_ISBLK(source.st_mode))
        return false;
    // The folder may not exist yet: what counts is where it would be made.
    QString existing = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    struct stat output;
    while (::stat(QFile::encodeName(existing).constData(), &output) != 0) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing) return false;
        existing = parent;
    }
    if (source.st_rdev == output.st_dev) return true;
    const QString disk = DiskOfDevice(sysRoot, major(output.st_dev), minor(output.st_dev));
    return disk == QStringLiteral("%1:%2").arg(major(source.st_rdev)).arg(minor(source.st_rdev));
}

int TDriveList::EnumerateDrives(const TDriveSystem& system) {
    DriveDisplayList.clear();
    DrivePathList.clear();

    THostDeviceAccess hostAccess;
    TDeviceAccess& access = system.access ? *system.access : hostAccess;

    std::vector<TVolumeEntry> volumes;
    std::vector<Disk> disks;
    ScanBlockDevices(system, volumes, disks);

    for (const TVolumeEntry& volume : volumes) {
        DriveDisplayList.append(volume.node + QStringLiteral("  (") + TypeText(volume.kind) + QLatin1Char(')'));
        DrivePathList.append(volume.node);
    }
    // Disks are numbered by their place among all candidates, so a disk
    // that cannot be opened leaves a gap instead of renumbering the rest.
    for (size_t index = 0; index < disks.size(); ++index) {
        const TDeviceProbe probe = ProbeDevice(access, disks[index].node);
        if (!probe.opened) continue;
        const QString sizeText =
            probe.measured ? DiskSizeText(probe.length, system.locale) : QStringLiteral("Unknown size");
        DriveDisplayList.append(QString::asprintf("Hard disk %u", static_cast<unsigned>(index + 1)) +
                                QStringLiteral("  (") + sizeText + QLatin1Char(')'));
        DrivePathList.append(disks[index].node);
    }
    return static_cast<int>(DriveDisplayList.size());
}

QString TDriveList::DevicePathOf(const QString& text) const {
    const qsizetype index = DriveDisplayList.indexOf(text);
    if (index >= 0 && index < DrivePathList.size()) return DrivePathList[index];
    if (!text.isEmpty() && QFileInfo(text).isFile()) return text;
    return QString();
}

uint64_t TDriveList::SourceSize(const QString& text, TDeviceAccess* access) const {
    const QString path = DevicePathOf(text);
    if (path.isEmpty()) return 0;
    const QFileInfo info(path);
    if (info.isFile()) return static_cast<uint64_t>(info.size());
    THostDeviceAccess hostAccess;
    const TDeviceProbe probe = ProbeDevice(access ? *access : hostAccess, path);
    return probe.length;
}

}  // namespace tolvan
