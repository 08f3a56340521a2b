#include "csv.h"

#include "display.h"

namespace varrow::cli {

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) record += ',';
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            record += field;
            continue;
        }
        record += '"';
        for (const char c : field) {
            if (c == '"') record += '"';
            record += c;
        }
        record += '"';
    }
    record += "\r\n";
    return record;
}

void CsvWriter::Row(const std::vector<std::string>& cells) {
    std::vector<std::string> safe;
    safe.reserve(cells.size());
    for (const std::string& cell : cells) safe.push_back(SpreadsheetSafe(cell));
    out_ << CsvRecord(safe);
    out_.flush();
}

}  // namespace varrow::cli
