#include "Console.h"
#include "ConvertCommand.h"
#include "ExitCode.h"
#include "InfoCommand.h"
#include "ScanCommand.h"
#include "SearchCommand.h"
#include "ShowCommand.h"

#include <QCoreApplication>
#include <array>

namespace {

struct Command
{
    const char* name;
    const char* summary;
    int (*run)(const QStringList& arguments);
};

// Every command of the program; `ost2eml COMMAND --help` explains each.
constexpr std::array kCommands{
    Command{"info", "print the folder tree of an offline store with its item counts", cli::runInfoCommand},
    Command{"convert", "write every mail of an offline store as an .eml file", cli::runConvertCommand},
    Command{"scan", "scan an offline store and print its folder tree, records and report",
            cli::runScanCommand},
    Command{"search", "print the items of an offline store that match a query", cli::runSearchCommand},
    Command{"show", "write the preview page of one item of an offline store", cli::runShowCommand},
    Command{"merge-reports", "sum up the JSON reports of conversions (of runs on several machines)",
            cli::runMergeReportsCommand},
};

void printUsage()
{
    cli::out() << "Usage: ost2eml COMMAND [OPTIONS] ARGUMENTS\n"
                  "       ost2eml --help | --version\n\n"
                  "Reads Outlook offline stores (.ost) and converts their mail.\n\n"
                  "Commands:\n";
    for (const Command& command : kCommands)
        cli::out() << "  " << QString::fromLatin1(command.name).leftJustified(15)
                   << QString::fromLatin1(command.summary) << '\n';
    cli::out() << "\nRun 'ost2eml COMMAND --help' for the options of one command.\n"
                  "Exit codes: 0 all done, 2 done but some items could not be read or written (they are\n"
                  "listed), 1 nothing could be done (bad arguments; a file that is missing, unreadable or\n"
                  "not an offline store; a store too damaged to open), 130 stopped by Ctrl+C (128 + the\n"
                  "signal's number; what was written is complete and in the report).\n";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ost2eml"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OST2EML_VERSION));

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        printUsage();
        return cli::ExitFatal;
    }
    const QString first = arguments.at(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        printUsage();
        return cli::ExitSuccess;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        cli::out() << "ost2eml " << QStringLiteral(OST2EML_VERSION) << '\n';
        return cli::ExitSuccess;
    }
    for (const Command& command : kCommands) {
        if (first == QLatin1String(command.name)) {
            QStringList commandArguments = arguments.mid(1);
            commandArguments[0] = QStringLiteral("ost2eml ") + first;
            const int code = command.run(commandArguments);
            cli::out().flush();
            return code;
        }
    }
    cli::printError(QStringLiteral("unknown command '%1' (see ost2eml --help)").arg(first));
    return cli::ExitFatal;
}
