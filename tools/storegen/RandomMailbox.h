#pragma once

#include "StoreWriter.h"

namespace storegen {

// Writes a realistic mailbox determined by a seed: a folder tree with mail, contacts,
// appointments and tasks, streamed into a store writer one item at a time.
class RandomMailbox
{
public:
    RandomMailbox(std::uint64_t messages, std::uint64_t seed);

    void write(StoreWriter& writer);

private:
    std::uint64_t m_messages;
    std::uint64_t m_seed;
};

} // namespace storegen
