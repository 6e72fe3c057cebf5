#include "SearchCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "ScanCommand.h"
#include "catalog/SearchQuery.h"
#include "views/FolderPaths.h"
#include "views/ItemListFill.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString kindWord(int kind)
{
    switch (kind) {
    case catalog::MailRecord::Kind:
        return QStringLiteral("mail");
    case catalog::ContactRecord::Kind:
        return QStringLiteral("contact");
    case catalog::TaskRecord::Kind:
        return QStringLiteral("task");
    case catalog::NoteRecord::Kind:
        return QStringLiteral("note");
    case catalog::JournalRecord::Kind:
        return QStringLiteral("journal");
    default:
        return QStringLiteral("appointment");
    }
}

// What a match shows as its sender and subject: a contact shows its name and company, the other
// kinds their subject.
std::pair<QString, QString> senderAndSubject(const catalog::Catalogs& catalogs, const catalog::SearchMatch& match)
{
    if (match.kind == catalog::MailRecord::Kind) {
        if (const auto mail = catalogs.mails().bySerial(match.serial))
            return {mail->from.value_or(QString()), mail->subject.value_or(QString())};
    } else if (match.kind == catalog::ContactRecord::Kind) {
        if (const auto contact = catalogs.contacts().bySerial(match.serial))
            return {views::ItemListFill::contactName(*contact), contact->slot(1).value_or(QString())};
    } else if (const std::optional<QString> subject =
                   views::ItemListFill::otherKindSubject(catalogs, match)) {
        return {QString(), *subject};
    } else if (const auto appointment = catalogs.appointments().bySerial(match.serial)) {
        return {QString(), appointment->subject.value_or(QString())};
    }
    return {};
}

} // namespace

QString searchQueryHelp()
{
    return QStringLiteral(
        "The query: words that must all match, each as a whole word, ignoring case and accents\n"
        "(grusse finds Grüße); a word of a script without spaces (Chinese, Japanese) matches anywhere.\n"
        "  \"two words\"        the words in this order, with any white space between them\n"
        "  from:WORD          the sender's name or address (a contact's names and addresses)\n"
        "  to:WORD            a recipient's name or address, To, Cc or Bcc (an appointment's attendees)\n"
        "  subject:WORD       the subject (a contact's full name)\n"
        "  body:WORD          the text of the mail, appointment, task, note or journal entry, or the\n"
        "                     contact's notes\n"
        "  attachment:WORD    an attachment's name\n"
        "  has:attachment     items with attachments\n"
        "  kind:mail  kind:contact  kind:appointment  kind:task  kind:note  kind:journal\n"
        "A prefix takes a word or a quoted phrase; a word without one matches any of these fields.");
}

int runSearchCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads an offline store and prints the items that match QUERY: one line per match\n"
                       "with its serial number (\"S.No\", as ost2eml show takes it), folder, date, sender and\n"
                       "subject, separated by tabs.\n\n") +
        searchQueryHelp());
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"),
                      QStringLiteral("Print one JSON object with a \"matches\" array instead of lines.")});
    parser.addOption({QStringLiteral("folder"),
                      QStringLiteral("Only this folder and the folders below it, e.g. \"Inbox/Projects\"; may be\n"
                                     "given more than once."),
                      QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("since"),
                      QStringLiteral("Only items dated on or after DATE (YYYY-MM-DD, UTC)."), QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Only items dated up to and including DATE (YYYY-MM-DD, UTC)."),
                      QStringLiteral("DATE")});
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("STORE"), QStringLiteral("The offline store (.ost) to search."));
    parser.addPositionalArgument(QStringLiteral("QUERY"), QStringLiteral("What to look for (see above)."));
    if (const auto done = parseCommand(parser, arguments, 2,
                                       QStringLiteral("search needs a store file and a query (see ost2eml search --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();
    const QString path = positional.at(0);

    QString problem;
    const std::optional<catalog::SearchQuery> query = catalog::SearchQuery::parse(positional.at(1), &problem);
    if (!query) {
        printError(QStringLiteral("the query '%1' cannot be searched: %2").arg(positional.at(1), problem));
        return ExitFatal;
    }
    catalog::SearchScope scope;
    for (const auto& [name, endOfDay, target] : {std::tuple{QStringLiteral("since"), false, &scope.since},
                                                 std::tuple{QStringLiteral("until"), true, &scope.until}}) {
        if (!parser.isSet(name))
            continue;
        const std::optional<QDateTime> date = parseDate(parser.value(name), endOfDay);
        if (!date) {
            printError(QStringLiteral("--%1: '%2' is not a date (use YYYY-MM-DD)").arg(name, parser.value(name)));
            return ExitFatal;
        }
        // The index's range is inclusive; the end of a day is the millisecond before the next.
        *target = date->toMSecsSinceEpoch() - (endOfDay ? 1 : 0);
    }

    StoreScan scan;
    const auto prepare = [&query](StoreScan& s, scan::ScanSettings& settings) {
        s.catalogs.setSearchable(true);
        // What the query does not look into is not read.
        settings.readBodies = query->usesField(catalog::SearchField::Body);
        settings.readRecipients = query->usesField(catalog::SearchField::To);
        // Attachments always: attached mails are found through them (their data is not read).
    };
    if (const std::optional<int> failed = scanStore(path, QString(), *open, scan, prepare))
        return *failed;

    QList<catalog::SearchMatch> matches;
    const views::FolderPaths paths(scan.catalogs);
    try {
        const std::shared_ptr<catalog::SearchIndex> index = scan.catalogs.searchIndex();
        index->waitUntilIndexed();
        if (parser.isSet(QStringLiteral("folder"))) {
            QSet<quint32> nodes;
            for (const QString& folder : parser.values(QStringLiteral("folder")))
                nodes.unite(paths.nodesWithin(folder));
            scope.nodes = nodes;
        }
        matches = index->search(*query, scope);
    } catch (const catalog::CatalogWriteError& e) {
        printError(textFileMessage(e));
        return ExitFatal;
    }

    const auto dateOf = [](const catalog::SearchMatch& match) {
        return match.time < 0 ? QString()
                              : QDateTime::fromMSecsSinceEpoch(match.time).toUTC().toString(Qt::ISODate);
    };
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const catalog::SearchMatch& match : matches) {
            const auto [from, subject] = senderAndSubject(scan.catalogs, match);
            const QString date = dateOf(match);
            array.append(QJsonObject{
                {QStringLiteral("serial"), match.serial},
                {QStringLiteral("kind"), kindWord(match.kind)},
                {QStringLiteral("folder"), paths.path(catalog::NodeId{match.node})},
                {QStringLiteral("date"), date.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(date)},
                {QStringLiteral("from"), from},
                {QStringLiteral("subject"), subject},
            });
        }
        out() << QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("store"), path},
                                                             {QStringLiteral("query"), positional.at(1)},
                                                             {QStringLiteral("matches"), array}})
                                       .toJson(QJsonDocument::Indented));
    } else {
        for (const catalog::SearchMatch& match : matches) {
            const auto [from, subject] = senderAndSubject(scan.catalogs, match);
            out() << match.serial << '\t' << paths.path(catalog::NodeId{match.node}) << '\t' << dateOf(match)
                  << '\t' << from << '\t' << subject << '\n';
        }
        out().flush();
        printError(QStringLiteral("%L1 matches among %L2 items").arg(matches.size()).arg(scan.catalogs.searchIndex()->indexedCount()));
    }
    return scan.job->report().hasProblems() ? ExitPartial : ExitSuccess;
}

} // namespace cli
