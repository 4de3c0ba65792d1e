// A program started by a test as its own process.
#pragma once

#include "plat/automation/client.h"

namespace testutil {
using plat::automation::ChildProcess;
} // namespace testutil
