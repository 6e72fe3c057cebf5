#include "ConvertCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "Password.h"
#include "StopOnSignals.h"
#include "StoreMessages.h"
#include "convert/ConversionJob.h"
#include "convert/ImapAddress.h"
#include "convert/ImapDestination.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <algorithm>
#include <iterator>
#include <tuple>

namespace cli {

namespace {

constexpr convert::DestinationFormat kFormats[] = {
    convert::DestinationFormat::EmlFiles, convert::DestinationFormat::Mbox, convert::DestinationFormat::Maildir};

} // namespace

int runConvertCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes every mail of an offline store as an .eml file below DEST/<store file name>/<folder path>/\n"
        "(or, with --format, one mbox file or one Maildir per folder), and the report\n"
        "conversion-report.txt / .json into DEST. Existing files are never overwritten, and what an earlier\n"
        "run wrote is left as it is and counted as already there, so a run can be repeated or resumed.\n"
        "With --contacts, --calendar, --tasks, --journal or --notes (or --all) the other items are\n"
        "written too: a folder's contacts into <folder name>.vcf, its appointments, tasks and journal\n"
        "entries into <folder name>.ics, each note into a .txt file.\n"
        "DEST may be an IMAP server instead, imaps://USER@HOST[:PORT][/PREFIX] (TLS) or\n"
        "imap://USER@HOST[:PORT][/PREFIX] (STARTTLS): the mails are uploaded with their flags and\n"
        "delivery times into the store's folder tree (below PREFIX; without one, the Inbox into INBOX\n"
        "and Sent Items, Drafts, Deleted Items and Junk E-mail into the server's folders for them), and\n"
        "mails already there are left out. The password comes from --password-file, the environment\n"
        "variable OST2EML_PASSWORD or a prompt on the terminal."));
    parser.addHelpOption();
    parser.addOption(
        {QStringLiteral("format"),
         QStringLiteral("What the mails become: eml (default; one .eml file per mail), mbox (one mboxrd\n"
                        "file per folder, <folder path>/<folder name>.mbox) or maildir (one Maildir per\n"
                        "folder, nested as directories; flags in the file names, the delivery time as\n"
                        "their modification time)."),
         QStringLiteral("FORMAT"), QStringLiteral("eml")});
    parser.addOption(
        {QStringLiteral("folder"),
         QStringLiteral("Only this folder and the folders below it, e.g. \"Inbox/Projects\"; may be given\n"
                        "more than once."),
         QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("since"),
                      QStringLiteral("Only mails dated on or after DATE (YYYY-MM-DD, UTC)."),
                      QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Only mails dated up to and including DATE (YYYY-MM-DD, UTC)."),
                      QStringLiteral("DATE")});
    const std::pair<const char*, const char*> kindOptions[] = {
        {"contacts", "Also write contacts and distribution lists (vCard, one .vcf per folder)."},
        {"calendar", "Also write appointments (iCalendar, one .ics per folder)."},
        {"tasks", "Also write tasks (iCalendar VTODO, one .ics per folder)."},
        {"journal", "Also write journal entries (iCalendar VJOURNAL, one .ics per folder)."},
        {"notes", "Also write notes (one .txt each)."},
        {"all", "Write items of every kind."},
    };
    for (const auto& [name, description] : kindOptions)
        parser.addOption({QString::fromLatin1(name), QString::fromLatin1(description)});
    parser.addOption(
        {QStringLiteral("no-mail"), QStringLiteral("Leave mails out (with one of the options above).")});
    parser.addOption({QStringLiteral("vcard"),
                      QStringLiteral("The vCard version of contacts: 4 (default) or 3."),
                      QStringLiteral("VERSION"), QStringLiteral("4")});
    addRecoveredOption(parser);
    parser.addOption({QStringLiteral("password-file"),
                      QStringLiteral("IMAP: read the password from the first line of FILE."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("ca-file"),
                      QStringLiteral("IMAP: also trust the certificate authorities in FILE (PEM)."),
                      QStringLiteral("FILE")});
    parser.addOption(
        {QStringLiteral("retry-for"),
         QStringLiteral("IMAP: how long to try again when the connection drops before giving up\n"
                        "(default 120)."),
         QStringLiteral("SECONDS"), QStringLiteral("120")});
    parser.addOption(
        {QStringLiteral("report-dir"),
         QStringLiteral("Write the report into DIR (default: DEST, or the current folder for IMAP)."),
         QStringLiteral("DIR")});
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("STORE"),
                                 QStringLiteral("The offline store (.ost) to convert."));
    parser.addPositionalArgument(
        QStringLiteral("DEST"),
        QStringLiteral("The folder to write into (created if missing), or an IMAP server."));
    if (const auto done = parseCommand(
            parser, arguments, 2,
            QStringLiteral(
                "convert needs a store file and a destination folder (see ost2eml convert --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();

    convert::ConversionOptions options;
    options.openOptions = *open;
    options.storePath = positional.at(0);
    options.destination = positional.at(1);
    options.folderFilters = parser.values(QStringLiteral("folder"));
    const QString format = parser.value(QStringLiteral("format"));
    const auto known =
        std::find_if(std::begin(kFormats), std::end(kFormats), [&](convert::DestinationFormat f) {
            return format == QLatin1String(convert::Destination::formatName(f));
        });
    if (known == std::end(kFormats)) {
        printError(QStringLiteral("--format: '%1' is not a format (use eml, mbox or maildir)").arg(format));
        return ExitFatal;
    }
    options.format = *known;
    const bool all = parser.isSet(QStringLiteral("all"));
    const auto chosen = [&](const char* name) {
        return all || parser.isSet(QString::fromLatin1(name));
    };
    options.kinds.contacts = chosen("contacts");
    options.kinds.calendar = chosen("calendar");
    options.kinds.tasks = chosen("tasks");
    options.kinds.journal = chosen("journal");
    options.kinds.notes = chosen("notes");
    if (parser.isSet(QStringLiteral("no-mail"))) {
        const convert::ItemKinds& kinds = options.kinds;
        if (!kinds.contacts && !kinds.calendar && !kinds.tasks && !kinds.journal && !kinds.notes) {
            printError(
                QStringLiteral("--no-mail leaves nothing to convert: add --contacts, --calendar, --tasks, "
                               "--journal, --notes or --all"));
            return ExitFatal;
        }
        options.kinds.mail = false;
    }
    const QString vcard = parser.value(QStringLiteral("vcard"));
    if (vcard != QLatin1String("4") && vcard != QLatin1String("3")) {
        printError(QStringLiteral("--vcard: '%1' is not a vCard version (use 4 or 3)").arg(vcard));
        return ExitFatal;
    }
    options.vcardVersion = vcard.toInt();
    for (const auto& [name, endOfDay, target] : {std::tuple{QStringLiteral("since"), false, &options.since},
                                                 std::tuple{QStringLiteral("until"), true, &options.until}}) {
        if (!parser.isSet(name))
            continue;
        *target = parseDate(parser.value(name), endOfDay);
        if (!*target) {
            printError(
                QStringLiteral("--%1: '%2' is not a date (use YYYY-MM-DD)").arg(name, parser.value(name)));
            return ExitFatal;
        }
    }

    ProgressLine searching(QStringLiteral("Searching the file for recoverable items"), QStringLiteral("MB"));
    options.recovered = recoveredWanted(parser);
    options.recoveryProgress = recoveryProgressOn(searching);
    options.reportDirectory = parser.value(QStringLiteral("report-dir"));
    const bool imap = convert::ImapAddress::isImapUrl(options.destination);
    for (const char* name : {"password-file", "ca-file"}) {
        if (!imap && parser.isSet(QString::fromLatin1(name))) {
            printError(QStringLiteral("--%1 is for IMAP destinations (imaps://USER@HOST)")
                           .arg(QString::fromLatin1(name)));
            return ExitFatal;
        }
    }
    if (imap) {
        const convert::ItemKinds& kinds = options.kinds;
        if (kinds.contacts || kinds.calendar || kinds.tasks || kinds.journal || kinds.notes) {
            printError(
                QStringLiteral("an IMAP server holds mail: contacts, calendars, tasks, journal entries and "
                               "notes cannot be uploaded (convert them into a folder instead)"));
            return ExitFatal;
        }
        if (parser.isSet(QStringLiteral("format"))) {
            printError(QStringLiteral("--format is for folders: an IMAP server gets the mails as they are"));
            return ExitFatal;
        }
        QString error;
        const std::optional<convert::ImapAddress> address =
            convert::ImapAddress::parse(options.destination, &error);
        if (!address) {
            printError(error);
            return ExitFatal;
        }
        bool ok = false;
        const int retry = parser.value(QStringLiteral("retry-for")).toInt(&ok);
        if (!ok || retry < 0) {
            printError(QStringLiteral("--retry-for: '%1' is not a number of seconds")
                           .arg(parser.value(QStringLiteral("retry-for"))));
            return ExitFatal;
        }
        const std::optional<QByteArray> password =
            readPassword(parser.value(QStringLiteral("password-file")),
                         QStringLiteral("Password for %1@%2: ").arg(address->user, address->host), &error);
        if (!password) {
            printError(error);
            return ExitFatal;
        }
        auto target = std::make_shared<convert::ImapDestination>(*address, *password,
                                                                parser.value(QStringLiteral("ca-file")));
        target->setRetryTime(retry);
        options.target = target;
        options.destination = address->display();
        if (options.reportDirectory.isEmpty())
            options.reportDirectory = QStringLiteral(".");
    }

    convert::ConversionJob job(options);
    ProgressLine progress(QStringLiteral("Converting"));
    job.setProgressCallback([&progress](int done, int total) { progress.show(done, total); });
    int stoppedBy = 0;
    convert::ConversionJob::Outcome outcome;
    {
        // Stopped like the desktop program's Stop: no file is left half written, and the report
        // says what was done.
        const StopOnSignals watch([&job] { job.stop(); });
        outcome = job.run();
        stoppedBy = watch.signal();
    }
    progress.finish();

    using Outcome = convert::ConversionJob::Outcome;
    switch (outcome) {
    case Outcome::NotOfflineStore:
        printError(options.storePath + QStringLiteral(": ") + QString::fromUtf16(kNotOfflineStoreText));
        return ExitFatal;
    case Outcome::CannotOpen:
        printError(
            openFailureMessage(options.storePath, store::OpenError(store::OpenError::Reason::Unreadable,
                                                                   job.errorDetail().toStdString())));
        return ExitFatal;
    case Outcome::DestinationUnusable:
        printError(
            imap ? QStringLiteral("cannot upload to %1: %2").arg(options.destination, job.errorDetail())
                 : QStringLiteral("cannot write into %1: %2").arg(options.destination, job.errorDetail()));
        return ExitFatal;
    case Outcome::Completed:
    case Outcome::Stopped:
        break;
    }
    const convert::ConversionReport& report = job.report();
    out() << report.summary() << '\n';
    if (!job.reportPath().isEmpty())
        out() << "Report: " << job.reportPath() << '\n';
    else
        printError(
            QStringLiteral("the report could not be written into %1")
                .arg(options.reportDirectory.isEmpty() ? options.destination : options.reportDirectory));
    out() << (imap                                                    ? "Uploaded to: "
              : options.format == convert::DestinationFormat::EmlFiles ? "EML files: "
              : options.format == convert::DestinationFormat::Mbox     ? "mbox files: "
                                                                      : "Maildirs: ")
          << job.outputRoot() << '\n';
    if (stoppedBy != 0)
        return 128 + stoppedBy;
    return report.hasFailures() || job.reportPath().isEmpty() ? ExitPartial : ExitSuccess;
}

} // namespace cli
