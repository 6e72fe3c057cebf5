#pragma once

#include <atomic>

namespace catalog {

// The item serial counter: 0 at program start, incremented once per exported mail, contact and
// appointment, never reset, so serials are unique for the life of the process. Thread-safe.
class ItemSerialCounter
{
public:
    ItemSerialCounter() = default;
    ItemSerialCounter(const ItemSerialCounter&) = delete;
    ItemSerialCounter& operator=(const ItemSerialCounter&) = delete;

    // The process-wide counter the exports share.
    static ItemSerialCounter& processCounter();

    // Increments and returns the new value (1 for the first item).
    int next();
    int current() const;

private:
    std::atomic<int> m_value{0};
};

} // namespace catalog
