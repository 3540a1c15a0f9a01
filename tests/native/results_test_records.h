// The result list tests' records and local times: the native test support under the name
// those tests use.
#pragma once

#include "test_support.h"

namespace results_test {
using namespace test_support;
} // namespace results_test
