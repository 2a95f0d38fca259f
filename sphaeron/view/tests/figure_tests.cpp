#include <gtest/gtest.h>

#include "sphaeron/view/view.h"
