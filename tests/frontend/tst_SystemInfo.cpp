// The system-information report: its texts line for line from made-up
// facts, the parsers of the kernel's texts, and the facts of this machine.
#include <QtTest>

#include "SystemFacts.h"
#include "SystemInfo.h"

using namespace tolvan;

namespace {

const QString kSeparator(56, QLatin1Char('-'));

// A machine with a removable stick, a mounted and an unmounted fixed
// volume, a CD drive and a fixed volume whose sizes cannot be read.
TSystemFacts MadeUpMachine() {
    TSystemFacts facts;
    facts.fileVersion = "1.0.0.0";
    facts.productVersion = "1.2.0.7";
    facts.osName = "Linux";
    facts.osMajor = 6;
    facts.osMinor = 1;
    facts.osBuild = 94;
    facts.windowsDirectory = {"/", 0};
    facts.systemDirectory = {"/usr/lib/x86_64-linux-gnu", 0};
    facts.temporaryDirectory = {"/tmp/", 0};
    facts.memory = {37, 8589934592, 5411658137, 2147483648, 2147483648, 140737488355328, 140737480000000};
    facts.environment = {"HOME=/home/ada", "=weird=entry", "EMPTY="};
    facts.volumes = {{"/dev/sdb1", TDriveType::Removable},
                     {"/dev/sda1", TDriveType::Fixed, true, 499963174912, 123456789012},
                     {"/dev/sda2", TDriveType::Fixed},
                     {"/dev/sr0", TDriveType::Cdrom},
                     {"/dev/sdc1", TDriveType::Fixed, true, -1, -1}};
    return facts;
}

}  // namespace

class TestSystemInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportOfAMadeUpMachine() {
        QStringList lines{"before"};
        AddSystemInfo(lines, MadeUpMachine(), QLocale(QLocale::English, QLocale::UnitedStates));
        const QStringList expected{
            "before",
            " Version Information:",
            "File Version: 1.0.0.0",
            "Product Version: 1.2.0.7",
            kSeparator,
            "Operating System: Linux 6.01.94",
            kSeparator,
            "Windows Directory: /",
            "System Directory: /usr/lib/x86_64-linux-gnu",
            "Temporary Directory: /tmp/",
            kSeparator,
            "Memory Status:",
            "Memory in use: 37%",
            "Total physical memory: 8,589,934,592 bytes",
            "Free physical memory: 5,411,658,137 bytes",
            "Total page file memory: 2,147,483,648 bytes",
            "Free page file memory: 2,147,483,648 bytes",
            "Total virtual memory: 140,737,488,355,328 bytes",
            "Free virtual memory: 140,737,480,000,000 bytes",
            kSeparator,
            "Environment Information:",
            "HOME=/home/ada",
            "=weird=entry",
            "EMPTY=",
            kSeparator,
            "Drive Information:",
            "/dev/sdb1, Removable Drive",
            "/dev/sda1, Fixed Drive, Total Disk Spaces: 499,963,174,912 bytes, Free Disk Spaces: 123,456,789,012 bytes.",
            "/dev/sda2, Fixed Drive",
            "/dev/sr0, CD-ROM Drive",
            "/dev/sdc1, Fixed Drive, Total Disk Spaces: -1 bytes, Free Disk Spaces: -1 bytes.",
            kSeparator,
            "End of System Information",
            kSeparator,
        };
        QCOMPARE(lines, expected);
    }

    // What the report says when facts are missing, and the number formats.
    void missingFactsAndFormats() {
        TSystemFacts facts;
        facts.osMinor = 10;
        facts.systemDirectory = {QString(), 2};
        facts.temporaryDirectory = {"/var/tmp/", 0};
        QStringList lines;
        AddSystemInfo(lines, facts, QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(lines.mid(1, 2), QStringList({"File Version: ", "Product Version: "}));
        QCOMPARE(lines[4], QString("Operating System:  0.10.0"));
        QCOMPARE(lines.mid(6, 3), QStringList({"Windows Directory: Cannot get the required infomation. Error Code: 0.",
                                               "System Directory: Cannot get the required infomation. Error Code: 2.",
                                               "Temporary Directory: /var/tmp/"}));
        facts.memory.totalPhysical = 1234567;
        lines.clear();
        AddSystemInfo(lines, facts, QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(lines.contains("Total physical memory: 1.234.567 bytes"));
        QCOMPARE(lines.mid(lines.indexOf("Environment Information:"), 3),
                 QStringList({"Environment Information:", kSeparator, "Drive Information:"}));
    }

    void driveTypeNames_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << 0 << "Unknown Drive Type";
        QTest::newRow("1") << 1 << "Invalid Root Path";
        QTest::newRow("2") << 2 << "Removable Drive";
        QTest::newRow("3") << 3 << "Fixed Drive";
        QTest::newRow("4") << 4 << "Remote Network Drive";
        QTest::newRow("5") << 5 << "CD-ROM Drive";
        QTest::newRow("6") << 6 << "RAM Disk";
        QTest::newRow("7 is none of them") << 7 << "Unknown Drive Type";
    }
    void driveTypeNames() {
        QFETCH(int, type);
        QFETCH(QString, name);
        QCOMPARE(DriveTypeName(static_cast<TDriveType>(type)), name);
    }

    void kernelRelease_data() {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("Debian") << "6.1.0-18-amd64" << QList<int>{6, 1, 0};
        QTest::newRow("with a patch") << "5.15.133+rpt-rpi-v8" << QList<int>{5, 15, 133};
        QTest::newRow("two parts") << "4.9" << QList<int>{4, 9, 0};
        QTest::newRow("garbage") << "abc" << QList<int>{0, 0, 0};
        QTest::newRow("empty") << "" << QList<int>{0, 0, 0};
    }
    void kernelRelease() {
        QFETCH(QString, release);
        QFETCH(QList<int>, numbers);
        int major = -1, minor = -1, patch = -1;
        ParseKernelRelease(release, major, minor, patch);
        QCOMPARE((QList<int>{major, minor, patch}), numbers);
    }

    void memInfo() {
        TMemoryFacts memory;
        ParseMemInfo("MemTotal:       16000000 kB\nMemFree:  1000 kB\nMemAvailable:    4000000 kB\n"
                     "SwapCached: 0 kB\nSwapTotal:       2000000 kB\nSwapFree:        1500000 kB\n",
                     memory);
        QCOMPARE(memory.totalPhysical, 16000000ull * 1024);
        QCOMPARE(memory.freePhysical, 4000000ull * 1024);
        QCOMPARE(memory.totalPageFile, 2000000ull * 1024);
        QCOMPARE(memory.freePageFile, 1500000ull * 1024);
        QCOMPARE(memory.load, 75u);
        ParseMemInfo("", memory);  // nothing readable: zeros, not a division by zero
        QCOMPARE(memory.totalPhysical, 0ull);
        QCOMPARE(memory.load, 0u);
    }

    void mountTable() {
        const QHash<QString, QString> mounts = ParseMountTable(
            "/dev/vda / ext4 rw 0 0\nproc /proc proc rw 0 0\n/dev/sdb1 /media/ada/USB\\040STICK vfat rw 0 0\n"
            "/dev/vda /srv/bind ext4 rw 0 0\n");
        QCOMPARE(mounts.value("/dev/vda"), QString("/"));  // the first mount counts
        QCOMPARE(mounts.value("/dev/sdb1"), QString("/media/ada/USB STICK"));
        QCOMPARE(mounts.value("proc"), QString("/proc"));
    }

    void addressSpace() {
        const QString maps = "55d0c0000000-55d0c0021000 r--p 00000000 fe:00 12 /usr/bin/tolvan\n"
                             "7fffb714c000-7fffb716d000 rw-p 00000000 00:00 0 [stack]\n"
                             "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0 [vsyscall]\n";
        QCOMPARE(UserAddressSpace(maps), uint64_t{1} << 47);  // the kernel's half does not count
        QCOMPARE(UserAddressSpace(""), 0ull);
    }

    // The facts of this machine: what can be checked anywhere.
    void thisMachine() {
        QList<TSystemVolume> volumes{{"/no/such/device", TDriveType::Fixed}, {"/dev/sr9", TDriveType::Cdrom}};
        const QHash<QString, QString> mounts = ParseMountTable([] {
            QFile file("/proc/self/mounts");
            return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
        }());
        QString mountedDevice;
        for (auto it = mounts.cbegin(); it != mounts.cend(); ++it)
            if (it.key().startsWith("/dev/") && QFileInfo::exists(it.key())) mountedDevice = it.key();
        if (!mountedDevice.isEmpty()) volumes.append({mountedDevice, TDriveType::Fixed});

        qputenv("TOLVAN_REPORT_PROBE", "a=b");
        const TSystemFacts facts = HostSystemFacts(VERSION_PROBE_PATH, volumes);
        QCOMPARE(facts.fileVersion, QString(PROJECT_VERSION_TEXT));
        QCOMPARE(facts.osName, QString("Linux"));
        QVERIFY(facts.osMajor >= 3);
        QCOMPARE(facts.windowsDirectory.path, QString("/"));
        QVERIFY2(QFileInfo(facts.systemDirectory.path).isDir(), qPrintable(facts.systemDirectory.path));
        QVERIFY(QFileInfo::exists(facts.systemDirectory.path + "/libc.so.6"));
        QCOMPARE(facts.temporaryDirectory.path, QDir::tempPath() + "/");
        QVERIFY(facts.memory.totalPhysical > 0 && facts.memory.freePhysical <= facts.memory.totalPhysical);
        QVERIFY(facts.memory.load <= 100);
        QVERIFY(facts.memory.totalVirtual > facts.memory.freeVirtual && facts.memory.freeVirtual > 0);
        QVERIFY(facts.environment.contains("TOLVAN_REPORT_PROBE=a=b"));
        QCOMPARE(facts.volumes.size(), volumes.size());
        QVERIFY(!facts.volumes[0].mounted);  // a fixed volume that is not mounted is not measured
        QCOMPARE(facts.volumes[0].totalBytes, -1);
        QVERIFY(!facts.volumes[1].mounted);  // nor is a CD drive asked
        if (mountedDevice.isEmpty()) QSKIP("no mounted device here to measure");
        const TVolumeFact& mounted = facts.volumes[2];
        QVERIFY(mounted.mounted);
        QVERIFY(mounted.totalBytes > 0 && mounted.freeBytes >= 0 && mounted.freeBytes <= mounted.totalBytes);
    }
};

QTEST_MAIN(TestSystemInfo)
#include "tst_SystemInfo.moc"
