#pragma once

#include "store/Store.h"

#include <QString>
#include <memory>

namespace store {

struct LibpffFile;

// The store layer over libpff. Every item keeps the file alive, so the file is closed only after
// the last item handed out is released.
class LibpffStore final : public Store
{
public:
    // Opens the file read-only; 8-bit texts that name no code page are read in codePage (1252
    // when 0). Throws OpenError.
    explicit LibpffStore(const QString& path, int codePage = 0);
    ~LibpffStore() override;

    ContentType contentType() const override;
    EncryptionType encryptionType() const override;
    int formatType() const override;
    std::uint64_t fileSize() const override;
    int codePage() const override { return m_codePage; }
    CodePageChoice codePageChoice() const override;
    std::unique_ptr<Item> rootFolder() const override;
    std::unique_ptr<Item> messageStore() const override;
    std::unique_ptr<Item> message(std::uint32_t identifier) const override;
    void signalAbort() override;
    // libpff's own recovery (unallocated space only); every item comes as deleted, in no known
    // folder.
    std::vector<RecoveredItem> recoverItems(const RecoveryProgress& progress) const override;
    std::unique_ptr<Item> recoveredItem(const RecoveredItem& item) const override;

private:
    std::shared_ptr<LibpffFile> m_file;
    int m_codePage;
    bool m_codePageGiven = false;
};

} // namespace store
