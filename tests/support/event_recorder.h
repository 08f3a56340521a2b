// Records the events of a recovery, with copies of what they carry.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "varrow.h"

namespace varrow::testing {

struct RecordedEvent {
    int32_t code;
    std::string text;  // texts, and the number of EV_PROGRESS / EV_REPORT_COLUMNS in decimal
    int64_t number = -1;
};

// A copy of an EV_MESSAGE_RECORD, which owns what the record pointed to.
struct MessageRecordCopy {
    VarrowMessageRecord fields{};  // its pointers are not valid after the event
    std::string path;
    std::string subject;
    std::string from;
    std::vector<uint64_t> blocks;
    std::vector<VarrowByteRun> runs;
};

class EventRecorder {
public:
    std::vector<RecordedEvent> events;
    std::vector<MessageRecordCopy> records;
    std::vector<VarrowTotals> totals;
    // Answers EV_QUERY_ABORT; the argument counts the questions from 1.
    std::function<bool(int)> stopAt;
    int questions = 0;

    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData);

    std::vector<int32_t> Codes() const;
    std::vector<std::string> Texts(int32_t code) const;
    std::vector<int64_t> Numbers(int32_t code) const;
    int Count(int32_t code) const;
};

// Runs RecoverMessages through the masked C interface.
int32_t RunRecovery(const std::string& source, const std::string& destination, uint32_t options,
                    EventRecorder* recorder);

}  // namespace varrow::testing
