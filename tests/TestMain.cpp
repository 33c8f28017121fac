#include "framework/Timer.h"

#include <gtest/gtest.h>

// Tests ask the heap for impossible blocks to see MemAlloc's error; the sanitizers' allocators must
// return null for those as the plain heap does, instead of ending the run.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
extern "C" const char* __tsan_default_options() {
    return "allocator_may_return_null=1";
}

int main(int argc, char** argv) {
    TimerStartup();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
