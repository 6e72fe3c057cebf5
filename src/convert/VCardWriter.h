#pragma once

#include "store/Item.h"
#include "store/Store.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace convert {

class ItemFields;

// Writes a contact or a distribution list of the store as one vCard, version 4.0 (RFC 6350) or
// 3.0 (RFC 2426): names, e-mail addresses, phones, postal addresses, organisation, web pages,
// dates, categories, notes, the contact photo; a distribution list as a group with its members,
// those that name a contact or another list of the store read from there.
class VCardWriter
{
public:
    struct Card
    {
        QByteArray bytes;
        QString name;         // the display name, for the report
        QStringList problems; // values that could not be read
    };

    // store: the store the items come from, where lists find the contacts they name.
    explicit VCardWriter(int version = 4, const store::Store* store = nullptr)
        : m_version(version == 3 ? 3 : 4), m_store(store)
    {
    }

    Card write(const store::Item& item) const;

private:
    struct Member
    {
        QString name;
        QString address;     // SMTP; empty when the member has none
        bool isList = false; // a list within the list, whose members were taken instead
    };
    // The members of a list, those of lists within it included; visited: the lists on the way.
    std::vector<Member> members(const ItemFields& fields, std::vector<std::uint32_t>& visited) const;
    std::optional<Member> storedMember(const QByteArray& entry, const ItemFields& list,
                                       std::vector<Member>& nested,
                                       std::vector<std::uint32_t>& visited) const;

    int m_version;
    const store::Store* m_store;
};

} // namespace convert
