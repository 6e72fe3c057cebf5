#pragma once

#include "FakeNode.h"

#include <atomic>
#include <functional>
#include <memory>
#include <store/Store.h>

namespace support {

// What the nodes of one fake store share: the visit hook, the abort signal, identifiers.
struct FakeStoreState
{
    std::function<void(const FakeNode&)> visitHook;
    std::atomic<bool> abortSignalled{false};
    bool abortFailsReads = true;
    std::uint32_t nextIdentifier = 100;
};

// An in-memory store for tests. Build its folders from root(); the store hands out FakeItem
// handles over the nodes. setVisitHook() is called each time an item is fetched (root folder,
// sub-item, sub-folder, sub-message, recipients, attachment, embedded item), so a test can act in
// the middle of a walk. After signalAbort() every fetch and read throws, as the library's reads
// give up once aborted (unless setAbortFailsReads(false)).
class FakeStore : public store::Store
{
public:
    FakeStore();

    FakeNode& root() { return *m_root; }
    void setVisitHook(std::function<void(const FakeNode&)> hook) { m_state->visitHook = std::move(hook); }
    void setAbortFailsReads(bool fails) { m_state->abortFailsReads = fails; }
    bool abortSignalled() const { return m_state->abortSignalled.load(); }
    void setContentType(store::ContentType type) { m_contentType = type; }
    void failRootFolder() { m_failRoot = true; }
    // Number of rootFolder() calls, to check that a walk fetched the root.
    int rootFetches() const { return m_rootFetches; }

    store::ContentType contentType() const override { return m_contentType; }
    store::EncryptionType encryptionType() const override { return store::EncryptionType::None; }
    int formatType() const override { return 64; }
    std::uint64_t fileSize() const override { return 0; }
    int codePage() const override { return 1252; }
    std::unique_ptr<store::Item> rootFolder() const override;
    void signalAbort() override { m_state->abortSignalled.store(true); }

private:
    std::shared_ptr<FakeStoreState> m_state;
    std::shared_ptr<FakeNode> m_root;
    store::ContentType m_contentType = store::ContentType::Offline;
    bool m_failRoot = false;
    mutable int m_rootFetches = 0;
};

} // namespace support
