// Helpers for the plat/sys tests.
#pragma once

#include "tests/common/test_util.h"

namespace systest {
using namespace testutil;
} // namespace systest
