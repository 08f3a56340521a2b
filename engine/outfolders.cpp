#include "outfolders.h"

namespace varrow {}  // namespace varrow
