// How the command line answers Ctrl-C on Windows: through a console control
// handler, which Windows runs on a thread of its own.
#include <windows.h>

#include <atomic>

#include "signals.h"

namespace varrow::cli {

namespace {

std::atomic<bool> g_stopRequested{false};
std::atomic<int> g_interrupts{0};
// The watcher's beforeExit; one watcher at a time.
std::atomic<std::function<void()>*> g_beforeExit{nullptr};

void RemoveFilesAndExit() {
    if (std::function<void()>* beforeExit = g_beforeExit.load()) (*beforeExit)();
    ExitProcess(kStoppedStatus);
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (++g_interrupts == 1) {
                g_stopRequested = true;
            } else {
                RemoveFilesAndExit();
            }
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // Windows ends the program right after these: no time to stop
            // the run in order, only to remove this run's own files.
            RemoveFilesAndExit();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

const char* const kStopHelp = "Ctrl-C (or Ctrl-Break)";

struct SignalWatcher::State {
    std::function<void()> beforeExit;
};

SignalWatcher::SignalWatcher(std::function<void()> beforeExit) : state_(new State) {
    state_->beforeExit = std::move(beforeExit);
    g_beforeExit = &state_->beforeExit;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

SignalWatcher::~SignalWatcher() {
    // Ctrl-C is ignored from here on: one that comes now, as the program
    // ends, is not worth ending it in the middle of its last lines.
    SetConsoleCtrlHandler(nullptr, TRUE);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    g_beforeExit = nullptr;
    delete state_;
}

bool SignalWatcher::StopRequested() { return g_stopRequested; }

}  // namespace varrow::cli
