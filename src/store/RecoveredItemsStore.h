#pragma once

#include "Store.h"

#include <map>
#include <memory>

namespace store {

// A store seen with what its reader's recovery pass finds: the root folder gains, after its own
// sub-folders, a folder "Recovered Items" holding the recovered items below the paths of the
// folders they were in (an item whose folder is not known lies in "Recovered Items" itself).
// Everything else is the wrapped store's. The pass runs when this is made. Thread-safe as the
// wrapped store is.
class RecoveredItemsStore final : public Store
{
public:
    static constexpr const char* kFolderName = "Recovered Items";

    // Throws StoreError when the pass fails or is aborted.
    explicit RecoveredItemsStore(std::unique_ptr<Store> store, const RecoveryProgress& progress = {});
    ~RecoveredItemsStore() override;

    ContentType contentType() const override { return m_store->contentType(); }
    EncryptionType encryptionType() const override { return m_store->encryptionType(); }
    int formatType() const override { return m_store->formatType(); }
    std::uint64_t fileSize() const override { return m_store->fileSize(); }
    int codePage() const override { return m_store->codePage(); }
    CodePageChoice codePageChoice() const override { return m_store->codePageChoice(); }
    std::unique_ptr<Item> rootFolder() const override;
    std::unique_ptr<Item> messageStore() const override { return m_store->messageStore(); }
    std::unique_ptr<Item> message(std::uint32_t identifier) const override
    {
        return m_store->message(identifier);
    }
    void signalAbort() override { m_store->signalAbort(); }
    bool allowsConcurrentReads() const override { return m_store->allowsConcurrentReads(); }
    QStringList damage() const override { return m_store->damage(); }
    std::vector<RecoveredItem> recoverItems(const RecoveryProgress& progress) const override;
    std::unique_ptr<Item> recoveredItem(const RecoveredItem& item) const override
    {
        return m_store->recoveredItem(item);
    }

    const std::vector<RecoveredItem>& recovered() const { return m_items; }
    std::map<RecoveredState, int> countsByState() const;

    struct FolderNode; // one folder of the "Recovered Items" tree

private:
    std::shared_ptr<Store> m_store;
    std::vector<RecoveredItem> m_items;
    std::shared_ptr<const FolderNode> m_tree;
};

} // namespace store
