#include "QuenlarCloudAPI/Platform/Dispatch.h"

#include <gtest/gtest.h>

TEST(Dispatch, Placeholder) { SUCCEED(); }
