#include "ScanCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "StopOnSignals.h"
#include "StoreMessages.h"
#include "scan/MessageTexts.h"
#include "scan/ScanObserver.h"
#include "store/StoreTypes.h"
#include "views/ItemListFill.h"
#include "views/RunFolder.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace cli {

namespace {

constexpr char16_t kScanFailedText[] =
    u"Scanning process failed! Please select another file OR contact support team..";

// The scan's progress on standard error, when that is a terminal.
class ScanProgressLine : public scan::ScanObserver
{
public:
    void scanProgressed(const scan::ScanProgress& progress) override
    {
        m_line.show(progress.messagesDone, progress.messagesTotal);
    }
    void finish() { m_line.finish(); }

private:
    ProgressLine m_line{QStringLiteral("Scanning")};
};

QJsonValue text(const std::optional<QString>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue nodeValue(catalog::NodeId node)
{
    return catalog::isValid(node) ? QJsonValue(static_cast<qint64>(catalog::toInt(node))) : QJsonValue();
}

QString kindName(store::ItemType type)
{
    return QString::fromLatin1(store::itemTypeName(type));
}

QJsonObject kindCounts(const std::map<store::ItemType, int>& counts)
{
    QJsonObject object;
    for (const auto& [type, count] : counts)
        object.insert(kindName(type), count);
    return object;
}

QJsonArray problems(const QList<scan::ItemProblem>& list)
{
    QJsonArray array;
    for (const scan::ItemProblem& problem : list) {
        array.append(QJsonObject{{QStringLiteral("identifier"), static_cast<qint64>(problem.identifier)},
                                 {QStringLiteral("kind"), kindName(problem.type)},
                                 {QStringLiteral("item"), problem.description},
                                 {QStringLiteral("reason"), problem.reason}});
    }
    return array;
}

QJsonObject mailJson(const catalog::MailRecord& r, const catalog::MailTexts& t)
{
    return QJsonObject{
        {QStringLiteral("node"), nodeValue(r.node)},
        {QStringLiteral("name"), text(r.name)},
        {QStringLiteral("kind"), r.kind},
        {QStringLiteral("senderAddress"), text(t.senderAddress)},
        {QStringLiteral("from"), text(r.from)},
        {QStringLiteral("to"), text(t.to)},
        {QStringLiteral("subject"), text(r.subject)},
        {QStringLiteral("deliveryTime"), text(scan::MessageTexts::deliveryTime(r.deliveryTime))},
        {QStringLiteral("date"), text(t.date)},
        {QStringLiteral("modificationTime"), text(t.modificationTime)},
        {QStringLiteral("size"), scan::MessageTexts::size(r.size)},
        {QStringLiteral("flags"), text(r.flags)},
        {QStringLiteral("priority"), text(r.priority)},
        {QStringLiteral("sensitivity"), text(t.sensitivity)},
        {QStringLiteral("importance"), text(t.importance)},
        {QStringLiteral("body"), text(t.body)},
        {QStringLiteral("attachments"), text(t.attachments)},
        {QStringLiteral("bodyKind"), r.bodyKind},
        {QStringLiteral("folderPath"), text(t.folderPath)},
        {QStringLiteral("serial"), r.serial},
    };
}

QJsonObject contactJson(const catalog::ContactRecord& r)
{
    QJsonObject slots;
    for (const auto& [number, value] : r.presentSlots())
        slots.insert(QString::number(number), value);
    return QJsonObject{
        {QStringLiteral("node"), nodeValue(r.node)},
        {QStringLiteral("name"), r.name},
        {QStringLiteral("kind"), r.kind},
        {QStringLiteral("slots"), slots},
        {QStringLiteral("serial"), r.serial},
    };
}

QJsonObject appointmentJson(const catalog::AppointmentRecord& r)
{
    return QJsonObject{
        {QStringLiteral("node"), nodeValue(r.node)},
        {QStringLiteral("name"), text(r.name)},
        {QStringLiteral("kind"), r.kind},
        {QStringLiteral("end"), text(r.end)},
        {QStringLiteral("location"), text(r.location)},
        {QStringLiteral("recurrence"), text(r.recurrence)},
        {QStringLiteral("start"), text(r.start)},
        {QStringLiteral("placeholder1"), text(r.placeholder1)},
        {QStringLiteral("placeholder2"), text(r.placeholder2)},
        {QStringLiteral("folderPath"), text(r.folderPath)},
        {QStringLiteral("subject"), text(r.subject)},
        {QStringLiteral("serial"), r.serial},
    };
}

// The tasks, notes or journal entries: each with what its list row shows, under the list's
// headings, and its text.
template <typename R>
QJsonArray otherKindJson(const catalog::Catalogs& catalogs, const catalog::Catalog<R>& catalog,
                         views::ListLayout::Kind layout, QStringList (*row)(const R&))
{
    const QList<views::ListLayout::Column> columns = views::ListLayout::columns(layout);
    QJsonArray array;
    for (const auto& record : catalog.records()) {
        const QStringList texts = row(*record);
        QJsonObject object{{QStringLiteral("node"), nodeValue(record->node)},
                           {QStringLiteral("kind"), record->kind},
                           {QStringLiteral("serial"), record->serial},
                           {QStringLiteral("body"), catalogs.bodyText(record->body)}};
        for (qsizetype column = views::ListLayout::TypeColumn + 1; column < columns.size(); ++column)
            object.insert(columns[column].heading, texts.value(column));
        array.append(object);
    }
    return array;
}

// Tree nodes in the order they were inserted (ids grow with every insertion).
QList<views::FolderTreeModel::Node> nodesInInsertionOrder(const views::FolderTreeModel& tree)
{
    QList<views::FolderTreeModel::Node> nodes = tree.nodes();
    std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
        return catalog::toInt(a.id) < catalog::toInt(b.id);
    });
    return nodes;
}

qsizetype itemCount(const catalog::Catalogs& catalogs, catalog::NodeId node)
{
    return catalogs.mails().countForNode(node) + catalogs.contacts().countForNode(node) +
           catalogs.appointments().countForNode(node) + catalogs.tasks().countForNode(node) +
           catalogs.notes().countForNode(node) + catalogs.journal().countForNode(node);
}

QByteArray jsonText(const QJsonArray& array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray jsonText(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray jsonText(const QString& text)
{
    const QByteArray array = jsonText(QJsonArray{text});
    return array.mid(1, array.size() - 2);
}

// The scan as one JSON object, written as it goes: the mails' texts are read back one mail at a
// time, so that the listing of a large store never holds them all. Keys in the order a JSON
// object of Qt's sorts them.
void printScanJson(const QString& path, const StoreScan& scan)
{
    std::unordered_map<catalog::NodeId, std::shared_ptr<const catalog::FolderRecord>> records;
    for (const auto& record : scan.catalogs.folders().records())
        records.emplace(record->node, record);

    QJsonArray folders;
    for (const auto& node : nodesInInsertionOrder(scan.tree)) {
        const auto found = records.find(node.id);
        const bool isStore = node.id == scan.job->storeNode();
        folders.append(QJsonObject{
            {QStringLiteral("node"), nodeValue(node.id)},
            {QStringLiteral("parent"), nodeValue(node.parent)},
            {QStringLiteral("name"),
             found != records.end() ? found->second->name : (isStore ? path : node.label)},
            {QStringLiteral("label"), node.label},
            {QStringLiteral("depth"), found != records.end() ? found->second->depth : 0},
            {QStringLiteral("image"), node.image},
            {QStringLiteral("bold"), node.bold},
            {QStringLiteral("items"), static_cast<qint64>(itemCount(scan.catalogs, node.id))},
        });
    }
    QJsonArray contacts;
    for (const auto& record : scan.catalogs.contacts().records())
        contacts.append(contactJson(scan.catalogs.fullContact(*record)));
    QJsonArray appointments;
    for (const auto& record : scan.catalogs.appointments().records())
        appointments.append(appointmentJson(*record));
    QJsonArray report;
    for (const scan::FolderReport& folder : scan.job->report().folders()) {
        report.append(QJsonObject{
            {QStringLiteral("node"), nodeValue(folder.node)},
            {QStringLiteral("name"), folder.name},
            {QStringLiteral("itemsSeen"), folder.itemsSeen},
            {QStringLiteral("embeddedSeen"), folder.embeddedSeen},
            {QStringLiteral("exported"), kindCounts(folder.exported)},
            {QStringLiteral("passedOver"), kindCounts(folder.passedOver)},
            {QStringLiteral("failures"), problems(folder.failures)},
            {QStringLiteral("incomplete"), problems(folder.incomplete)},
            {QStringLiteral("bodiesNotKept"), folder.bodiesNotKept},
        });
    }
    QTextStream& stream = out();
    stream << "{\n\"appointments\": " << jsonText(appointments) << ",\n\"contacts\": " << jsonText(contacts)
           << ",\n\"folders\": " << jsonText(folders) << ",\n\"journal\": "
           << jsonText(otherKindJson(scan.catalogs, scan.catalogs.journal(), views::ListLayout::Kind::Journal,
                                     &views::ItemListFill::journalRow))
           << ",\n\"mails\": [";
    bool first = true;
    for (const auto& record : scan.catalogs.mails().records()) {
        const std::optional<catalog::MailTexts> texts = scan.catalogs.mailTexts(*record);
        stream << (first ? "\n" : ",\n") << jsonText(mailJson(*record, texts.value_or(catalog::MailTexts{})));
        first = false;
    }
    stream << "\n],\n\"notes\": "
           << jsonText(otherKindJson(scan.catalogs, scan.catalogs.notes(), views::ListLayout::Kind::Note,
                                     &views::ItemListFill::noteRow))
           << ",\n\"report\": " << jsonText(report);
    if (scan.recovered) {
        QJsonObject counts;
        for (const auto& [state, count] : scan.job->report().recovered())
            counts.insert(QString::fromLatin1(store::recoveredStateName(state)), count);
        stream << ",\n\"recovered\": " << jsonText(counts);
    }
    stream << ",\n\"store\": " << jsonText(path) << ",\n\"tasks\": "
           << jsonText(otherKindJson(scan.catalogs, scan.catalogs.tasks(), views::ListLayout::Kind::Task,
                                     &views::ItemListFill::taskRow))
           << "\n}\n";
}

QString orNothing(const std::optional<QString>& value)
{
    return value.value_or(QString());
}

void printTree(const views::FolderTreeModel& tree, catalog::NodeId node, int depth)
{
    const auto n = tree.node(node);
    if (!n)
        return;
    out() << QString(depth * 2, QLatin1Char(' ')) << (n->bold ? "* " : "  ") << n->label << '\n';
    for (const catalog::NodeId child : n->children)
        printTree(tree, child, depth + 1);
}

void printProblems(const char* heading, const QList<scan::ItemProblem>& list)
{
    for (const scan::ItemProblem& problem : list) {
        out() << "    " << heading << ": " << kindName(problem.type) << ' '
              << (problem.description.isEmpty() ? QStringLiteral("#%1").arg(problem.identifier)
                                                : problem.description)
              << ": " << problem.reason << '\n';
    }
}

void printFolder(const StoreScan& scan, const views::FolderTreeModel::Node& node)
{
    const scan::FolderReport* report = scan.job->report().find(node.id);
    const auto mails = scan.catalogs.mails().recordsForNode(node.id);
    const auto contacts = scan.catalogs.contacts().recordsForNode(node.id);
    const auto appointments = scan.catalogs.appointments().recordsForNode(node.id);
    if (!report && mails.isEmpty() && contacts.isEmpty() && appointments.isEmpty())
        return;
    out() << '\n' << node.label << '\n';
    for (const auto& m : mails) {
        const catalog::MailTexts texts = scan.catalogs.mailTexts(*m).value_or(catalog::MailTexts{});
        out() << "  mail " << m->serial << "  From: " << orNothing(m->from)
              << "  Subject: " << orNothing(m->subject) << "  Date: " << orNothing(texts.date)
              << "  Flag: " << orNothing(m->flags) << "  Priority: " << orNothing(m->priority) << '\n';
        if (texts.attachments)
            out() << "    Attachments: " << *texts.attachments << '\n';
    }
    for (const auto& c : contacts) {
        QStringList slots;
        const catalog::ContactRecord full = scan.catalogs.fullContact(*c);
        for (const auto& [number, value] : full.presentSlots())
            slots << QStringLiteral("%1=%2").arg(number).arg(value);
        out() << "  contact " << c->serial << "  " << slots.join(QStringLiteral("  ")) << '\n';
    }
    for (const auto& a : appointments) {
        out() << "  appointment " << a->serial << "  Start: " << orNothing(a->start)
              << "  End: " << orNothing(a->end) << "  Location: " << orNothing(a->location) << '\n';
    }
    if (!report)
        return;
    QStringList parts{QStringLiteral("%1 items").arg(report->itemsSeen)};
    if (report->embeddedSeen > 0)
        parts.last() += QStringLiteral(" (%1 embedded)").arg(report->embeddedSeen);
    for (const auto& [type, count] : report->exported)
        parts << QStringLiteral("%1 %2 exported").arg(count).arg(kindName(type));
    for (const auto& [type, count] : report->passedOver)
        parts << QStringLiteral("%1 %2 passed over").arg(count).arg(kindName(type));
    if (!report->failures.isEmpty())
        parts << QStringLiteral("%1 failed").arg(report->failures.size());
    if (!report->incomplete.isEmpty())
        parts << QStringLiteral("%1 incomplete").arg(report->incomplete.size());
    if (report->bodiesNotKept > 0)
        parts << QStringLiteral("%1 bodies of 65000 bytes or more not kept").arg(report->bodiesNotKept);
    out() << "  report: " << parts.join(QStringLiteral(", ")) << '\n';
    printProblems("failed", report->failures);
    printProblems("incomplete", report->incomplete);
}

} // namespace

std::optional<int> scanStore(const QString& path, const QString& attachmentsDirectory,
                             const store::OpenOptions& open, StoreScan& scan,
                             const std::function<void(StoreScan&, scan::ScanSettings&)>& prepare)
{
    // The records' large texts wait in a file of this run's private folder, not in memory.
    try {
        scan.catalogs.setTextFolder(views::RunFolder::current().path());
    } catch (const catalog::CatalogWriteError& e) {
        printError(textFileMessage(e));
        return ExitFatal;
    }
    scan.job = std::make_unique<scan::ScanJob>(scan.catalogs, scan.tree);
    ScanProgressLine progress;
    scan.job->setObserver(&progress);
    scan::ScanSettings settings;
    settings.storePath = path;
    settings.openOptions = open;
    settings.attachmentsDirectory = attachmentsDirectory;
    // Only the program's own attachments directory is emptied first; a folder the user names is
    // never deleted (its leftovers are reported item by item instead).
    settings.clearAttachmentsDirectory = attachmentsDirectory.isEmpty();
    try {
        if (prepare)
            prepare(scan, settings);
    } catch (const catalog::CatalogWriteError& e) {
        printError(textFileMessage(e));
        return ExitFatal;
    }
    int stoppedBy = 0;
    {
        // Ctrl+C, a closed terminal or `kill` end the scan, and the program then ends as usual,
        // removing its private folder with the texts and attachments it had saved.
        scan::ScanJob* job = scan.job.get();
        const StopOnSignals watch([job] { job->abort(); });
        scan.outcome = job->run(settings);
        stoppedBy = watch.signal();
    }
    progress.finish();
    scan.job->setObserver(nullptr);
    if (stoppedBy != 0) {
        printError(path + QStringLiteral(": the scan was stopped"));
        return 128 + stoppedBy;
    }

    using scan::ScanOutcome;
    switch (scan.outcome) {
    case ScanOutcome::Completed:
        return std::nullopt;
    case ScanOutcome::HeaderRejected:
        printError(path + QStringLiteral(": ") + QString::fromUtf16(kNotOfflineStoreText));
        return ExitFatal;
    case ScanOutcome::CannotOpen:
        printError(openFailureMessage(
            path, store::OpenError(scan.job->openFailure(), scan.job->errorMessage().toStdString())));
        return ExitFatal;
    case ScanOutcome::WalkFailed:
        printError(path + QStringLiteral(": ") + QString::fromUtf16(kScanFailedText) +
                   QStringLiteral("\n  ") + scan.job->errorMessage());
        return ExitFatal;
    case ScanOutcome::OutOfMemory:
        printError(QStringLiteral("Not Enough Memory"));
        return ExitFatal;
    case ScanOutcome::TextsNotKept:
        printError(path + QStringLiteral(": ") + scan.job->errorMessage());
        return ExitFatal;
    case ScanOutcome::Aborted:
        printError(path + QStringLiteral(": the scan was stopped"));
        return ExitFatal;
    }
    return ExitFatal;
}

QString textFileMessage(const catalog::CatalogWriteError& error)
{
    return QStringLiteral("the item texts could not be kept in %1: %2").arg(error.path(), error.reason());
}

int runScanCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scans an offline store as the desktop program does and prints its folder tree as the\n"
        "program labels it (\"* \" marks a bold node), the records of each folder and a report\n"
        "of what was exported, passed over and failed per folder."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object instead of text.")});
    parser.addOption(
        {QStringLiteral("attachments"),
         QStringLiteral(
             "The attachments directory (default: \"Attachments\" in a private folder of this run,\n"
             "removed when the program ends). A directory named here is never emptied."),
         QStringLiteral("DIR")});
    addRecoveredOption(parser);
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("STORE"),
                                 QStringLiteral("The offline store (.ost) to scan."));
    if (const auto done = parseCommand(parser, arguments, 1,
                                       QStringLiteral("scan needs one store file (see ost2eml scan --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();
    const QString path = positional.at(0);
    StoreScan scan;
    ProgressLine searching(QStringLiteral("Searching the file for recoverable items"), QStringLiteral("MB"));
    const bool recovered = recoveredWanted(parser);
    if (const std::optional<int> failed = scanStore(path, parser.value(QStringLiteral("attachments")), *open,
                                                    scan, [&](StoreScan& s, scan::ScanSettings& settings) {
                                                        s.recovered = recovered;
                                                        settings.recovered = recovered;
                                                        settings.recoveryProgress =
                                                            recoveryProgressOn(searching);
                                                    }))
        return *failed;

    try {
        if (parser.isSet(QStringLiteral("json"))) {
            printScanJson(path, scan);
        } else {
        printTree(scan.tree, scan.job->storeNode(), 0);
        for (const auto& node : nodesInInsertionOrder(scan.tree))
            printFolder(scan, node);
        const scan::ScanReport& report = scan.job->report();
        out() << QStringLiteral(
                     "\n%1 folders, %2 mails, %3 contacts, %4 appointments; %5 failed, %6 incomplete\n")
                     .arg(scan.catalogs.folders().size())
                     .arg(scan.catalogs.mails().size())
                     .arg(scan.catalogs.contacts().size())
                     .arg(scan.catalogs.appointments().size())
                     .arg(report.totalFailures())
                     .arg(report.totalIncomplete());
        if (recovered)
            out() << scan::ScanReport::recoveredCountsText(report.recovered()) << '\n';
        }
    } catch (const catalog::CatalogWriteError& e) {
        out().flush();
        printError(textFileMessage(e));
        return ExitFatal;
    }
    return scan.job->report().hasProblems() ? ExitPartial : ExitSuccess;
}

} // namespace cli
