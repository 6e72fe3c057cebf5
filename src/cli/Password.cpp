#include "Password.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

QByteArray firstLine(QByteArray text)
{
    const qsizetype end = text.indexOf('\n');
    if (end >= 0)
        text.truncate(end);
    if (text.endsWith('\r'))
        text.chop(1);
    return text;
}

std::optional<QByteArray> prompted(const QString& prompt)
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        line += static_cast<char>(c);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return firstLine(line);
}

} // namespace

std::optional<QByteArray> readPassword(const QString& passwordFile, const QString& prompt, QString* error)
{
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error =
                QStringLiteral("--password-file: cannot read %1: %2").arg(passwordFile, file.errorString());
            return std::nullopt;
        }
        const QByteArray password = firstLine(file.read(64 * 1024));
        if (password.isEmpty()) {
            *error =
                QStringLiteral("--password-file: %1 holds no password on its first line").arg(passwordFile);
            return std::nullopt;
        }
        return password;
    }
    if (const char* environment = std::getenv("OST2EML_PASSWORD"); environment && *environment)
        return QByteArray(environment);
    if (auto typed = prompted(prompt); typed && !typed->isEmpty())
        return typed;
    *error = QStringLiteral("no password: give it with --password-file FILE or in the environment variable "
                            "OST2EML_PASSWORD (or run on a terminal to be asked for it)");
    return std::nullopt;
}

} // namespace cli
