#pragma once

#include "NodeId.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace catalog {

// One folder the scan inserted into the tree: where it sits and under which node.
struct FolderRecord
{
    QString name;         // the folder's directory name (last component of its target path)
    QString parentLabel;  // the parent node's label when the folder was inserted
    int depth = 0;        // the folder depth the folder export computed
    QString relativePath; // the folder's parent path below the export root
    NodeId parentNode = NoNode;
    NodeId node = NoNode;
    std::optional<std::uint32_t> storeIdentifier; // the folder's identifier in the store, when known
};

} // namespace catalog
