#pragma once
// Shared helpers of the view tests.
#include <gtest/gtest.h>

#include "common/canvas.h"
#include "sphaeron/view/view.h"
#include "tests/support/error_text.h"
#include "tests/support/taon_helpers.h"

namespace sphaeron::testing {

using testsupport::ErrorText;
using testsupport::PutTaon;

}  // namespace sphaeron::testing
