// How the command line answers the signals that end programs.
//
// The first interrupt, terminate or hang-up asks the recovery to stop at
// its next opportunity; the run then ends as usual, with its totals. The
// second one ends the program at once, after removing this run's own
// temporary and staging files. A closed pipe never ends the run: writes to
// it fail and the run goes on.
#pragma once

#include <functional>

namespace varrow::cli {

class SignalWatcher {
public:
    // beforeExit runs on the watcher's own thread when a second signal ends
    // the program; it must only remove files.
    explicit SignalWatcher(std::function<void()> beforeExit);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // Whether a signal asked to stop.
    static bool StopRequested();

private:
    struct State;
    State* state_;
};

// The exit status of a run that a signal stopped (128 + SIGINT).
inline constexpr int kStoppedStatus = 130;

}  // namespace varrow::cli
