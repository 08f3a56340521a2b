// The drive list on fake sysfs trees with a fake device access (no real
// disk is opened): which devices are listed, in what order, with which
// texts and paths; and the lookups DevicePathOf and SourceSize.
#include <QtTest>

#include <map>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "DeviceAccess.h"
#include "DriveList.h"

using namespace tolvan;

namespace {

// Devices by node path: whether they open and what length they report.
struct FakeDevices final : TDeviceAccess {
    struct Device {
        bool opens = true;
        bool measures = true;
        uint64_t length = 0;
    };

    intptr_t Open(const QString& path) override {
        opened.append(path);
        const auto found = devices.find(path);
        if (found == devices.end() || !found->second.opens) return -1;
        open[++lastHandle] = path;
        return lastHandle;
    }
    bool Length(intptr_t handle, uint64_t& length) override {
        const Device& device = devices.at(open.at(handle));
        length = device.length;
        return device.measures;
    }
    void Close(intptr_t handle) override { open.erase(handle); }

    std::map<QString, Device> devices;
    std::map<intptr_t, QString> open;
    QStringList opened;
    intptr_t lastHandle = 2;
};

// A sysfs tree (sys/block/...) under a temporary folder.
struct FakeSysfs {
    QTemporaryDir root;

    QString Block() const { return root.filePath("sys/block"); }
    QString Node(const QString& name) const { return root.filePath("dev/" + name); }
    void Write(const QString& relative, const QByteArray& text) {
        QDir().mkpath(QFileInfo(Block() + "/" + relative).path());
        QFile file(Block() + "/" + relative);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void Disk(const QString& name, bool removable = false) {
        Write(name + "/removable", removable ? "1\n" : "0\n");
        Write(name + "/queue/rotational", "1\n");  // a subfolder that is no partition
    }
    void Partition(const QString& disk, const QString& name) { Write(disk + "/" + name + "/partition", "1\n"); }
    void Loop(const QString& name, bool bound) {
        Write(name + "/removable", "0\n");
        if (bound) Write(name + "/loop/backing_file", "/home/u/disk.img\n");
    }
    TDriveSystem System(TDeviceAccess* access) const {
        TDriveSystem system;
        system.sysRoot = root.filePath("sys");
        system.devRoot = root.filePath("dev");
        system.access = access;
        system.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        return system;
    }
};

}  // namespace

class TestDriveList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One of each: the lists byte for byte, in order.
    void mixedMachine() {
        FakeSysfs sysfs;
        sysfs.Disk("sda");
        sysfs.Partition("sda", "sda1");
        sysfs.Partition("sda", "sda2");
        sysfs.Disk("sdb", true);  // a USB stick
        sysfs.Partition("sdb", "sdb1");
        sysfs.Disk("sdc");  // not accessible to this user
        sysfs.Disk("sdd");  // its size cannot be asked
        sysfs.Disk("sr0", true);
        sysfs.Disk("zram0");
        sysfs.Loop("loop0", false);
        FakeDevices devices;
        devices.devices[sysfs.Node("sda")] = {true, true, 80026361856};
        devices.devices[sysfs.Node("sdb")] = {true, true, 2000398934016};
        devices.devices[sysfs.Node("sdc")] = {false, false, 0};
        devices.devices[sysfs.Node("sdd")] = {true, false, 0};

        TDriveList drives;
        drives.DriveDisplayList = QStringList{"from the last refresh"};
        drives.DrivePathList = QStringList{"/old"};
        QCOMPARE(drives.EnumerateDrives(sysfs.System(&devices)), 8);
        QCOMPARE(drives.DriveDisplayList,
                 QStringList({sysfs.Node("sda1") + "  (Fixed Drive)", sysfs.Node("sda2") + "  (Fixed Drive)",
                              sysfs.Node("sdb1") + "  (Floppy Drive)", sysfs.Node("sr0") + "  (CDROM Drive)",
                              sysfs.Node("zram0") + "  (RAM Drive)", "Hard disk 1  (74.53 GB)",
                              "Hard disk 2  (1,863.02 GB)", "Hard disk 4  (Unknown size)"}));
        QCOMPARE(drives.DrivePathList,
                 QStringList({sysfs.Node("sda1"), sysfs.Node("sda2"), sysfs.Node("sdb1"), sysfs.Node("sr0"),
                              sysfs.Node("zram0"), sysfs.Node("sda"), sysfs.Node("sdb"), sysfs.Node("sdd")}));
        // Only whole disks are opened, and each is closed again.
        QCOMPARE(devices.opened, QStringList({sysfs.Node("sda"), sysfs.Node("sdb"), sysfs.Node("sdc"), sysfs.Node("sdd")}));
        QVERIFY(devices.open.empty());
    }

    // Loop devices are disks only while bound to a file; names sort as a
    // person reads them, and disks are numbered in that order.
    void loopDevicesAndNameOrder() {
        FakeSysfs sysfs;
        sysfs.Loop("loop0", false);
        sysfs.Loop("loop1", true);
        sysfs.Partition("loop1", "loop1p1");
        sysfs.Disk("sda");
        for (const char* name : {"sda10", "sda2"}) sysfs.Partition("sda", name);
        FakeDevices devices;
        devices.devices[sysfs.Node("loop1")] = {true, true, 536870912};
        devices.devices[sysfs.Node("sda")] = {true, true, 17592186044416};
        TDriveList drives;
        drives.EnumerateDrives(sysfs.System(&devices));
        QCOMPARE(drives.DriveDisplayList,
                 QStringList({sysfs.Node("loop1p1") + "  (Fixed Drive)", sysfs.Node("sda2") + "  (Fixed Drive)",
                              sysfs.Node("sda10") + "  (Fixed Drive)", "Hard disk 1  (0.50 GB)",
                              "Hard disk 2  (16,384.00 GB)"}));
    }

    // The node comes from DEVNAME, else from the name with '!' for '/'.
    void nodeNames() {
        FakeSysfs sysfs;
        sysfs.Disk("cciss!c0d0");
        sysfs.Disk("xvda");
        sysfs.Write("xvda/uevent", "MAJOR=202\nDEVNAME=xen/xvda\n");
        FakeDevices devices;
        devices.devices[sysfs.Node("cciss/c0d0")] = {};
        devices.devices[sysfs.Node("xen/xvda")] = {};
        TDriveList drives;
        drives.EnumerateDrives(sysfs.System(&devices));
        QCOMPARE(drives.DrivePathList, QStringList({sysfs.Node("cciss/c0d0"), sysfs.Node("xen/xvda")}));
    }

    void sizeTexts_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("German separators") << quint64(2000398934016) << QLocale(QLocale::German, QLocale::Germany) << "1.863,02 GB";
        QTest::newRow("C locale") << quint64(2000398934016) << QLocale::c() << "1863.02 GB";
        QTest::newRow("rounded up") << quint64(5368710) << QLocale::c() << "0.01 GB";
        QTest::newRow("rounded down") << quint64(5368709) << QLocale::c() << "0.00 GB";
    }
    void sizeTexts() {
        QFETCH(quint64, bytes);
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        QCOMPARE(DiskSizeText(bytes, locale), text);
    }

    void devicePathOf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path");
        QTest::newRow("disk") << "Hard disk 1  (74.53 GB)" << "/dev/sda";
        QTest::newRow("first of equal texts") << "twice" << "/dev/first";
        QTest::newRow("other letter case") << "hard disk 1  (74.53 gb)" << "";
        QTest::newRow("one blank") << "Hard disk 1 (74.53 GB)" << "";
        QTest::newRow("missing file") << "/nonexistent/disk.img" << "";
    }
    void devicePathOf() {
        QFETCH(QString, text);
        QFETCH(QString, path);
        TDriveList drives;
        drives.DriveDisplayList = QStringList{"Hard disk 1  (74.53 GB)", "twice", "twice"};
        drives.DrivePathList = QStringList{"/dev/sda", "/dev/first", "/dev/second"};
        QCOMPARE(drives.DevicePathOf(text), path);
    }

    // Image files are sources even when they are not listed; folders not.
    void imageFiles() {
        QTemporaryDir folder;
        QFile file(folder.filePath("disk.img"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, 'x'));
        file.close();
        const TDriveList drives;
        QCOMPARE(drives.DevicePathOf(file.fileName()), file.fileName());
        QCOMPARE(drives.SourceSize(file.fileName()), quint64(3000));
        QCOMPARE(drives.DevicePathOf(folder.path()), QString());
        QCOMPARE(drives.SourceSize(folder.path()), quint64(0));
    }

    void sourceSize_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint64>("size");
        QTest::newRow("disk") << "Hard disk 1  (74.53 GB)" << quint64(80026361856);
        QTest::newRow("size cannot be asked") << "Hard disk 4  (Unknown size)" << quint64(0);
        QTest::newRow("cannot be opened any more") << "Hard disk 3  (1.00 GB)" << quint64(0);
        QTest::newRow("not listed") << "Hard disk 9  (1.00 GB)" << quint64(0);
    }
    void sourceSize() {
        QFETCH(QString, text);
        QFETCH(quint64, size);
        FakeDevices devices;
        devices.devices["/fake/sda"] = {true, true, 80026361856};
        devices.devices["/fake/sdc"] = {false, false, 0};
        devices.devices["/fake/sdd"] = {true, false, 0};
        TDriveList drives;
        drives.DriveDisplayList = QStringList{"Hard disk 1  (74.53 GB)", "Hard disk 3  (1.00 GB)", "Hard disk 4  (Unknown size)"};
        drives.DrivePathList = QStringList{"/fake/sda", "/fake/sdc", "/fake/sdd"};
        QCOMPARE(drives.SourceSize(text, &devices), size);
        QVERIFY(devices.open.empty());
    }

    // /sys/dev/block/M:m links to the device's folder; a partition's disk
    // is the folder around it.
    void diskOfDevice() {
        FakeSysfs sysfs;
        sysfs.Disk("sda");
        sysfs.Partition("sda", "sda1");
        sysfs.Write("sda/dev", "8:0\n");
        sysfs.Write("sda/sda1/dev", "8:1\n");
        QDir().mkpath(sysfs.root.filePath("sys/dev/block"));
        QVERIFY(QFile::link("../../block/sda/sda1", sysfs.root.filePath("sys/dev/block/8:1")));
        QVERIFY(QFile::link("../../block/sda", sysfs.root.filePath("sys/dev/block/8:0")));
        const QString sysRoot = sysfs.root.filePath("sys");
        QCOMPARE(DiskOfDevice(sysRoot, 8, 1), QString("8:0"));
        QCOMPARE(DiskOfDevice(sysRoot, 8, 0), QString("8:0"));
        QCOMPARE(DiskOfDevice(sysRoot, 9, 9), QString());
    }

    // An image file is not changed by files written beside it; a folder on
    // the block device being scanned is (checked with the device the test
    // folder lies on, where the system has a node for it).
    void outputOnTheSource() {
        QTemporaryDir folder;
        const QString image = folder.filePath("disk.img");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(!OutputLiesOnSource(image, folder.filePath("out")));
        QVERIFY(!OutputLiesOnSource(folder.filePath("missing.img"), folder.filePath("out")));

        struct stat where;
        QVERIFY(::stat(QFile::encodeName(folder.path()).constData(), &where) == 0);
        QFile uevent(QString("/sys/dev/block/%1:%2/uevent").arg(major(where.st_dev)).arg(minor(where.st_dev)));
        QString device;
        if (uevent.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : uevent.readAll().split('\n'))
                if (line.startsWith("DEVNAME=")) device = "/dev/" + QString::fromUtf8(line.mid(8));
        }
        if (device.isEmpty() || !IsImageSource(device)) QSKIP("the test folder's device has no node under /dev");
        QVERIFY(OutputLiesOnSource(device, folder.filePath("not/made/yet")));
        QVERIFY(!OutputLiesOnSource(device, "/proc/self"));  // another file system
    }
};

QTEST_GUILESS_MAIN(TestDriveList)
#include "tst_DriveList.moc"
