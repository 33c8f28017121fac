#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Tests ask the heap for impossible blocks to see MemAlloc's error; the sanitizers' allocators must
// return null for those as the plain heap does, instead of ending the run.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
extern "C" const char* __tsan_default_options() {
    return "allocator_may_return_null=1";
}

int main(int argc, char** argv) {
#if defined(LV_TEST_LOCALES)
    // The texts the tests check are the system's own, Japanese ones, unless the run names its locale
    // (LC_ALL=en_US.UTF-8 for the English cases); the locales are made in the build folder.
    setenv("LOCPATH", LV_TEST_LOCALES, 0);
    setenv("LC_ALL", "ja_JP.UTF-8", 0);
#endif
    TimerStartup();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
