#include "platform/os.h"

namespace varrow::platform {

namespace {
Os* g_current = nullptr;
}

Os& CurrentOs() { return g_current ? *g_current : SystemOs(); }

ScopedOs::ScopedOs(Os& os) : previous_(g_current) { g_current = &os; }

ScopedOs::~ScopedOs() { g_current = previous_; }

}  // namespace varrow::platform
