#include "ShowCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"
#include "ScanCommand.h"
#include "views/PreviewWriter.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>

namespace cli {

int runShowCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scans an offline store and writes the preview page of item SERIAL (the \"S.No\" the list\n"
        "shows) into DIR: temp.html, and for a mail its body file body.txt or body.html."));
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("The folder to write into (default: a new private folder in the\n"
                                     "temporary folder, kept after the program ends)."),
                      QStringLiteral("DIR")});
    parser.addOption(
        {QStringLiteral("attachments"),
         QStringLiteral("The attachments directory (default: \"Attachments\" in a private folder of this\n"
                        "run, removed when the program ends)."),
         QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("STORE"),
                                 QStringLiteral("The offline store (.ost) to scan."));
    addStoreOptions(parser);
    parser.addPositionalArgument(QStringLiteral("SERIAL"), QStringLiteral("The item's serial number."));
    if (const auto done = parseCommand(
            parser, arguments, 2,
            QStringLiteral("show needs a store file and a serial number (see ost2eml show --help)")))
        return *done;
    const std::optional<store::OpenOptions> open = storeOptions(parser);
    if (!open)
        return ExitFatal;
    const QStringList positional = parser.positionalArguments();
    bool isNumber = false;
    const int serial = positional.at(1).toInt(&isNumber);
    if (!isNumber || serial <= 0) {
        printError(QStringLiteral("'%1' is not a serial number").arg(positional.at(1)));
        return ExitFatal;
    }
    QString folder = parser.value(QStringLiteral("o"));
    if (parser.isSet(QStringLiteral("o")) && !QDir().mkpath(folder)) {
        printError(QStringLiteral("cannot create %1").arg(folder));
        return ExitFatal;
    }

    StoreScan scan;
    const QString attachments = parser.value(QStringLiteral("attachments"));
    if (const std::optional<int> failed = scanStore(positional.at(0), attachments, *open, scan))
        return *failed;

    if (!parser.isSet(QStringLiteral("o"))) {
        // The page is there to be opened after the program has ended, so this folder is kept;
        // it is new and owner-only, never a fixed name in the shared temporary folder.
        QTemporaryDir kept(QDir(QDir::tempPath()).filePath(QStringLiteral("ost2eml-show-XXXXXX")));
        kept.setAutoRemove(false);
        folder = kept.path();
        if (folder.isEmpty()) {
            printError(QStringLiteral("cannot create a folder in %1").arg(QDir::tempPath()));
            return ExitFatal;
        }
    }
    const views::PreviewWriter writer(
        folder, attachments.isEmpty() ? scan::ScanJob::defaultAttachmentsDirectory() : attachments);
    std::optional<QString> page;
    QString bodyFile;
    bool found = true;
    try {
        if (const std::optional<catalog::Mail> mail = scan.catalogs.mail(serial)) {
            page = writer.writeMailPreview(*mail);
            bodyFile = writer.bodyFilePath(mail->record.bodyKind);
        } else if (const std::optional<std::optional<QString>> written =
                       writer.writeItemPreview(scan.catalogs, serial)) {
            page = *written;
        } else {
            found = false;
        }
    } catch (const catalog::CatalogWriteError& e) {
        printError(textFileMessage(e));
        return ExitFatal;
    }
    if (!found) {
        // A folder made for this run that received nothing goes again.
        if (!parser.isSet(QStringLiteral("o")))
            QDir(folder).removeRecursively();
        printError(QStringLiteral("%1: no item has the serial number %2").arg(positional.at(0)).arg(serial));
        return ExitFatal;
    }
    if (!page) {
        printError(QStringLiteral("the preview page could not be written into %1").arg(folder));
        return ExitFatal;
    }
    out() << "Page: " << *page << '\n';
    if (!bodyFile.isEmpty())
        out() << "Body: " << bodyFile << '\n';
    return scan.job->report().hasProblems() ? ExitPartial : ExitSuccess;
}

} // namespace cli
