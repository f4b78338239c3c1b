#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace halvorix::test {

// Tests that need what a machine may lack (root, /dev/fuse, loop devices, the card file systems'
// tools) skip with the reason. Where such a test must run (CI sets HALVORIX_REQUIRE_REAL_MEDIA=1),
// a skip would hide a fault, so it fails instead.
inline bool realMediaRequired()
{
    const char *value = std::getenv("HALVORIX_REQUIRE_REAL_MEDIA");
    return value && std::strcmp(value, "1") == 0;
}

} // namespace halvorix::test

// Use inside a test body or fixture SetUp, like GTEST_SKIP().
#define HALVORIX_SKIP_WITHOUT(reason)                                                                        \
    do {                                                                                                     \
        if (::halvorix::test::realMediaRequired())                                                           \
            FAIL() << "required here, but unavailable: " << (reason);                                        \
        GTEST_SKIP() << (reason);                                                                            \
    } while (false)
