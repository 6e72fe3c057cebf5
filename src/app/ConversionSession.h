#pragma once

#include "convert/ConversionJob.h"
#include "convert/ImapAddress.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace app {

// How a conversion ended.
enum class ConversionOutcome
{
    Completed,
    Stopped,
    NotAnOfflineStore,
    OpenFailed,
    DestinationUnusable, // nothing could be written there (a folder that cannot be made, a login refused)
    DestinationFailed,   // the destination failed for good during the run (a server gone)
};

// What a conversion writes and where: the kinds of items, and a folder in one of the file
// formats or an IMAP server.
struct ConversionRequest
{
    convert::ItemKinds kinds;
    convert::DestinationFormat format = convert::DestinationFormat::EmlFiles;
    QString folder; // for the file formats
    // Set: the mails are uploaded there instead, with the password, which is kept for this run
    // only, and trusting the certificate authorities of caFile (when given) besides the system's.
    std::optional<convert::ImapAddress> server;
    QByteArray password;
    QString caFile;

    bool uploads() const { return server.has_value(); }
    // The folder, or the server's address: what the messages name.
    QString destination() const { return server ? server->display() : folder; }
};

// One conversion of a store at a time, run off the GUI thread. The main
// window drives it; tests use a fake. Created, driven and reporting on the GUI thread.
class ConversionSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Converts the folders with the store identifiers `folders` (each without its sub-folders),
    // or every folder when `folders` is empty.
    // The request's password is taken over; the caller's copy is left empty.
    virtual void start(const QString& storePath, ConversionRequest&& request,
                       const std::vector<std::uint32_t>& folders) = 0;
    // Whether the conversions from now on also convert the recovered items (as the scan shows them).
    virtual void setIncludeRecovered(bool include) { Q_UNUSED(include) }
    virtual bool isRunning() const = 0;
    virtual bool pause() = 0;
    virtual void resume() = 0;
    // Ends the conversion at its next item; `finished` follows with Stopped.
    virtual void stop() = 0;
    virtual int progress() const = 0;

Q_SIGNALS:
    // `summary` says what was written and what failed; `detail` why it could not start, or why the
    // destination failed.
    void finished(app::ConversionOutcome outcome, const QString& summary, const QString& detail);
};

} // namespace app
