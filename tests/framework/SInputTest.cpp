#include "framework/SInput.h"
#include "TestItems.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::string LoadError(const char* pszName, int32_t dwLoadType) {
    SInput input;
    try {
        input.Load(pszName, dwLoadType, nullptr);
    } catch (const SString& error) {
        EXPECT_EQ(input.m_pData, nullptr);
        EXPECT_EQ(input.m_pBuffer, nullptr);
        return error.Text();
    }
    return "(no error)";
}

} // namespace

TEST(SInput, ReadsAWholeFileIntoItsOwnBlock) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 0, 255};
    TempFile file(bytes);
    SInput input;
    input.Load(file.Path(), LOAD_FILE, nullptr);
    ASSERT_EQ(input.m_dwSize, bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(input.m_pData, input.m_pData + input.m_dwSize), bytes);
    EXPECT_EQ(input.m_pData, input.m_pBuffer);
    input.Release();
    input.Release();
    EXPECT_EQ(input.m_pData, nullptr);

    TempFile empty({});
    input.Load(empty.Path(), LOAD_FILE, nullptr);
    EXPECT_EQ(input.m_dwSize, 0u);
}

TEST(SInput, FileFailuresNameThePath) {
    EXPECT_EQ(LoadError("/nonexistent/heightmap.bmp", LOAD_FILE),
              "/nonexistent/heightmap.bmpをオープンできませんでした。\n");
    const std::string dir = std::filesystem::temp_directory_path().string();
#ifdef _WIN32
    // CreateFileA opens no folder.
    EXPECT_EQ(LoadError(dir.c_str(), LOAD_FILE), dir + "をオープンできませんでした。\n");
#else
    // A folder opens but cannot be read.
    EXPECT_EQ(LoadError(dir.c_str(), LOAD_FILE), dir + "を正常に読み込めませんでした。\n");
#endif
}

TEST(SInput, FindsBuiltinItemsInPlaceIgnoringCase) {
    SetTestItem("TEST_ITEM", {9, 8, 7});
    SInput input;
    input.Load("test_item", LOAD_RESOURCE, nullptr);
    ASSERT_EQ(input.m_dwSize, 3u);
    EXPECT_EQ(input.m_pData[0], 9);
    EXPECT_EQ(input.m_pBuffer, nullptr);
    EXPECT_EQ(LoadError("NO_SUCH_ITEM", LOAD_RESOURCE), "リソースからNO_SUCH_ITEMを発見できませんでした。\n");
}
