#pragma once

#include <QHashFunctions>
#include <QtGlobal>
#include <cstddef>
#include <functional>

namespace catalog {

// Handle of a folder tree node. Records keep the node that was current when they were appended;
// the folder tree model (views) hands the ids out. Ids are never reused within a process, so a
// record that outlives a cleared tree never names a node of a later tree. NodeId{} is "no node"
// (and, as a parent, the tree's invisible root).
enum class NodeId : quint32
{
};

inline constexpr NodeId NoNode = NodeId{};

inline constexpr bool isValid(NodeId node)
{
    return node != NoNode;
}

inline constexpr quint32 toInt(NodeId node)
{
    return static_cast<quint32>(node);
}

inline size_t qHash(NodeId node, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<quint32>(node), seed);
}

} // namespace catalog

template <> struct std::hash<catalog::NodeId>
{
    size_t operator()(catalog::NodeId node) const noexcept
    {
        return std::hash<quint32>()(static_cast<quint32>(node));
    }
};
