// The table of built-in items, defined in the source that the build generates from items.txt.
#pragma once

#include "platform/shared/BuiltinTable.h"

#include <cstddef>

extern const BuiltinItem g_aBuiltinItems[];
extern const size_t g_nBuiltinItems;
