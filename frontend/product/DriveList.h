// The list of drives and disks the user can recover, read from sysfs, and
// the lookups that turn a display text back into what the engine opens.
#pragma once

#include <cstdint>
#include <vector>

#include <QLocale>
#include <QString>
#include <QStringList>

namespace tolvan {

class TDeviceAccess;

// Where the drive list looks. The defaults describe this machine; tests
// point them at a fake sysfs tree and a fake device access.
struct TDriveSystem {
    QString sysRoot = QStringLiteral("/sys");
    QString devRoot = QStringLiteral("/dev");
    TDeviceAccess* access = nullptr;  // null: the host's open(2) and GetDeviceLength
    QLocale locale;                   // separators of the size texts
};

// What a volume of the drive list lies on.
enum class TVolumeKind { Fixed, Removable, Cdrom, Ram };

// A volume (partition, CD or RAM drive) of the system.
struct TVolumeEntry {
    QString name;  // its sysfs name
    QString node;  // its device node, the entry's device path
    TVolumeKind kind = TVolumeKind::Fixed;
};

// The volumes EnumerateDrives lists, in its order.
std::vector<TVolumeEntry> ListVolumes(const TDriveSystem& system = TDriveSystem());

// The two lists of the main window, always of equal length: what the user
// sees, and at the same index the path the engine opens.
class TDriveList {
public:
    QStringList DriveDisplayList;
    QStringList DrivePathList;

    // Empties both lists and lists every volume, then every whole disk
    // that can be opened for reading; returns the number of entries.
    int EnumerateDrives(const TDriveSystem& system = TDriveSystem());

    // The device path of the first entry whose display text equals text
    // exactly. Image files are sources too: a text that is no entry but
    // names an existing regular file gives that text. Otherwise empty.
    QString DevicePathOf(const QString& text) const;

    // The size in bytes of the source a display text names: a regular
    // file's size, or the length of the device (opened through access, or
    // the host's when null); 0 when there is no such source or it cannot
    // be measured.
    uint64_t SourceSize(const QString& text, TDeviceAccess* access = nullptr) const;
};

// True when path names a regular file or a block device: a source that
// the drive list can take as an entry of its own (a disk image, say).
bool IsImageSource(const QString& path);

// True when writing into folder writes to the device being scanned: the
// source is a block device and the folder (or, while it does not exist,
// its nearest existing parent) lies on it or on a partition of the whole
// disk it names. New files there can take the very sectors that hold the
// deleted messages. (A disk-image file is not changed by files written
// beside it.) sysRoot is where sysfs tells which disk a partition is on.
bool OutputLiesOnSource(const QString& sourcePath, const QString& folder,
                        const QString& sysRoot = QStringLiteral("/sys"));

// The whole disk a partition lies on, as "major:minor"; the device itself
// when it is no partition, empty when sysfs does not know it.
QString DiskOfDevice(const QString& sysRoot, unsigned major, unsigned minor);

// "%s GB" with the size in GiB, two decimals and the locale's separators
// (80026361856 bytes give "74.53 GB" in English).
QString DiskSizeText(uint64_t bytes, const QLocale& locale);

// The folder of the user's Outlook Express identity: there are none on
// this system, so the text is always empty.
QString FindIdentityFolder();

}  // namespace tolvan
