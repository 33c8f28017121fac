#include "framework/Debug.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Debug, DebugPrintWritesFormattedTextAndKeepsAtMost513Bytes) {
    HeadlessClearDebugText();
    DebugPrint("failed %s 返値=%d\n", "CreateWindowEx(...)", 0);
    EXPECT_EQ(HeadlessDebugText(), "failed CreateWindowEx(...) 返値=0\n");

    HeadlessClearDebugText();
    const std::string longer(1000, 'z');
    DebugPrint("%s", longer.c_str());
    EXPECT_EQ(HeadlessDebugText(), longer.substr(0, 513));
    HeadlessClearDebugText();
}

namespace {
std::vector<std::string> g_traced;
void CollectTrace(const char* pszLine) {
    g_traced.emplace_back(pszLine);
}
} // namespace

TEST(Debug, TraceReachesAnInstalledSinkAndIsOtherwiseDiscarded) {
    g_traced.clear();
    Trace("SMusic: Format=%d TimeBase=%d Tracks=%d\n", 1, 480, 33);
    EXPECT_TRUE(g_traced.empty());

    SetTraceSink(CollectTrace);
    Trace("SMusic: Format=%d TimeBase=%d Tracks=%d\n", 1, 480, 33);
    SetTraceSink(nullptr);
    Trace("SFrmWork: Exit Thread.\n");
    ASSERT_EQ(g_traced.size(), 1u);
    EXPECT_EQ(g_traced[0], "SMusic: Format=1 TimeBase=480 Tracks=33\n");
}
