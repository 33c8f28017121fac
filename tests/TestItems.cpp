#include "TestItems.h"

#include "platform/shared/BuiltinTable.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

BuiltinItem g_items[] = {
    {"TEST_ITEM", nullptr, 0},
    {"TEST_ITEM2", nullptr, 0},
};
std::unique_ptr<uint8_t[]> g_storage[2];

} // namespace

void SetTestItem(const char* pszName, const std::vector<uint8_t>& bytes) {
    RegisterBuiltinItems(g_items, 2);
    for (int i = 0; i < 2; ++i) {
        if (std::strcmp(g_items[i].pszName, pszName) == 0) {
            g_storage[i].reset(new uint8_t[bytes.empty() ? 1 : bytes.size()]);
            if (!bytes.empty()) {
                std::memcpy(g_storage[i].get(), bytes.data(), bytes.size());
            }
            g_items[i].pData = g_storage[i].get();
            g_items[i].dwSize = static_cast<uint32_t>(bytes.size());
            return;
        }
    }
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    static int s_nCount = 0;
    m_path = (std::filesystem::temp_directory_path() /
              ("lumivorra-test-" + std::to_string(::getpid()) + "-" + std::to_string(++s_nCount)))
                 .string();
    std::ofstream out(m_path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile() {
    std::remove(m_path.c_str());
}
