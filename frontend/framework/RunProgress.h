// The figures of the progress panel beside the gauge: how far the scan
// has read, the messages found, the speed (MB/s while scanning, messages/s
// while writing) and an estimate of the time left, each smoothed over the
// last few seconds so that a pause of the disk does not make them jump.
#pragma once

#include <cstdint>
#include <deque>

#include <QString>

namespace tolvan {

struct TProgressFigures {
    bool writing = false;  // pass 2 has begun: messages are being written
    uint64_t bytesScanned = 0;
    uint64_t sourceBytes = 0;   // 0 when unknown
    uint64_t messages = 0;      // messages handled so far
    double bytesPerSecond = 0;  // 0 until it can be measured
    double messagesPerSecond = 0;
    int64_t secondsLeft = -1;  // of the scan while scanning, of the run while writing; -1 unknown
};

class TRunProgress {
public:
    // The engine asks whether to stop once every this many source bytes
    // of the scan.
    static constexpr uint64_t kBytesPerQuestion = 10000;
    // Speeds are measured over this much of the recent past.
    static constexpr int64_t kWindowMs = 5000;
    // The panel's figures change at most this often.
    static constexpr int64_t kRefreshMs = 250;

    void Start(int64_t nowMs, uint64_t sourceBytes);
    // One stop question of the engine: the scan has read kBytesPerQuestion
    // more bytes (while it scans).
    void CountQuestion() { ++questions_; }
    // True when the figures are due for a refresh.
    bool Due(int64_t nowMs) const { return nowMs - lastSample_ >= kRefreshMs; }
    // Takes a sample and returns the figures; percent is the gauge's.
    TProgressFigures Sample(int64_t nowMs, int percent, uint64_t messages);

private:
    struct Point {
        int64_t ms;
        uint64_t bytes;
        uint64_t messages;
    };

    uint64_t sourceBytes_ = 0;
    uint64_t questions_ = 0;
    uint64_t bytesAtWriting_ = 0;
    bool writing_ = false;
    int64_t lastSample_ = 0;
    std::deque<Point> points_;
};

// "Scanned 1.2 GB of 3.0 GB at 812.4 MB/s, about 2 s left in the scan" or
// "1,234 messages found, 3,400 messages/s, about 20 s left".
QString ProgressFiguresText(const TProgressFigures& figures);

// A duration a person reads at a glance: "45 s", "3 min 05 s", "2 h 10 min".
QString TimeLeftText(int64_t seconds);

// Bytes in decimal units with one decimal: "812.4 MB", "3.0 GB".
QString ByteSizeText(uint64_t bytes);

}  // namespace tolvan
