#pragma once

#include "catalog/Catalogs.h"
#include "catalog/MailRecord.h"

#include <stdexcept>

namespace support {

// A mail record and its texts in one value, so that a test reads every field of a stored mail
// as it was handed to the catalogs (mail.subject, mail.body).
struct MailView : catalog::MailRecord, catalog::MailTexts
{
};

// The record with the texts the catalogs keep for it; throws when they cannot be read.
inline MailView fullMail(const catalog::Catalogs& catalogs, const catalog::MailRecord& record)
{
    const std::optional<catalog::MailTexts> texts = catalogs.mailTexts(record);
    if (!texts)
        throw std::runtime_error("the mail's texts are not in these catalogs");
    return MailView{record, *texts};
}

// A record and texts as one value, to hand to code that takes a catalog::Mail.
inline catalog::Mail asMail(const MailView& view)
{
    return catalog::Mail{static_cast<const catalog::MailRecord&>(view), static_cast<const catalog::MailTexts&>(view)};
}

} // namespace support
