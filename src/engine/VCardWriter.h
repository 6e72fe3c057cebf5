#pragma once

#include "store/Item.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace engine {

// Writes a contact or a distribution list of the store as one vCard, version 4.0 (RFC 6350) or
// 3.0 (RFC 2426): names, e-mail addresses, phones, postal addresses, organisation, web pages,
// dates, notes, the contact photo; a distribution list as a group with its members.
class VCardWriter
{
public:
    struct Card
    {
        QByteArray bytes;
        QString name;         // the display name, for the report
        QStringList problems; // values that could not be read
    };

    explicit VCardWriter(int version = 4) : m_version(version == 3 ? 3 : 4) {}

    Card write(const store::Item& item) const;

private:
    int m_version;
};

} // namespace engine
