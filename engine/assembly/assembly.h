// Pass 2: rebuilding messages from the block chains that pass 1 indexed.
#pragma once

#include <cstdint>
#include <string>

namespace varrow {

class CFile64Ex;
class MessageLinker;
class RunEvents;
struct RunTotals;
class SourceHealth;

// Runs pass 1 and pass 2 over an open source with the linker the options
// chose, counts into totals, and reports the exceptions that end them as
// EV_ERROR; returns 1 when message output began with at least one head,
// else 0.
int32_t RunPasses(RunEvents& events, RunTotals& totals, MessageLinker& linker, CFile64Ex& source,
                  const std::string& destination);

// Writes one message file per head position into destination (or its
// rollover subfolders) and reports each. *headCount receives the number of
// head offsets as soon as the output begins. health, when given, ends the
// run when the source stops answering.
void ExtractMessages(RunEvents& events, RunTotals& totals, CFile64Ex& source, MessageLinker& linker,
                     const std::string& destination, size_t* headCount, SourceHealth* health = nullptr);

}  // namespace varrow
