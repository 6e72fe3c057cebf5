#pragma once

#include "Store.h"

#include <cstdint>
#include <map>

namespace store {

// The folders Outlook gives a use of their own, whatever they are called in the store's
// language.
enum class SpecialFolder
{
    Inbox,
    SentItems,
    Drafts,
    DeletedItems,
    JunkEmail,
};

// The store's special folders, by folder identifier.
// - As the store's entry ids name them: the message store names Sent Items and Deleted Items,
//   the root folder (or the Inbox) Drafts and Junk E-mail, and the Inbox is the folder below the
//   top folder that carries such ids of the default folders.
// - A kind that no entry id names is the folder of its English name below the top folder
//   ("Inbox", "Sent Items", "Drafts", "Deleted Items", "Junk E-mail"), as stores without these
//   ids have it.
// Parts that cannot be read count as missing; never throws.
std::map<std::uint32_t, SpecialFolder> specialFolders(const Store& store);

// The identifier an entry id of this store names: its last four bytes, for a 24-byte entry id
// whose provider is the store (recordKey, when known).
std::optional<std::uint32_t> entryIdTarget(const QByteArray& entryId, const QByteArray& recordKey);

} // namespace store
