// Prints what the recovery log costs for a run of 200000 messages: 1.2
// million lines (six per message, as the engine sends them) appended to
// the log pane with the event queue pumped every 10 ms as during a run.
// Figures: time per appended line, the longest pump, and the memory the
// lines take. "--plain-text" measures a QPlainTextEdit fed in batches
// between pumps instead, for comparison.
//
// Usage: tolvan_log_bench [messages] [--plain-text]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>

#include "LogPane.h"

using namespace tolvan;
using Clock = std::chrono::steady_clock;

namespace {

long ResidentKilobytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

double Milliseconds(Clock::duration elapsed) { return std::chrono::duration<double, std::milli>(elapsed).count(); }

QtMessageHandler previousHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(QuietHandler);
    QApplication application(argc, argv);
    long messages = 200000;
    bool plainText = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plain-text") == 0) plainText = true;
        else messages = std::atol(argv[i]);
    }

    TLogPane pane;
    QPlainTextEdit edit;
    QWidget* shown = plainText ? static_cast<QWidget*>(&edit) : &pane;
    edit.setReadOnly(true);
    edit.setUndoRedoEnabled(false);
    shown->resize(733, 172);
    shown->show();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();

    const QString separator(56, QLatin1Char('-'));
    QStringList batch;
    const long before = ResidentKilobytes();
    Clock::duration appending{}, worstPump{}, pumping{};
    long pumps = 0;
    auto lastPump = Clock::now();
    const auto start = Clock::now();
    for (long m = 1; m <= messages; ++m) {
        const QString lines[6] = {QString::asprintf("Start processing message (No.%ld) ...", m),
                                  QStringLiteral("Collect detailed information ..."),
                                  QStringLiteral("Message subject: Re: Quarterly figures for the board meeting"),
                                  QString::asprintf("Message size: %ld", 1500 + m % 40000),
                                  QString::asprintf("Finish processing message (No.%ld).", m), separator};
        const auto appendStart = Clock::now();
        for (const QString& line : lines) {
            if (plainText) batch.append(line);
            else pane.AppendLine(line);
        }
        appending += Clock::now() - appendStart;
        if (Clock::now() - lastPump >= std::chrono::milliseconds(10)) {
            const auto pumpStart = Clock::now();
            if (plainText && !batch.isEmpty()) {
                edit.appendPlainText(batch.join(QLatin1Char('\n')));
                batch.clear();
            }
            QCoreApplication::processEvents();
            lastPump = Clock::now();
            const auto took = lastPump - pumpStart;
            pumping += took;
            worstPump = std::max(worstPump, took);
            ++pumps;
        }
    }
    if (plainText && !batch.isEmpty()) edit.appendPlainText(batch.join(QLatin1Char('\n')));
    QCoreApplication::processEvents();
    const auto total = Clock::now() - start;
    const long lineCount = messages * 6;
    std::printf("%s, %ld lines (%ld messages), platform %s\n", plainText ? "QPlainTextEdit, batched" : "TLogPane",
                lineCount, messages, qPrintable(QGuiApplication::platformName()));
    std::printf("  appending:     %8.1f ms in all, %6.0f ns per line\n", Milliseconds(appending),
                Milliseconds(appending) * 1e6 / static_cast<double>(lineCount));
    std::printf("  pumps:         %8ld, %8.1f ms in all, longest %.2f ms\n", pumps, Milliseconds(pumping),
                Milliseconds(worstPump));
    std::printf("  whole run:     %8.1f ms\n", Milliseconds(total));
    std::printf("  memory:        %8.1f MB more resident, %.0f bytes per line\n", (ResidentKilobytes() - before) / 1024.0,
                (ResidentKilobytes() - before) * 1024.0 / static_cast<double>(lineCount));
    return 0;
}
