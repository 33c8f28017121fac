#include "framework/Memory.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(Memory, ImpossibleBlockThrowsTheOutOfMemoryMessage) {
    try {
        // Beyond the largest object any process can hold; half the address space itself can be had by a
        // 32-bit program on a 64-bit kernel.
        MemAlloc(SIZE_MAX / 2 + 1);
        FAIL() << "MemAlloc returned for an impossible size";
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "必要なメモリ容量を確保できませんでした。メモリが不足しています。\n");
    }
}

TEST(Memory, BlocksAreUsableAndZeroSizedOnesDistinct) {
    auto* p = static_cast<uint8_t*>(MemAlloc(100));
    std::memset(p, 0xAB, 100);
    void* a = MemAlloc(0);
    void* b = MemAlloc(0);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    MemFree(a);
    MemFree(b);
    MemFree(p);
    MemFree(nullptr);
}

namespace {

int g_nLiving = 0;

struct Base {
    Base() { ++g_nLiving; }
    virtual ~Base() { --g_nLiving; }
};

struct Derived : Base {
    explicit Derived(bool bFail) : m_pExtra(static_cast<char*>(MemAlloc(16))) {
        if (bFail) {
            MemFree(m_pExtra);
            throw SString("failed Derived");
        }
    }
    ~Derived() override { MemFree(m_pExtra); }
    char* m_pExtra;
};

} // namespace

TEST(Memory, NewObjectFreesTheBlockWhenTheConstructorThrows) {
    // A leak here shows up under LeakSanitizer in the sanitizer presets.
    EXPECT_THROW(NewObject<Derived>(true), SString);
    EXPECT_EQ(g_nLiving, 0);
}

TEST(Memory, DeleteObjectThroughABaseNullsThePointerAndToleratesASecondCall) {
    Base* pObject = NewObject<Derived>(false);
    EXPECT_EQ(g_nLiving, 1);
    DeleteObject(pObject);
    EXPECT_EQ(pObject, nullptr);
    EXPECT_EQ(g_nLiving, 0);
    DeleteObject(pObject);
    EXPECT_EQ(g_nLiving, 0);
}
