#pragma once

#include "PropertyEntry.h"

#include <vector>

namespace store::native {

class Heap;

// The properties of a property context (a heap whose user root is a B-tree of 2-byte property
// ids and 6-byte type and value records), in the tree's order. Records that are all zero carry
// nothing and are left out. Throws StoreError when the context is damaged.
std::vector<PropertyEntry> readPropertyContext(const Heap& heap);

} // namespace store::native
