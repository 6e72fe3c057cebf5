#include "FakeStore.h"

#include "FakeItem.h"

#include <store/StoreError.h>

namespace support {

FakeStore::FakeStore()
    : m_state(std::make_shared<FakeStoreState>()),
      m_root(std::make_shared<FakeNode>(m_state, store::ItemType::Folder, 1))
{
}

std::unique_ptr<store::Item> FakeStore::rootFolder() const
{
    ++m_rootFetches;
    if (m_failRoot)
        throw store::StoreError("injected failure fetching the root folder");
    return FakeItem::fetch(m_root);
}

} // namespace support
