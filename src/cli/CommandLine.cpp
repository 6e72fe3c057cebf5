#include "CommandLine.h"

#include <QTimeZone>

#include "Console.h"
#include "ExitCode.h"
#include "store/CodePage.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

std::optional<int> parseCommand(QCommandLineParser& parser, const QStringList& arguments, int positionalCount,
                                const QString& usageError)
{
    if (!parser.parse(arguments)) {
        printError(parser.errorText());
        return ExitFatal;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return ExitSuccess;
    }
    // A negative count: at least that many.
    const qsizetype given = parser.positionalArguments().size();
    if (positionalCount >= 0 ? given != positionalCount : given < -positionalCount) {
        printError(usageError);
        return ExitFatal;
    }
    return std::nullopt;
}

void addStoreOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("reader"),
                      QStringLiteral("The store reader: native (the default) or libpff, for comparison."),
                      QStringLiteral("NAME"), QStringLiteral("native")});
    parser.addOption({QStringLiteral("codepage"),
                      QStringLiteral("The Windows code page of 8-bit texts that name none (e.g. 932 for "
                                     "Japanese); default: the one the store's messages name, an Internet "
                                     "code page (ISO-2022-JP) as the Windows code page of its script. "
                                     "ost2eml info says which it took."),
                      QStringLiteral("N")});
}

void addRecoveredOption(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("recovered"),
                      QStringLiteral("Also take the items the store's indexes no longer reference (deleted "
                                     "items, earlier versions, items of folders that cannot be reached), "
                                     "found by reading the whole file once.")});
}

bool recoveredWanted(const QCommandLineParser& parser)
{
    return parser.isSet(QStringLiteral("recovered"));
}

store::RecoveryProgress recoveryProgressOn(ProgressLine& line)
{
    return [&line](std::uint64_t done, std::uint64_t total) {
        line.show(static_cast<int>(done >> 20), static_cast<int>(total >> 20));
        if (done == total)
            line.finish();
    };
}

std::optional<store::OpenOptions> storeOptions(const QCommandLineParser& parser)
{
    store::OpenOptions options;
    const std::optional<store::ReaderKind> reader =
        store::readerKindFromName(parser.value(QStringLiteral("reader")));
    if (!reader) {
        printError(QStringLiteral("--reader: '%1' is not a reader (native or libpff)")
                       .arg(parser.value(QStringLiteral("reader"))));
        return std::nullopt;
    }
    options.reader = *reader;
    if (parser.isSet(QStringLiteral("codepage"))) {
        bool isNumber = false;
        const int page = parser.value(QStringLiteral("codepage")).toInt(&isNumber);
        if (!isNumber || page <= 0 || !store::codePageName(page)) {
            printError(QStringLiteral("--codepage: '%1' is not a code page this program knows (e.g. 1252, 932)")
                           .arg(parser.value(QStringLiteral("codepage"))));
            return std::nullopt;
        }
        options.codePage = page;
    }
    return options;
}

ProgressLine::ProgressLine(QString verb, QString unit)
    : m_verb(std::move(verb)), m_unit(std::move(unit)), m_enabled(isatty(fileno(stderr)) != 0)
{
    m_clock.start();
}

void ProgressLine::show(int done, int total)
{
    if (!m_enabled || (m_shown && done != total && m_clock.elapsed() < 100))
        return;
    m_clock.restart();
    const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 100;
    err()
        << QStringLiteral("\r%1: %2 of %3 %4 (%5%)").arg(m_verb).arg(done).arg(total).arg(m_unit).arg(percent)
        << Qt::flush;
    m_shown = true;
}

void ProgressLine::finish()
{
    if (m_shown)
        err() << '\n' << Qt::flush;
}

std::optional<QDateTime> parseDate(const QString& text, bool endOfDay)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10)
        return QDateTime(endOfDay ? date.addDays(1) : date, QTime(0, 0), QTimeZone::utc());
    QDateTime dateTime = QDateTime::fromString(text, Qt::ISODate);
    if (!dateTime.isValid())
        return std::nullopt;
    if (dateTime.timeSpec() == Qt::LocalTime)
        dateTime.setTimeZone(QTimeZone::utc());
    return dateTime;
}

} // namespace cli
