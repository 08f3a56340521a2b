#include "naming.h"

namespace varrow {}  // namespace varrow
