#pragma once

#include "Item.h"
#include "StoreTypes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace store {

// The code page a reader takes for 8-bit texts that do not name their own, and what it took it from.
struct CodePageChoice
{
    enum class Origin
    {
        Given,            // given when opening
        MessageCodePage,  // most sampled messages name it in PR_MESSAGE_CODEPAGE
        InternetCodePage, // ... in PR_INTERNET_CPID, where none names the former
        Default,          // the reader's default (Windows-1252)
    };
    int codePage = 1252;
    Origin origin = Origin::Default;
    // The code page the messages name, before an Internet code page counts as the Windows code
    // page of its script (50220 for 932); how many sampled messages name it, of how many sampled.
    int named = 0;
    int messages = 0;
    int sampled = 0;
};

// What an item found by the recovery pass is, next to the live ones.
enum class RecoveredState
{
    Deleted,        // its node id is not in the live node index
    EarlierVersion, // the node id is live, but what was found differs from the live content
    Orphan,         // a live item whose folder cannot be reached from the root folder
};
const char* recoveredStateName(RecoveredState state); // "deleted", "earlier-version", "orphan"

// One item found by the recovery pass. open() on the store reads it like any other message.
struct RecoveredItem
{
    std::uint32_t identifier = 0;
    RecoveredState state = RecoveredState::Deleted;
    QString messageClass;
    QString subject;
    // The names of the folders from below the root folder down to the one the item was in, where
    // the data still says; none when its folder cannot be told.
    std::optional<QStringList> folder;
    // What it was found through, e.g. "node index page at offset 0x5a00 (no longer in the index)".
    QString found;
    // The reader's own reference to it.
    std::size_t index = 0;
};

// How far the recovery pass has read, in bytes of the file; called from the reading thread.
using RecoveryProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// An open store file. Closed and released when destroyed.
// A store whose allowsConcurrentReads() is false belongs to the thread that opened it, except
// signalAbort(), which any thread may call; one whose it is true (the native reader) may be read
// by any number of threads at once, each item by one thread at a time.
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
    // The Windows code page of 8-bit texts that do not name their own.
    virtual int codePage() const = 0;
    virtual CodePageChoice codePageChoice() const
    {
        return CodePageChoice{codePage(), CodePageChoice::Origin::Default};
    }
    virtual std::unique_ptr<Item> rootFolder() const = 0;
    // The properties of the store itself (the entry ids of its special folders among them); none
    // when the store has no such object or the reader cannot give it.
    virtual std::unique_ptr<Item> messageStore() const { return nullptr; }
    // The message that entry ids of this store name by this identifier (a distribution list's
    // stored members); none when the store holds no such message.
    virtual std::unique_ptr<Item> message(std::uint32_t identifier) const
    {
        (void)identifier;
        return nullptr;
    }
    // Makes the reader give up the read in progress; thread-safe.
    virtual void signalAbort() = 0;
    virtual bool allowsConcurrentReads() const { return false; }
    // Reads the whole file once for what its indexes no longer reference and returns the items
    // that can still be read, in node-id order. Throws StoreError when the file cannot be read or
    // the read is aborted. Readers without a recovery pass return none.
    virtual std::vector<RecoveredItem> recoverItems(const RecoveryProgress& progress = {}) const
    {
        (void)progress;
        return {};
    }
    // A message of the last recoverItems() result; none for an index it did not return.
    virtual std::unique_ptr<Item> recoveredItem(const RecoveredItem& item) const
    {
        (void)item;
        return nullptr;
    }
    // Parts of the store's index that could not be read when it was opened, each with what it
    // costs: the folders and items they list are missing from the tree. Empty for a sound store.
    virtual QStringList damage() const { return {}; }

protected:
    Store() = default;
};

// The readers behind the store interface: this project's own reader of the file format (the
// default), and libpff, kept to compare against and as a fallback.
enum class ReaderKind
{
    Native,
    Libpff,
};

// "native" or "libpff"; none for any other name.
std::optional<ReaderKind> readerKindFromName(const QString& name);
const char* readerKindName(ReaderKind kind);

struct OpenOptions
{
    ReaderKind reader = ReaderKind::Native;
    // The Windows code page of 8-bit texts that do not name their own; 0: the one the store
    // records (the native reader takes the messages' code pages by majority; libpff 1252).
    int codePage = 0;
};

// Opens a store read-only and applies the offline-store header rule: signature "!BDN" and content
// type "SO". Throws OpenError with the reason otherwise.
std::unique_ptr<Store> openOfflineStore(const QString& path, const OpenOptions& options = {});

// Opens any store (offline or personal) read-only, without the header rule. For tools and tests
// that read personal stores too.
std::unique_ptr<Store> openStore(const QString& path, const OpenOptions& options = {});

} // namespace store
