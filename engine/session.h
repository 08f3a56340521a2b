// One recovery: the session that a call of RecoverMessages creates, runs
// and destroys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "assembly/message_records.h"
#include "base/run_events.h"
#include "link/block_index.h"
#include "varrow.h"

namespace varrow {

class MessageLinker;

class RecoverySession : public RunEvents {
public:
    RecoverySession(EngineCallback callback, void* userData);
    virtual ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    // Performs one recovery; 1 when message output began, else 0.
    int32_t Run(const char* sourcePath, int32_t reserved, uint32_t options,
                const char* destFolder);

    // The counts of this run, which the passes fill.
    RunTotals totals;

    // Blocks that some block names as its successor, by offset.
    BlockIndex linkedBlocks;
    // Blocks that no block names as its successor: the first blocks of
    // messages, by offset.
    BlockIndex chainHeads;

protected:
    // Sends one event when a callback is set; returns its answer, or 0.
    int32_t Send(int32_t code, const void* data) override;

private:
    // The linker the options ask for: store by store, or by offset alone
    // in the session's two indexes.
    std::unique_ptr<MessageLinker> MakeLinker();

    EngineCallback callback_;
    void* userData_;
};

// The absolute form of path, resolved against the current directory; empty
// when it cannot be formed or is longer than the system allows.
std::string GetFullPath(const std::string& path);

}  // namespace varrow
