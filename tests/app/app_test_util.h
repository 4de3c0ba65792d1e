// Helpers for the install context and system query tests.
#pragma once

#include "tests/common/test_util.h"

namespace apptest {
using namespace testutil;
} // namespace apptest
