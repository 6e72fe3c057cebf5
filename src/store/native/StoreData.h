#pragma once

#include "NameToIdMap.h"
#include "Ndb.h"
#include "store/Store.h"

#include <QString>
#include <mutex>

namespace store::native {

// What the store and every item taken from it share: the node database, the map of named
// properties and the store's code page, both read on first use. Thread-safe.
class StoreData
{
public:
    StoreData(const QString& path, int codePage);
    // For the items of the recovery pass: blocks are also looked for among those it found.
    StoreData(const QString& path, int codePage, std::vector<BlockEntry> found);

    const Ndb& ndb() const { return m_ndb; }
    const NameToIdMap& names() const;
    // The code page of 8-bit texts that do not name their own: the one given when opening, else
    // the one most messages of the store name (PR_MESSAGE_CODEPAGE, else PR_INTERNET_CPID; an
    // Internet code page counts as the Windows code page of its script), else Windows-1252.
    // Where the messages disagree, a code page in which the store's folder names and subjects
    // decode cleanly goes before one with more votes.
    int codePage() const { return codePageChoice().codePage; }
    CodePageChoice codePageChoice() const;

private:
    Ndb m_ndb;
    int m_givenCodePage = 0;
    mutable std::once_flag m_namesRead;
    mutable NameToIdMap m_names;
    mutable std::once_flag m_codePageRead;
    mutable CodePageChoice m_codePage;
};

} // namespace store::native
