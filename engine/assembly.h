// Pass 2: rebuilding messages from the block chains that pass 1 indexed.
#pragma once

#include <cstdint>
#include <string>

namespace varrow {

class CFile64Ex;
class RecoverySession;

// Runs pass 1 and pass 2 over an open source and reports what ends them;
// returns 1 when message output began, else 0.
int32_t RunPasses(RecoverySession& session, CFile64Ex& source, const std::string& destination);

}  // namespace varrow
