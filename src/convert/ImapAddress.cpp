#include "ImapAddress.h"

#include <QUrl>

namespace convert {

bool ImapAddress::isImapUrl(const QString& text)
{
    return text.startsWith(QLatin1String("imap://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("imaps://"), Qt::CaseInsensitive);
}

std::optional<ImapAddress> ImapAddress::parse(const QString& text, QString* error)
{
    ImapAddress address;
    address.implicitTls = text.startsWith(QLatin1String("imaps://"), Qt::CaseInsensitive);
    QString rest = text.mid(text.indexOf(QLatin1String("://")) + 3);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString authority = slash < 0 ? rest : rest.left(slash);
    address.prefix = slash < 0 ? QString() : QUrl::fromPercentEncoding(rest.mid(slash + 1).toUtf8());
    address.prefix = address.prefix.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
    // The host follows the last "@": the user name may be an address.
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at <= 0) {
        *error = QStringLiteral("%1: the address needs a user name (imaps://USER@HOST)").arg(text);
        return std::nullopt;
    }
    address.user = QUrl::fromPercentEncoding(authority.left(at).toUtf8());
    if (address.user.contains(QLatin1Char(':'))) {
        *error = QStringLiteral("the address must not hold a password: give it with --password-file or "
                                "OST2EML_PASSWORD");
        return std::nullopt;
    }
    QString hostPort = authority.mid(at + 1);
    address.port = address.implicitTls ? 993 : 143;
    // [v6 address]:port, host:port
    const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
    if (colon > hostPort.lastIndexOf(QLatin1Char(']'))) {
        bool ok = false;
        const int port = hostPort.mid(colon + 1).toInt(&ok);
        if (!ok || port <= 0 || port > 65535) {
            *error = QStringLiteral("%1: '%2' is not a port").arg(text, hostPort.mid(colon + 1));
            return std::nullopt;
        }
        address.port = port;
        hostPort = hostPort.left(colon);
    }
    if (hostPort.startsWith(QLatin1Char('[')) && hostPort.endsWith(QLatin1Char(']')))
        hostPort = hostPort.mid(1, hostPort.size() - 2);
    if (hostPort.isEmpty()) {
        *error = QStringLiteral("%1: the address needs a host name").arg(text);
        return std::nullopt;
    }
    address.host = hostPort;
    return address;
}

QString ImapAddress::display() const
{
    QString text = (implicitTls ? QStringLiteral("imaps://") : QStringLiteral("imap://")) + user +
                   QLatin1Char('@') +
                   (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host);
    if (port != (implicitTls ? 993 : 143))
        text += QLatin1Char(':') + QString::number(port);
    if (!prefix.isEmpty())
        text += QLatin1Char('/') + prefix;
    return text;
}

} // namespace convert
