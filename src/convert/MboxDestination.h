#pragma once

#include "Destination.h"

#include <functional>

namespace convert {

// One mboxrd file per store folder: <directory>/<folder name>.mbox. Each message is its "From "
// line (the sender's address and the delivery time), the .eml bytes with every line that starts
// with ">*From " quoted by one more ">", and an empty line. Mails are appended in store order;
// those whose identity the file holds already are left out.
//
// A write that fails part-way (a full disk) is cut off again. One that a kill cut short can only be
// the file's last message: that one is not taken for being there by its identity alone, but
// compared with the mail of its identity when that comes, and written again when it differs.
class MboxDestination : public Destination
{
public:
    std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) override;
    bool wantsStoreOrder() const override { return true; }

    // The record of one message as it is appended.
    static QByteArray record(const DestinationMail& mail);
    // The messages of an mbox file: the identity of each and where its record starts; false when
    // the file cannot be read.
    static bool readMessages(const QString& path,
                             const std::function<void(const QByteArray& identity, qint64 start)>& found);
};

} // namespace convert
