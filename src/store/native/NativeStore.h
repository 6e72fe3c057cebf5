#pragma once

#include "store/Store.h"

#include <QString>
#include <memory>
#include <mutex>

namespace store::native {

class StoreData;

// This project's own reader of the store file format. Opening reads the header and the node and
// block indexes; folders, messages and their parts are read when asked for. The open store and
// its items may be read by any number of threads at once (each item by one thread at a time).
class NativeStore final : public Store
{
public:
    // Throws OpenError when the file is not a store, StoreError when its indexes are unreadable.
    NativeStore(const QString& path, int codePage);
    ~NativeStore() override;

    ContentType contentType() const override;
    EncryptionType encryptionType() const override;
    int formatType() const override;
    std::uint64_t fileSize() const override;
    int codePage() const override;
    CodePageChoice codePageChoice() const override;
    std::unique_ptr<Item> rootFolder() const override;
    std::unique_ptr<Item> messageStore() const override;
    std::unique_ptr<Item> message(std::uint32_t identifier) const override;
    void signalAbort() override;
    bool allowsConcurrentReads() const override { return true; }
    QStringList damage() const override;
    std::vector<RecoveredItem> recoverItems(const RecoveryProgress& progress) const override;
    std::unique_ptr<Item> recoveredItem(const RecoveredItem& item) const override;

    // For tests and benchmarks: nodes in the index and leaf pages of the block index.
    std::size_t nodeCount() const;
    std::size_t blockIndexLeafPages() const;

private:
    struct Recovered;

    QString m_path;
    std::shared_ptr<const StoreData> m_data;
    mutable std::mutex m_recoveredLock;
    mutable std::shared_ptr<const Recovered> m_recovered;
};

} // namespace store::native
