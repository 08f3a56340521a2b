#include "scan.h"

namespace varrow {}  // namespace varrow
