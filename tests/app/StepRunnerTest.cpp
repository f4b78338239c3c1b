#include "app/StepRunner.h"
#include "platform/AppError.h"
#include "support/FakeUi.h"

#include <gtest/gtest.h>

using namespace halvorix;

TEST(StepRunner, Placeholder) { EXPECT_TRUE(true); }
