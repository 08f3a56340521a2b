#include "event_recorder.h"

#include <cstring>

namespace varrow::testing {

int32_t VARROW_CALL EventRecorder::Callback(int32_t code, void* data, void* userData) {
    auto& self = *static_cast<EventRecorder*>(userData);
    RecordedEvent event{code, {}};
    switch (code) {
        case EV_PROGRESS:
            event.number = *static_cast<const uint8_t*>(data);
            break;
        case EV_REPORT_COLUMNS:
            event.number = *static_cast<const int32_t*>(data);
            break;
        case EV_QUERY_ABORT:
            break;
        case EV_MESSAGE_RECORD: {
            const auto& record = *static_cast<const VarrowMessageRecord*>(data);
            MessageRecordCopy copy;
            copy.fields = record;
            copy.path = record.path;
            copy.subject = record.subject;
            copy.from = record.from;
            copy.blocks.assign(record.blocks, record.blocks + record.blockCount);
            copy.runs.assign(record.runs, record.runs + record.runCount);
            self.records.push_back(std::move(copy));
            event.text = record.path;
            break;
        }
        case EV_TOTALS:
            self.totals.push_back(*static_cast<const VarrowTotals*>(data));
            break;
        default:
            event.text = data ? static_cast<const char*>(data) : "(null)";
            break;
    }
    self.events.push_back(event);
    if (code == EV_QUERY_ABORT) {
        ++self.questions;
        return self.stopAt && self.stopAt(self.questions) ? 1 : 0;
    }
    return 0;
}

std::vector<int32_t> EventRecorder::Codes() const {
    std::vector<int32_t> codes;
    for (const auto& event : events) codes.push_back(event.code);
    return codes;
}

std::vector<std::string> EventRecorder::Texts(int32_t code) const {
    std::vector<std::string> texts;
    for (const auto& event : events) {
        if (event.code == code) texts.push_back(event.text);
    }
    return texts;
}

std::vector<int64_t> EventRecorder::Numbers(int32_t code) const {
    std::vector<int64_t> numbers;
    for (const auto& event : events) {
        if (event.code == code) numbers.push_back(event.number);
    }
    return numbers;
}

int EventRecorder::Count(int32_t code) const {
    int n = 0;
    for (const auto& event : events) n += event.code == code;
    return n;
}

int32_t RunRecovery(const std::string& source, const std::string& destination, uint32_t options,
                    EventRecorder* recorder) {
    RecoveryParams params{};
    params.sourcePath = source.c_str();
    params.options = options;
    params.destFolder = destination.c_str();
    params.callback = recorder ? &EventRecorder::Callback : nullptr;
    params.userData = recorder;
    RecoveryParams masked;
    std::memcpy(&masked, &params, sizeof params);
    auto* bytes = reinterpret_cast<unsigned char*>(&masked);
    for (size_t i = 0; i < sizeof masked; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    return RecoverMessages(&masked);
}

}  // namespace varrow::testing
