#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace cli {

// The password of a server, from where the user keeps it: a file (its first line), the
// environment variable OST2EML_PASSWORD, or a prompt on the terminal without echo. Never from
// the command line, and never written anywhere.
// none, with error set, when there is none to be had.
std::optional<QByteArray> readPassword(const QString& passwordFile, const QString& prompt, QString* error);

} // namespace cli
