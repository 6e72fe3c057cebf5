#include "CommandLine.h"

#include "Console.h"
#include "ExitCode.h"

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
    if (parser.positionalArguments().size() != positionalCount) {
        printError(usageError);
        return ExitFatal;
    }
    return std::nullopt;
}

ProgressLine::ProgressLine(QString verb) : m_verb(std::move(verb)), m_enabled(isatty(fileno(stderr)) != 0)
{
    m_clock.start();
}

void ProgressLine::show(int done, int total)
{
    if (!m_enabled || (m_shown && done != total && m_clock.elapsed() < 100))
        return;
    m_clock.restart();
    const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 100;
    err() << QStringLiteral("\r%1: %2 of %3 items (%4%)").arg(m_verb).arg(done).arg(total).arg(percent)
          << Qt::flush;
    m_shown = true;
}

void ProgressLine::finish()
{
    if (m_shown)
        err() << '\n' << Qt::flush;
}

} // namespace cli
