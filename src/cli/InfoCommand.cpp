#include "InfoCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "StoreCensus.h"
#include "StoreMessages.h"
#include "store/MapiTags.h"
#include "scan/ScanReport.h"
#include "store/CodePage.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString kindName(store::ItemType kind)
{
    return QString::fromLatin1(store::itemTypeName(kind));
}

QString originName(store::CodePageChoice::Origin origin)
{
    switch (origin) {
    case store::CodePageChoice::Origin::Given:
        return QStringLiteral("given");
    case store::CodePageChoice::Origin::MessageCodePage:
        return QStringLiteral("messageCodePage");
    case store::CodePageChoice::Origin::InternetCodePage:
        return QStringLiteral("internetCodePage");
    case store::CodePageChoice::Origin::Default:
        break;
    }
    return QStringLiteral("default");
}

// Which code page the reader took for 8-bit texts, and from what.
QString codePageText(const store::CodePageChoice& choice)
{
    QString text = QString::number(choice.codePage);
    if (const std::optional<QByteArray> name = store::codePageName(choice.codePage))
        text += QStringLiteral(" (%1)").arg(QString::fromLatin1(*name));
    switch (choice.origin) {
    case store::CodePageChoice::Origin::Given:
        return text + QStringLiteral(", given with --codepage");
    case store::CodePageChoice::Origin::Default:
        return text + (choice.sampled > 0
                           ? QStringLiteral(", the default: none of the %1 messages sampled names one")
                                 .arg(choice.sampled)
                           : QStringLiteral(", the reader's default"));
    case store::CodePageChoice::Origin::MessageCodePage:
    case store::CodePageChoice::Origin::InternetCodePage:
        break;
    }
    const QString property = choice.origin == store::CodePageChoice::Origin::MessageCodePage
                                 ? QStringLiteral("PR_MESSAGE_CODEPAGE")
                                 : QStringLiteral("PR_INTERNET_CPID");
    text += QStringLiteral(", named in %1 by %2 of %3 messages sampled")
                .arg(property)
                .arg(choice.messages)
                .arg(choice.sampled);
    if (choice.named != choice.codePage && choice.named > 0) {
        const std::optional<QByteArray> named = store::codePageName(choice.named);
        text += QStringLiteral(" (as %1%2, an Internet code page of the same script)")
                    .arg(choice.named)
                    .arg(named ? QStringLiteral(" ") + QString::fromLatin1(*named) : QString());
    }
    return text;
}

QString contentTypeName(store::ContentType type)
{
    switch (type) {
    case store::ContentType::Offline:
        return QStringLiteral("offline store (OST)");
    case store::ContentType::Personal:
        return QStringLiteral("personal store (PST)");
    case store::ContentType::PersonalAddressBook:
        return QStringLiteral("personal address book (PAB)");
    case store::ContentType::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString formatName(int formatType)
{
    switch (formatType) {
    case 32:
        return QStringLiteral("ANSI (32-bit)");
    case 64:
        return QStringLiteral("Unicode (64-bit)");
    case 65:
        return QStringLiteral("Unicode with 4 KiB pages");
    default:
        return QStringLiteral("unknown (%1)").arg(formatType);
    }
}

QString encryptionName(store::EncryptionType type)
{
    switch (type) {
    case store::EncryptionType::None:
        return QStringLiteral("none");
    case store::EncryptionType::Compressible:
        return QStringLiteral("compressible");
    case store::EncryptionType::High:
        return QStringLiteral("high");
    }
    return QStringLiteral("unknown");
}

QString kindsText(const std::map<store::ItemType, int>& kinds)
{
    QStringList parts;
    for (const auto& [kind, count] : kinds)
        parts << kindName(kind) + QStringLiteral(": ") + QString::number(count);
    return parts.join(QStringLiteral(", "));
}

QString displayName(const FolderCensus& folder, bool isRoot)
{
    if (isRoot)
        return folder.name.isEmpty() ? QStringLiteral("(root folder)")
                                     : folder.name + QStringLiteral(" (root folder)");
    return folder.name.isEmpty() ? QStringLiteral("(unnamed folder %1)").arg(folder.identifier) : folder.name;
}

void printFolder(const FolderCensus& folder, int depth)
{
    QString line = QString(depth * 2, QLatin1Char(' ')) + displayName(folder, depth == 0);
    QStringList counts;
    if (!folder.folders.empty())
        counts << QStringLiteral("sub-folders: %1").arg(folder.folders.size());
    if (!folder.kinds.empty())
        counts << kindsText(folder.kinds);
    if (!counts.isEmpty())
        line += QStringLiteral("  [") + counts.join(QStringLiteral(", ")) + QLatin1Char(']');
    out() << line << '\n';
    for (const QString& failure : folder.failures)
        out() << QString(depth * 2 + 2, QLatin1Char(' ')) << "! " << failure << '\n';
    for (const FolderCensus& child : folder.folders)
        printFolder(child, depth + 1);
}

QJsonObject countsObject(const std::map<store::ItemType, int>& kinds)
{
    QJsonObject object;
    for (const auto& [kind, count] : kinds)
        object.insert(kindName(kind), count);
    return object;
}

QJsonObject classesObject(const std::map<QString, int>& classes)
{
    QJsonObject object;
    for (const auto& [name, count] : classes)
        object.insert(name, count);
    return object;
}

QJsonObject folderObject(const FolderCensus& folder)
{
    QJsonArray children;
    for (const FolderCensus& child : folder.folders)
        children.append(folderObject(child));
    return QJsonObject{
        {QStringLiteral("name"), folder.name},
        {QStringLiteral("identifier"), static_cast<qint64>(folder.identifier)},
        {QStringLiteral("messages"), folder.messages},
        {QStringLiteral("kinds"), countsObject(folder.kinds)},
        {QStringLiteral("classes"), classesObject(folder.classes)},
        {QStringLiteral("attachments"), folder.attachments},
        {QStringLiteral("embeddedMessages"), folder.embeddedMessages},
        {QStringLiteral("failures"), QJsonArray::fromStringList(folder.failures)},
        {QStringLiteral("folders"), children},
    };
}

QString folderText(const store::RecoveredItem& item)
{
    return item.folder ? item.folder->join(QLatin1Char('/')) : QString();
}

QJsonArray recoveredArray(const std::vector<store::RecoveredItem>& items)
{
    QJsonArray array;
    for (const store::RecoveredItem& item : items)
        array.append(QJsonObject{
            {QStringLiteral("identifier"), static_cast<qint64>(item.identifier)},
            {QStringLiteral("class"), item.messageClass},
            {QStringLiteral("subject"), store::mapi::withoutSubjectMarker(item.subject)},
            {QStringLiteral("state"), QString::fromLatin1(store::recoveredStateName(item.state))},
            {QStringLiteral("folder"),
             item.folder ? QJsonValue(folderText(item)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("found"), item.found},
        });
    return array;
}

void printRecovered(const std::vector<store::RecoveredItem>& items)
{
    std::map<store::RecoveredState, int> states;
    for (const store::RecoveredItem& item : items)
        ++states[item.state];
    out() << '\n' << scan::ScanReport::recoveredCountsText(states) << '\n';
    for (const store::RecoveredItem& item : items)
        out() << "  " << item.identifier << "  " << store::recoveredStateName(item.state) << "  "
              << item.messageClass << "  \"" << store::mapi::withoutSubjectMarker(item.subject)
              << "\"  in "
              << (item.folder ? QStringLiteral("\"") + folderText(item) + QStringLiteral("\"")
                              : QStringLiteral("an unknown folder"))
              << "  (found in " << item.found << ")\n";
}

void printJson(const QString& path, const StoreCensus& census,
               const std::optional<std::vector<store::RecoveredItem>>& recovered)
{
    QJsonObject document{
        {QStringLiteral("store"), path},
        {QStringLiteral("contentType"), contentTypeName(census.contentType)},
        {QStringLiteral("format"), formatName(census.formatType)},
        {QStringLiteral("encryption"), encryptionName(census.encryption)},
        {QStringLiteral("fileSize"), static_cast<qint64>(census.fileSize)},
        {QStringLiteral("reader"), census.reader},
        {QStringLiteral("codePage"), census.codePage},
        {QStringLiteral("codePageChoice"),
         QJsonObject{
             {QStringLiteral("from"), originName(census.codePageChoice.origin)},
             {QStringLiteral("named"), census.codePageChoice.named},
             {QStringLiteral("messages"), census.codePageChoice.messages},
             {QStringLiteral("sampled"), census.codePageChoice.sampled},
         }},
        {QStringLiteral("root"), folderObject(census.root)},
        {QStringLiteral("totals"),
         QJsonObject{
             {QStringLiteral("folders"), census.folderCount()},
             {QStringLiteral("messages"), census.messageCount()},
             {QStringLiteral("kinds"), countsObject(census.kinds())},
             {QStringLiteral("classes"), classesObject(census.classes())},
             {QStringLiteral("attachments"), census.attachmentCount()},
             {QStringLiteral("embeddedMessages"), census.embeddedMessageCount()},
             {QStringLiteral("failures"), census.failureCount()},
         }},
    };
    if (recovered)
        document.insert(QStringLiteral("recovered"), recoveredArray(*recovered));
    out() << QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

void printText(const QString& path, const StoreCensus& census)
{
    out() << "Store:      " << path << '\n'
          << "Content:    " << contentTypeName(census.contentType) << '\n'
          << "Format:     " << formatName(census.formatType) << '\n'
          << "Encryption: " << encryptionName(census.encryption) << '\n'
          << "Size:       " << census.fileSize << " bytes\n"
          << "Reader:     " << census.reader << " (8-bit texts in code page " << census.codePage << ")\n"
          << "Code page:  " << codePageText(census.codePageChoice) << "\n\n";
    printFolder(census.root, 0);
    out() << "\nFolders: " << census.folderCount() << " (the root folder and " << census.folderCount() - 1
          << " below it)  Messages: " << census.messageCount();
    if (census.messageCount() > 0)
        out() << " (" << kindsText(census.kinds()) << ')';
    out() << "  Attachments: " << census.attachmentCount()
          << "  Embedded messages: " << census.embeddedMessageCount() << '\n';
    if (census.failureCount() > 0)
        out() << "Items that could not be read: " << census.failureCount() << " (marked with !)\n";
}

} // namespace

int runInfoCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the folder tree of an offline store with its item counts."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the result as JSON.")});
    addRecoveredOption(parser);
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("STORE"),
                                 QStringLiteral("The offline store (.ost) to read."));
    if (const auto done =
            parseCommand(parser, arguments, 1,
                         QStringLiteral("info needs exactly one store file (see ost2eml info --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();
    const QString path = positional.first();
    StoreCensus census;
    std::optional<std::vector<store::RecoveredItem>> recovered;
    try {
        const std::unique_ptr<store::Store> opened = store::openOfflineStore(path, *open);
        census = takeCensus(*opened);
        for (const QString& damage : opened->damage())
            census.root.failures << QStringLiteral("the store's index: ") + damage;
        census.reader = QString::fromLatin1(store::readerKindName(open->reader));
        census.codePage = opened->codePage();
        census.codePageChoice = opened->codePageChoice();
        if (recoveredWanted(parser)) {
            ProgressLine progress(QStringLiteral("Searching the file for recoverable items"),
                                  QStringLiteral("MB"));
            recovered = opened->recoverItems(recoveryProgressOn(progress));
        }
    } catch (const store::OpenError& error) {
        printError(openFailureMessage(path, error));
        return ExitFatal;
    } catch (const store::StoreError& error) {
        printError(
            openFailureMessage(path, store::OpenError(store::OpenError::Reason::Unreadable, error.what())));
        return ExitFatal;
    }
    if (parser.isSet(QStringLiteral("json"))) {
        printJson(path, census, recovered);
    } else {
        printText(path, census);
        if (recovered)
            printRecovered(*recovered);
    }
    out().flush();
    return census.failureCount() > 0 ? ExitPartial : ExitSuccess;
}

} // namespace cli
