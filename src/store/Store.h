#pragma once

#include "Item.h"
#include "StoreTypes.h"

#include <QString>
#include <memory>

namespace store {

// An open store file. Closed and released when destroyed.
// Belongs to the thread that opened it, except signalAbort(), which any thread may call.
class Store
{
public:
    virtual ~Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    virtual ContentType contentType() const = 0;
    virtual EncryptionType encryptionType() const = 0;
    // 32 (ANSI), 64 (Unicode) or 65 (Unicode with 4k pages), as the library reports it.
    virtual int formatType() const = 0;
    virtual std::uint64_t fileSize() const = 0;
    virtual std::unique_ptr<Item> rootFolder() const = 0;
    // Makes the store library give up the read in progress; thread-safe.
    virtual void signalAbort() = 0;

protected:
    Store() = default;
};

// Opens a store read-only with ASCII code page 1252 and applies the offline-store header rule:
// signature "!BDN" and content type "SO". Throws OpenError with the reason otherwise.
std::unique_ptr<Store> openOfflineStore(const QString& path);

// Opens any store (offline or personal) read-only with ASCII code page 1252, without the
// header rule. For tools and tests that read personal stores too.
std::unique_ptr<Store> openStore(const QString& path);

} // namespace store
