#include "linked_chains.h"

#include <memory>

#include "classic_linking.h"
#include "fast_scan.h"
#include "file64.h"
#include "session.h"
#include "store_aware_linking.h"

namespace varrow::testing {

namespace {

class MemoryFile : public CFile64 {
public:
    void Write(const void* buffer, uint32_t count) override {
        text.append(static_cast<const char*>(buffer), count);
    }
    std::string text;
};

bool StartsWithHeaderLine(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] > ' ' && text[i] < 127 && text[i] != ':') ++i;
    return i > 0 && i < text.size() && text[i] == ':';
}

}  // namespace

bool LinkedChain::Incomplete() const {
    return trace.end != ChainEnd::Complete || trace.unreadable || !StartsWithHeaderLine(text);
}

std::vector<LinkedChain> LinkChains(const std::string& imagePath, bool storeAware) {
    RecoverySession session(nullptr, nullptr);
    CFile64Ex source;
    if (!source.Open(imagePath, CFile64::modeRead | CFile64::typeBinary, nullptr)) return {};
    std::unique_ptr<MessageLinker> linker;
    if (storeAware) linker = std::make_unique<StoreAwareLinker>();
    else linker = std::make_unique<ClassicLinker>(session);
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
