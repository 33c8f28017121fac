#include "resources/BuiltinResources.h"

#include "resources/BuiltinData.h"

void RegisterBuiltinResources() {
    RegisterBuiltinItems(g_aBuiltinItems, g_nBuiltinItems);
}
