#include "FuzzItem.h"

#include "platform/shared/BuiltinTable.h"

#include <cstring>
#include <memory>

namespace {

BuiltinItem g_item = {kFuzzItem, nullptr, 0};
std::unique_ptr<uint8_t[]> g_storage;

} // namespace

void SetFuzzItem(const uint8_t* pData, size_t nSize) {
    RegisterBuiltinItems(&g_item, 1);
    // An empty input still gets a block of its own, so that its address is never a stale one.
    g_storage.reset(new uint8_t[nSize == 0 ? 1 : nSize]);
    if (nSize != 0) {
        std::memcpy(g_storage.get(), pData, nSize);
    }
    g_item.pData = g_storage.get();
    g_item.dwSize = static_cast<uint32_t>(nSize);
}
