// Prints how responsive the main window stays during a run over a large
// image: a timer that fires whenever the event loop gets a turn measures
// the longest stretch without one. The image (default 1 GiB) is noise with
// a few hundred messages in a store at its end; it is written once to the
// given path and reused.
//
// Usage: tolvan_run_bench [image path] [size in MiB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "DeviceAccess.h"
#include "DragEdit.h"
#include "LogPane.h"
#include "MainFrm.h"
#include "TolvanLook.h"
#include "TolvanPrompts.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/noise.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

using namespace tolvan;
using Clock = std::chrono::steady_clock;

namespace {

struct NoDisks final : TDeviceAccess {
    intptr_t Open(const QString&) override { return -1; }
    bool Length(intptr_t, uint64_t&) override { return false; }
    void Close(intptr_t) override {}
};

struct Silent final : TTolvanPrompts {
    int Execute(QDialog&) override { return 0; }
    void Information(QWidget*, const QString& text) override { std::printf("  box: %s\n", qPrintable(text)); }
    bool OpenUrl(const QUrl&) override { return true; }
};

void WriteImage(const QString& path, uint64_t mebibytes) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    ostrel::builder::Random random(5);
    const uint64_t chunk = 1 << 20;
    for (uint64_t written = 0; written + chunk <= mebibytes * chunk; written += chunk) {
        const auto noise = ostrel::builder::MakeNoise(chunk, ostrel::builder::NoiseKind::Random, random);
        out.write(reinterpret_cast<const char*>(noise.data()), static_cast<std::streamsize>(noise.size()));
    }
    ostrel::builder::MessageFactory factory(3);
    ostrel::builder::StoreBuilder store(4);
    for (int i = 0; i < 300; ++i) store.AddMessage(factory.Next());
    out.write(reinterpret_cast<const char*>(store.Bytes().data()), static_cast<std::streamsize>(store.Bytes().size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ApplyApplicationLook();
    const QString image = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath("tolvan-run-bench.img");
    const uint64_t mebibytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    if (QFileInfo(image).size() < static_cast<qint64>(mebibytes << 20)) {
        std::printf("writing %s (%llu MiB)\n", qPrintable(image), static_cast<unsigned long long>(mebibytes));
        WriteImage(image, mebibytes);
    }

    QTemporaryDir scratch;
    NoDisks disks;
    Silent silent;
    const TPromptsOverride answers(silent);
    TMainFormOptions options;
    options.storeFile = scratch.filePath(QStringLiteral("bench.ini"));
    options.drives.sysRoot = scratch.filePath(QStringLiteral("no-sysfs"));
    options.drives.access = &disks;
    TMainForm window(options);
    window.chkOpenFixed->setChecked(false);
    window.show();
    window.txtSrcFile->setText(image);
    window.txtDstFile->setText(scratch.filePath(QStringLiteral("out")));

    Clock::duration longest{};
    long turns = 0;
    auto last = Clock::now();
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
        ++turns;
    });
    probe.start();
    const auto start = Clock::now();
    last = start;
    window.btnRepair->click();
    const auto total = Clock::now() - start;
    probe.stop();
    std::printf("run over %s: %.1f s, %ld turns of the event loop, longest without one %.1f ms, %lld log lines\n",
                qPrintable(image), std::chrono::duration<double>(total).count(), turns,
                std::chrono::duration<double, std::milli>(longest).count(),
                static_cast<long long>(window.txtRepairLog->LineCount()));
    return 0;
}
