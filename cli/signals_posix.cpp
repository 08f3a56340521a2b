#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "signals.h"

namespace varrow::cli {

namespace {

std::atomic<bool> g_stopRequested{false};

sigset_t WatchedSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    // Sent to end the watcher when the run is over.
    sigaddset(&signals, SIGUSR2);
    return signals;
}

}  // namespace

struct SignalWatcher::State {
    std::function<void()> beforeExit;
    std::thread thread;
};

SignalWatcher::SignalWatcher(std::function<void()> beforeExit) : state_(new State) {
    state_->beforeExit = std::move(beforeExit);
    std::signal(SIGPIPE, SIG_IGN);
    // Blocked in every thread, the signals wait for the watcher's sigwait;
    // the engine's thread is never interrupted by them.
    const sigset_t signals = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    state_->thread = std::thread([state = state_] {
        const sigset_t watched = WatchedSignals();
        int received = 0;
        for (int count = 0;;) {
            if (sigwait(&watched, &received) != 0) continue;
            if (received == SIGUSR2) return;
            if (++count == 1) {
                g_stopRequested = true;
                continue;
            }
            state->beforeExit();
            _exit(kStoppedStatus);
        }
    });
}

SignalWatcher::~SignalWatcher() {
    pthread_kill(state_->thread.native_handle(), SIGUSR2);
    state_->thread.join();
    // The signals stay blocked: one that comes now, as the program ends,
    // is not worth ending it in the middle of its last lines.
    delete state_;
}

bool SignalWatcher::StopRequested() { return g_stopRequested; }

}  // namespace varrow::cli
