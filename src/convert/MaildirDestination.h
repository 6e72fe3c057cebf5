#pragma once

#include "Destination.h"

namespace convert {

// One Maildir per store folder, nested as directories (<directory>/cur, new, tmp, and the
// sub-folders beside them). Each mail is written into tmp/ and linked into cur/ as
// "<delivery time>.<serial>_<identity hash>.ost2eml:2,<flags>" (D draft, F flagged, R answered,
// S read), with its delivery time as the file's modification time. Mails whose identity the
// Maildir holds already (in cur/ or new/) are left out.
class MaildirDestination : public Destination
{
public:
    std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) override;
    bool reservesName(const QString& name) const override;

    // "2,DFRS" for the flags the envelope has.
    static QByteArray info(const MailEnvelope& envelope);
};

} // namespace convert
