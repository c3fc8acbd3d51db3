// The layout tests' name for the one page renderer of the tests
// (tests/support/page_renderer.h).
#pragma once

#include "tests/support/page_renderer.h"
