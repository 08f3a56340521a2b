// A DFXML report of a run: the source, the program, and every written file
// with the places on the source its bytes came from.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "file_digests.h"
#include "varrow.h"

namespace varrow::cli {

struct DfxmlSource {
    std::string imagePath;
    uint64_t imageSize = 0;
    std::string commandLine;
    std::string version;
};

class DfxmlReport {
public:
    DfxmlReport();
    ~DfxmlReport();
    DfxmlReport(const DfxmlReport&) = delete;
    DfxmlReport& operator=(const DfxmlReport&) = delete;

    // Starts the report in the file at path; false when it cannot be written.
    bool Open(const std::string& path, const DfxmlSource& source);
    // One file object for a written message; its name is made relative to
    // outputFolder. The mtime is the message's date when it has one.
    void AddFile(const VarrowMessageRecord& record, const std::string& outputFolder,
                 const std::optional<FileDigests>& digests);
    // Ends the report; false when anything could not be written.
    bool Close();

private:
    struct Writer;
    std::unique_ptr<Writer> writer_;
    bool failed_ = false;
};

// text as XML 1.0 can hold it: valid UTF-8 stays, except characters XML
// forbids; every other byte becomes "%XX".
std::string XmlSafe(const std::string& text);

}  // namespace varrow::cli
