#pragma once

#include "Destination.h"
#include "ImapAddress.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

namespace convert {

// Uploads mails to an IMAP server over TLS (imaps://, or imap:// with STARTTLS, which the server
// must offer: no password is sent in clear text). Certificates and host names are verified
// against the system's certificate authorities and, where given, one more.
//
// The store's folders are made below the address's prefix. Without a prefix, the store's Inbox
// is the server's INBOX, and Sent Items, Drafts, Deleted Items and Junk E-mail (known by the
// store's special uses, whatever their names) are the folders the server marks \Sent, \Drafts,
// \Trash and \Junk (RFC 6154), or keep their names where it marks none; with a prefix, every
// folder keeps its name below it. Each mail is appended with
// its flags and its delivery time as INTERNALDATE. The identities in a folder are read once,
// when it is opened. A dropped connection is made again with backoff and the mail in flight
// looked for before it is sent again; a failure that lasts ends the upload (fatalFailure()).
//
// One connection, used by one worker at a time. The only code that includes vmime's headers.
class ImapDestination : public Destination
{
public:
    ImapDestination(ImapAddress address, QByteArray password, QString caFile);
    ~ImapDestination() override;

    bool open(QString* failure) override;
    std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) override;
    bool wantsStoreOrder() const override { return true; }
    bool writesFiles() const override { return false; }
    QString fatalFailure() const override;
    // How long a dropped connection is tried again before the upload gives up (120 s).
    void setRetryTime(int seconds);

    // The server folder a store folder goes to, as "/"-separated components; the special-use
    // folders are given by their uses ("\\Sent" -> "Sent Messages").
    static QStringList serverPath(const Folder& folder, const QString& prefix,
                                  const std::map<QString, QStringList>& specialUse);

    struct Connection;

private:
    std::shared_ptr<Connection> m_connection;
};

} // namespace convert
