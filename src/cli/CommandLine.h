#pragma once

#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <store/Store.h>

namespace cli {

// Parses one command's arguments with its parser: --help prints the help text, a parse error or a
// wrong number of positional arguments prints usageError. Returns the exit code to end with then,
// or none when the command goes on.
std::optional<int> parseCommand(QCommandLineParser& parser, const QStringList& arguments, int positionalCount,
                                const QString& usageError);

// A --since/--until date: "2021-03-04" is the start of that day (UTC); with endOfDay, the start
// of the next one, so that --until takes in the whole day. Full ISO 8601 date-times are taken as
// they are (UTC when they name no offset). None when the text is no date.
std::optional<QDateTime> parseDate(const QString& text, bool endOfDay);

// Adds the options of every command that reads a store: --reader and --codepage.
void addStoreOptions(QCommandLineParser& parser);
// The store options given, or none after printing why they are wrong.
std::optional<store::OpenOptions> storeOptions(const QCommandLineParser& parser);

// "<verb>: 123 of 4567 items (2%)" on standard error, redrawn in place at most ten times a second,
// and only when standard error is a terminal.
// --recovered, for the commands that can add what the recovery pass finds.
void addRecoveredOption(QCommandLineParser& parser);
bool recoveredWanted(const QCommandLineParser& parser);

class ProgressLine;
// The recovery pass's progress on a progress line, in megabytes of the file.
store::RecoveryProgress recoveryProgressOn(ProgressLine& line);

class ProgressLine
{
public:
    explicit ProgressLine(QString verb, QString unit = QStringLiteral("items"));
    void show(int done, int total);
    void finish();

private:
    QString m_verb;
    QString m_unit;
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

} // namespace cli
