// The automation client for end-to-end tests of real executables.
#pragma once

#include "plat/automation/client.h"

namespace autotest {
using plat::automation::ChildProcess;
using plat::automation::Client;
} // namespace autotest
