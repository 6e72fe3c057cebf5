#pragma once

#include "NodeId.h"

#include <QList>
#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace catalog {

// One catalog of records of type R in append order, with indexes by serial (first record of a
// serial) and by node, so appends and lookups cost O(1) whatever the catalog's size.
// Thread-safe: one writer appends while any number of readers look up. Readers get
// std::shared_ptr<const R>, so a record a reader holds stays valid after the catalog is cleared.
// Only Catalogs appends and clears.
template <typename R> class Catalog
{
public:
    using Pointer = std::shared_ptr<const R>;

    qsizetype size() const
    {
        std::shared_lock lock(m_mutex);
        return static_cast<qsizetype>(m_records.size());
    }

    bool isEmpty() const { return size() == 0; }

    // The record at append position `index`, or null when out of range.
    Pointer at(qsizetype index) const
    {
        std::shared_lock lock(m_mutex);
        if (index < 0 || static_cast<std::size_t>(index) >= m_records.size())
            return {};
        return m_records[static_cast<std::size_t>(index)];
    }

    // The records from append position `first` on (for consuming appends in batches).
    QList<Pointer> recordsFrom(qsizetype first) const
    {
        std::shared_lock lock(m_mutex);
        QList<Pointer> result;
        const std::size_t begin = first < 0 ? 0 : static_cast<std::size_t>(first);
        if (begin < m_records.size()) {
            result.reserve(static_cast<qsizetype>(m_records.size() - begin));
            for (std::size_t i = begin; i < m_records.size(); ++i)
                result.append(m_records[i]);
        }
        return result;
    }

    // Every record, in append order.
    QList<Pointer> records() const { return recordsFrom(0); }

    // The records attached to `node`, in append order; empty for NoNode.
    QList<Pointer> recordsForNode(NodeId node) const
    {
        std::shared_lock lock(m_mutex);
        QList<Pointer> result;
        const auto found = m_byNode.find(node);
        if (found == m_byNode.end())
            return result;
        result.reserve(static_cast<qsizetype>(found->second.size()));
        for (const quint32 index : found->second)
            result.append(m_records[index]);
        return result;
    }

    qsizetype countForNode(NodeId node) const
    {
        std::shared_lock lock(m_mutex);
        const auto found = m_byNode.find(node);
        return found == m_byNode.end() ? 0 : static_cast<qsizetype>(found->second.size());
    }

    // The first record appended with `serial`, or null.
    Pointer bySerial(int serial) const requires requires(const R& r) { r.serial; }
    {
        std::shared_lock lock(m_mutex);
        const auto inOrder = std::lower_bound(m_serials.begin(), m_serials.end(), serial,
                                              [](const SerialEntry& entry, int s) { return entry.serial < s; });
        if (inOrder != m_serials.end() && inOrder->serial == serial)
            return m_records[inOrder->index];
        const auto found = m_bySerial.find(serial);
        return found == m_bySerial.end() ? Pointer{} : m_records[found->second];
    }

    Pointer last() const
    {
        std::shared_lock lock(m_mutex);
        return m_records.empty() ? Pointer{} : m_records.back();
    }

private:
    friend class Catalogs;

    // Links a complete record. Either the record is linked with its index entries or, when an
    // allocation fails, nothing changes and std::bad_alloc propagates.
    void append(Pointer record)
    {
        std::unique_lock lock(m_mutex);
        const std::size_t index = m_records.size();
        if (m_records.capacity() == index)
            m_records.reserve(index < 1024 ? 1024 : index * 2);
        const NodeId node = record->node;
        if (isValid(node))
            m_byNode[node].push_back(static_cast<quint32>(index));
        if constexpr (requires { record->serial; }) {
            // Serials come in rising order: a sorted list costs a tenth of a hash map's memory.
            // One out of order (or repeated) goes to the map, where a repeated one keeps the first.
            try {
                const int serial = record->serial;
                if (m_serials.empty() || m_serials.back().serial < serial) {
                    if (!m_bySerial.contains(serial))
                        m_serials.push_back(SerialEntry{serial, static_cast<quint32>(index)});
                } else if (!std::binary_search(m_serials.begin(), m_serials.end(), SerialEntry{serial, 0})) {
                    m_bySerial.try_emplace(serial, index);
                }
            } catch (...) {
                if (isValid(node))
                    m_byNode[node].pop_back();
                throw;
            }
        }
        m_records.push_back(std::move(record)); // cannot throw: capacity was reserved
    }

    void clear()
    {
        std::vector<Pointer> records;
        std::unordered_map<NodeId, std::vector<quint32>> byNode;
        std::unordered_map<int, std::size_t> bySerial;
        std::vector<SerialEntry> serials;
        {
            std::unique_lock lock(m_mutex);
            records.swap(m_records);
            byNode.swap(m_byNode);
            bySerial.swap(m_bySerial);
            serials.swap(m_serials);
        }
        // The records are released here, outside the lock; any a reader holds live on.
    }

    struct SerialEntry
    {
        int serial;
        quint32 index;
        friend bool operator<(const SerialEntry& a, const SerialEntry& b) { return a.serial < b.serial; }
    };

    mutable std::shared_mutex m_mutex;
    std::vector<Pointer> m_records;
    std::unordered_map<NodeId, std::vector<quint32>> m_byNode;
    std::vector<SerialEntry> m_serials;             // rising serials
    std::unordered_map<int, std::size_t> m_bySerial; // serials appended out of order
};

} // namespace catalog
