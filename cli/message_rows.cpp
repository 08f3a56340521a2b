#include "message_rows.h"

#include <ctime>
#include <filesystem>

namespace varrow::cli {

std::vector<std::string> MessageColumns(bool hashes) {
    std::vector<std::string> columns = {"Message No.",    "Subject",      "Copy",        "File",
                                        "Size",           "Blocks",       "First block", "Complete",
                                        "Why incomplete", "Duplicate of", "Date",        "From"};
    if (hashes) {
        columns.push_back("MD5");
        columns.push_back("SHA-256");
    }
    return columns;
}

std::string IncompleteText(uint32_t reasons) {
    std::string text;
    auto add = [&text](const char* reason) {
        if (!text.empty()) text += "; ";
        text += reason;
    };
    if (reasons & VARROW_INCOMPLETE_BEGINNING) add("beginning missing");
    if (reasons & VARROW_INCOMPLETE_END) add("end missing");
    if (reasons & VARROW_INCOMPLETE_UNREADABLE) add("unreadable bytes");
    if (reasons & VARROW_INCOMPLETE_UNCERTAIN) add("continuation uncertain");
    return text;
}

std::string UtcText(int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&time, &parts)) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string RelativeTo(const std::string& path, const std::string& folder) {
    // The engine names files with the system's own separator.
    const auto separator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != separator) prefix += separator;
    if (path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
    return path;
}

namespace {

// "uncertain" when the only doubt is a continuation chosen among rivals.
const char* CompleteWord(uint32_t reasons) {
    if (reasons == 0) return "yes";
    return reasons == VARROW_INCOMPLETE_UNCERTAIN ? "uncertain" : "no";
}

}  // namespace

std::vector<std::string> MessageRow(const VarrowMessageRecord& record,
                                    const std::string& outputFolder,
                                    const std::optional<FileDigests>& digests, bool hashes) {
    const bool written = record.outcome == VARROW_COPY_WRITTEN;
    std::string file;
    switch (record.outcome) {
        case VARROW_COPY_WRITTEN: file = RelativeTo(record.path, outputFolder); break;
        case VARROW_COPY_DUPLICATE: file = ""; break;
        case VARROW_COPY_EMPTY: file = "(nothing could be read)"; break;
        default: file = "(could not be written)"; break;
    }
    std::vector<std::string> row = {
        std::to_string(record.number),
        record.subject ? record.subject : "",
        std::to_string(record.copy),
        file,
        std::to_string(record.bytes),
        std::to_string(record.blockCount),
        record.blockCount > 0 ? std::to_string(record.blocks[0]) : "",
        CompleteWord(record.incomplete),
        IncompleteText(record.incomplete),
        record.outcome == VARROW_COPY_DUPLICATE ? std::to_string(record.duplicateOfNumber) + "/" +
                                                      std::to_string(record.duplicateOfCopy)
                                                : "",
        record.hasDate ? UtcText(record.date) : "",
        record.from ? record.from : "",
    };
    if (hashes) {
        row.push_back(written && digests ? digests->md5 : "");
        row.push_back(written && digests ? digests->sha256 : "");
    }
    return row;
}

}  // namespace varrow::cli
