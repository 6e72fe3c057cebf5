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
#include "convert/NewFile.h"
#include "convert/ReportMerge.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <iterator>
#include <tuple>

namespace cli {

namespace {

constexpr convert::DestinationFormat kFormats[] = {
    convert::DestinationFormat::EmlFiles, convert::DestinationFormat::Mbox, convert::DestinationFormat::Maildir};

// An IMAP destination as the command line gave it.
struct Server
{
    convert::ImapAddress address;
    QByteArray password;
    QString caFile;
    int retry = 120;
};

} // namespace

// Converts one store as options say; json: its report. Returns the exit code of the run.
int convertStore(const convert::ConversionOptions& options, bool imap, QJsonObject* json);

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
        "variable OST2EML_PASSWORD or a prompt on the terminal.\n"
        "Several stores may be given: each goes into DEST/<store file name>/ (on a server, below\n"
        "PREFIX/<store file name>), each with its report, and conversion-report-all.txt / .json sum them\n"
        "up; with --dedup, a mail that an earlier store of the run holds too (the same identity and the\n"
        "same content) is left out and listed as a copy of that one. Reports of runs on other machines\n"
        "are summed up with 'ost2eml merge-reports'."));
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
    parser.addOption({QStringLiteral("dedup"),
                      QStringLiteral("With several stores: leave out the mails an earlier store of the run holds.")});
    parser.addOption(
        {QStringLiteral("report-dir"),
         QStringLiteral("Write the report into DIR (default: DEST, or the current folder for IMAP)."),
         QStringLiteral("DIR")});
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("STORE"),
                                 QStringLiteral("The offline store (.ost) to convert; several may be given."),
                                 QStringLiteral("STORE [STORE...]"));
    parser.addPositionalArgument(
        QStringLiteral("DEST"),
        QStringLiteral("The folder to write into (created if missing), or an IMAP server."));
    if (const auto done = parseCommand(
            parser, arguments, -2,
            QStringLiteral(
                "convert needs a store file and a destination folder (see ost2eml convert --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();

    convert::ConversionOptions options;
    options.openOptions = *open;
    const QStringList stores = positional.mid(0, positional.size() - 1);
    options.storePath = stores.first();
    options.destination = positional.last();
    if (parser.isSet(QStringLiteral("dedup")) && stores.size() < 2) {
        printError(QStringLiteral("--dedup leaves out the copies that several stores of one run hold: give "
                                  "two or more stores"));
        return ExitFatal;
    }
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
    std::optional<Server> server;
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
        server = Server{*address, *password, parser.value(QStringLiteral("ca-file")), retry};
        options.destination = address->display();
        if (options.reportDirectory.isEmpty())
            options.reportDirectory = QStringLiteral(".");
    }

    // Each store its own folder below the destination: stores of the same file name are told
    // apart by their place in the run.
    QStringList names;
    for (const QString& path : stores) {
        const QString name = QFileInfo(path).fileName();
        QString unique = name;
        for (int n = 2; names.contains(unique, Qt::CaseInsensitive); ++n)
            unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
        names << unique;
    }
    const auto duplicates =
        parser.isSet(QStringLiteral("dedup")) ? std::make_shared<convert::DuplicateIndex>() : nullptr;
    QList<QJsonObject> reports;
    int worst = ExitSuccess;
    int converted = 0;
    for (qsizetype i = 0; i < stores.size(); ++i) {
        convert::ConversionOptions one = options;
        one.storePath = stores.at(i);
        one.duplicates = duplicates;
        if (stores.size() > 1) {
            one.storeFolderName = names.at(i);
            out() << "\n" << one.storePath << '\n';
        }
        if (server) {
            convert::ImapAddress address = server->address;
            if (stores.size() > 1)
                address.prefix = (address.prefix.isEmpty() ? QString() : address.prefix + QLatin1Char('/')) +
                                 QString(names.at(i)).replace(QLatin1Char('/'), QLatin1Char('_'));
            auto target = std::make_shared<convert::ImapDestination>(address, server->password, server->caFile);
            target->setRetryTime(server->retry);
            one.target = target;
            one.destination = address.display();
        }
        QJsonObject report;
        const int code = convertStore(one, imap, &report);
        reports << report;
        if (!report.contains(QStringLiteral("failure")))
            ++converted;
        if (stores.size() == 1 || code >= 128)
            return code; // stopped by a signal: the stores after it are not started
        if (code == ExitFatal || code == ExitPartial)
            worst = ExitPartial;
    }
    if (stores.size() > 1) {
        const QJsonObject merged = convert::ReportMerge::merge(reports);
        const QString directory = options.reportDirectory.isEmpty() ? options.destination : options.reportDirectory;
        QString failure;
        QString path;
        const bool written =
            convert::NewFile::write(directory, QStringLiteral("conversion-report-all"), QStringLiteral(".txt"),
                                    convert::ReportMerge::toText(merged), &failure, &path,
                                    convert::NewFile::Same::WriteAnew) != convert::NewFile::Outcome::Failed &&
            convert::NewFile::write(directory, QStringLiteral("conversion-report-all"), QStringLiteral(".json"),
                                    QJsonDocument(merged).toJson(QJsonDocument::Indented), &failure, nullptr,
                                    convert::NewFile::Same::WriteAnew) != convert::NewFile::Outcome::Failed;
        out() << '\n' << convert::ReportMerge::totalsLine(merged) << '\n';
        if (written)
            out() << "Report of all stores: " << path << '\n';
        else
            printError(QStringLiteral("the report of all stores could not be written into %1").arg(directory));
        if (converted == 0)
            return ExitFatal;
        return written ? worst : ExitPartial;
    }
    return worst;
}

int convertStore(const convert::ConversionOptions& options, bool imap, QJsonObject* json)
{
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
    case Outcome::CannotOpen:
    case Outcome::DestinationUnusable: {
        const QString message =
            outcome == Outcome::NotOfflineStore
                ? options.storePath + QStringLiteral(": ") + QString::fromUtf16(kNotOfflineStoreText)
            : outcome == Outcome::CannotOpen
                ? openFailureMessage(options.storePath, store::OpenError(store::OpenError::Reason::Unreadable,
                                                                         job.errorDetail().toStdString()))
            : imap ? QStringLiteral("cannot upload to %1: %2").arg(options.destination, job.errorDetail())
                   : QStringLiteral("cannot write into %1: %2").arg(options.destination, job.errorDetail());
        printError(message);
        // The report of several stores names the ones that could not be converted.
        *json = QJsonObject{{QStringLiteral("store"), options.storePath},
                            {QStringLiteral("destination"), options.destination},
                            {QStringLiteral("failure"), message},
                            {QStringLiteral("totals"), QJsonObject()}};
        return ExitFatal;
    }
    case Outcome::Completed:
    case Outcome::Stopped:
        break;
    }
    const convert::ConversionReport& report = job.report();
    *json = QJsonDocument::fromJson(report.toJson(options.storePath, options.destination)).object();
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

int runMergeReportsCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sums up the JSON reports of conversions, e.g. of stores converted one per process on several\n"
        "machines (ost2eml convert STORE DEST --report-dir DIR, each run with a report of its own):\n"
        "  ost2eml merge-reports --json all.json reports/*.json\n"
        "prints the totals and a line for each store; --json writes them as one report, whose\n"
        "\"stores\" hold the reports as they were and \"totals\" their sums. Merged reports merge again."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Write the merged report into FILE (which must not exist)."),
                      QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("REPORT"), QStringLiteral("A conversion report (.json)."),
                                 QStringLiteral("REPORT [REPORT...]"));
    if (const auto done = parseCommand(parser, arguments, -1,
                                       QStringLiteral("merge-reports needs one or more reports (see ost2eml "
                                                      "merge-reports --help)")))
        return *done;
    QList<QJsonObject> reports;
    for (const QString& path : parser.positionalArguments()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("%1: %2").arg(path, file.errorString()));
            return ExitFatal;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (!document.isObject() || !document.object().contains(QStringLiteral("totals"))) {
            printError(QStringLiteral("%1: not a conversion report%2")
                           .arg(path, error.error == QJsonParseError::NoError
                                          ? QString()
                                          : QStringLiteral(" (%1)").arg(error.errorString())));
            return ExitFatal;
        }
        reports << document.object();
    }
    const QJsonObject merged = convert::ReportMerge::merge(reports);
    if (parser.isSet(QStringLiteral("json"))) {
        const QString target = parser.value(QStringLiteral("json"));
        const QFileInfo info(target);
        QString failure;
        QString path;
        if (info.exists() ||
            convert::NewFile::write(info.absolutePath(), info.completeBaseName(),
                                    QLatin1Char('.') + info.suffix(),
                                    QJsonDocument(merged).toJson(QJsonDocument::Indented), &failure, &path) !=
                convert::NewFile::Outcome::Written ||
            path != info.absoluteFilePath()) {
            printError(info.exists() ? QStringLiteral("%1 exists: it is not overwritten").arg(target)
                                     : QStringLiteral("cannot write %1: %2").arg(target, failure));
            return ExitFatal;
        }
    }
    out() << convert::ReportMerge::toText(merged);
    return ExitSuccess;
}

} // namespace cli
