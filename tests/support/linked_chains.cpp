#include "linked_chains.h"

#include <memory>

#include "assembly/completeness.h"
#include "link/classic/classic_linking.h"
#include "link/store_aware/store_aware_linking.h"
#include "scan/fast_scan.h"
#include "session.h"
#include "source/file64.h"

namespace varrow::testing {

namespace {

class MemoryFile : public CFile64 {
public:
    void Write(const void* buffer, uint32_t count) override {
        text.append(static_cast<const char*>(buffer), count);
    }
    std::string text;
};

}  // namespace

bool LinkedChain::Incomplete() const {
    const bool header =
        StartsWithHeaderLine(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return IncompleteReasons(trace, header) != 0;
}

std::vector<LinkedChain> LinkChains(const std::string& imagePath, bool storeAware) {
    RecoverySession session(nullptr, nullptr);
    CFile64Ex source;
    if (!source.Open(imagePath, CFile64::modeRead | CFile64::typeBinary, nullptr)) return {};
    std::unique_ptr<MessageLinker> linker;
    if (storeAware)
        linker = std::make_unique<StoreAwareLinker>();
    else
        linker = std::make_unique<ClassicLinker>(session.linkedBlocks, session.chainHeads);
    ScanBlocksFast(session, source, linker->Collector());
    linker->ValidateHeads(session, source);
    std::vector<LinkedChain> chains;
    for (const uint32_t offset : linker->HeadOffsets()) {
        for (const uint64_t position : linker->HeadPositions(offset)) {
            MemoryFile file;
            LinkedChain chain;
            chain.headOffset = offset;
            linker->WriteChain(source, offset, position, file, chain.trace);
            chain.text = std::move(file.text);
            chains.push_back(std::move(chain));
        }
    }
    return chains;
}

}  // namespace varrow::testing
