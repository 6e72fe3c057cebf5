#pragma once

#include <QString>
#include <optional>

namespace convert {

// Where an IMAP upload goes: imaps://USER@HOST[:PORT][/PREFIX] (TLS from the start) or
// imap://USER@HOST[:PORT][/PREFIX] (STARTTLS, which the server must offer). A user name that is
// itself an address may be written as it is (imaps://ann@example.com@mail.example.com).
struct ImapAddress
{
    bool implicitTls = true;
    QString user;
    QString host;
    int port = 993;
    // The folder the store's folders are made below, "/"-separated; empty: the top of the account.
    QString prefix;

    // Whether text is an IMAP destination at all (starts with imap:// or imaps://).
    static bool isImapUrl(const QString& text);
    // none, with error set, when the text is not a usable address (a password in it included).
    static std::optional<ImapAddress> parse(const QString& text, QString* error);
    // imaps://user@host:port/prefix, for messages and the report.
    QString display() const;
};

} // namespace convert
