// The DFXML report in a build without libxml2: the command line refuses
// --dfxml there, so no report is ever opened.
#include "dfxml_report.h"

namespace varrow::cli {

const bool kDfxmlAvailable = false;

struct DfxmlReport::Writer {};

DfxmlReport::DfxmlReport() = default;
DfxmlReport::~DfxmlReport() = default;

bool DfxmlReport::Open(const std::string& /*path*/, const DfxmlSource& /*source*/) { return false; }

void DfxmlReport::AddFile(const VarrowMessageRecord& /*record*/, const std::string& /*outputFolder*/,
                          const std::optional<FileDigests>& /*digests*/) {}

bool DfxmlReport::Close() { return true; }

}  // namespace varrow::cli
