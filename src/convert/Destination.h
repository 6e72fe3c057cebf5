#pragma once

#include "MailEnvelope.h"
#include "store/SpecialFolders.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace convert {

// One mail as the conversion hands it to a destination.
struct DestinationMail
{
    QByteArray bytes;    // the .eml bytes
    QByteArray identity; // MailEnvelope::identityOf(bytes)
    MailEnvelope envelope;
    QString baseName; // "<serial> <subject>", for destinations that name a file per mail
    int serial = 0;   // the mail's position in the store
};

// Where the mails of one store folder go: a folder of .eml files, an mbox file, a Maildir, a
// folder on a server. Created by Destination::openFolder.
//
// write() and claim() may be called by several workers at once, unless the destination asks for
// store order (Destination::wantsStoreOrder()); then the conversion calls them for one folder one
// at a time, in the order of the folder's items.
class DestinationFolder
{
public:
    enum class Result
    {
        Written,
        AlreadyThere, // the destination held the mail before this run
        Failed,
        Pending, // taken; what became of it is told by settle()
    };
    // What became of a mail that write() left pending, by its serial.
    using Told = std::function<void(int serial, Result result, const QString& failure)>;

    virtual ~DestinationFolder() = default;

    // Writes one mail, or finds it there already. failure says why when it fails. A destination
    // that sends mails in batches may keep the mail (its bytes are shared, not copied) and
    // answer Pending.
    virtual Result write(const DestinationMail& mail, QString* failure) = 0;
    // Tells what became of the pending mails whose fate is known by now; with all, first
    // finishes every pending mail. Called like write(); the conversion calls it with all once,
    // after the last mail.
    virtual void settle(bool all, const Told& told)
    {
        (void)all;
        (void)told;
    }
    // Whether the folder held a mail of this identity before this run that no mail of this run
    // has been matched with yet; a true answer matches it. Lets a re-run skip a mail before its
    // bytes are made. Destinations that do not recognise mails by identity always say false.
    virtual bool claim(const QByteArray& identity)
    {
        (void)identity;
        return false;
    }
};

// The kinds of destination.
enum class DestinationFormat
{
    EmlFiles, // one .eml file per mail
    Mbox,     // one mboxrd file per folder
    Maildir,  // one Maildir per folder, nested as directories
};

// A destination of a conversion: it makes a DestinationFolder for each store folder that has
// mails to write. Nothing outside a destination knows which kind it is.
class Destination
{
public:
    // A store folder as the destination is told of it.
    struct Folder
    {
        QString path;      // in the store, "/"-separated
        QString directory; // on disk, for destinations that write files
        QString name;      // a file name for the folder itself (mbox), already cleaned
        // The special use of the folder, or of the nearest folder above it that has one, and
        // that folder's path.
        std::optional<store::SpecialFolder> special;
        QString specialPath;
    };

    virtual ~Destination() = default;

    // Prepares the destination before any folder (connects to a server); false with failure set
    // when nothing can be written there.
    virtual bool open(QString* failure)
    {
        (void)failure;
        return true;
    }
    // Whether the destination is a folder of the file system (below which the store gets its
    // own folder).
    virtual bool writesFiles() const { return true; }
    // Set when the destination has failed in a way that ends the conversion (a server that is
    // gone for good).
    virtual QString fatalFailure() const { return {}; }
    // Prepares a folder; called once per folder, before its first mail, from any worker. Returns
    // none with failure set when the folder cannot be written.
    virtual std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) = 0;
    virtual bool wantsStoreOrder() const { return false; }
    // Directory names that a folder's own directory must not take (a Maildir's cur, new, tmp).
    virtual bool reservesName(const QString& name) const
    {
        (void)name;
        return false;
    }

    static std::unique_ptr<Destination> create(DestinationFormat format);
    // "eml", "mbox", "maildir".
    static const char* formatName(DestinationFormat format);
};

} // namespace convert
