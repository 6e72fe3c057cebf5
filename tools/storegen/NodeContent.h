#pragma once

#include <QByteArray>
#include <cstdint>
#include <utility>
#include <vector>

namespace storegen {

// The content of a node before it is written: its data blocks and its sub-nodes, which have
// content of their own.
struct NodeContent
{
    std::vector<QByteArray> blocks;
    std::vector<std::pair<std::uint32_t, NodeContent>> subnodes;
};

} // namespace storegen
