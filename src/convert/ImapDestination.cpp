#include "ImapDestination.h"

#include "IdentityCounts.h"

#include <QFile>
#include <QHash>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vmime/net/imap/IMAPCommand.hpp>
#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPParser.hpp>
#include <vmime/net/imap/IMAPStore.hpp>
#include <vmime/net/imap/IMAPUtils.hpp>
#include <vmime/platforms/posix/posixHandler.hpp>
#include <vmime/security/cert/certificateExpiredException.hpp>
#include <vmime/security/cert/certificateNotTrustedException.hpp>
#include <vmime/security/cert/certificateNotYetValidException.hpp>
#include <vmime/security/cert/defaultCertificateVerifier.hpp>
#include <vmime/security/cert/serverIdentityException.hpp>
#include <vmime/vmime.hpp>

namespace convert {

namespace {

constexpr const char* kSystemAuthorities = "/etc/ssl/certs/ca-certificates.crt";

// The store's folders that have a special use on a server.
const std::pair<store::SpecialFolder, const char*> kSpecialUses[] = {
    {store::SpecialFolder::SentItems, "\\Sent"},
    {store::SpecialFolder::Drafts, "\\Drafts"},
    {store::SpecialFolder::DeletedItems, "\\Trash"},
    {store::SpecialFolder::JunkEmail, "\\Junk"},
};

void initialiseVmime()
{
    static std::once_flag once;
    std::call_once(once, [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
}

std::string utf8(const QString& text)
{
    return text.toStdString();
}

QString text(const std::string& utf8Text)
{
    return QString::fromStdString(utf8Text).trimmed();
}

// A server's answer without its command tag ("a003 NO [AUTHENTICATIONFAILED] ..." -> "NO ...").
QString answer(const std::string& response)
{
    QString line = text(response);
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space > 0 && !line.startsWith(QLatin1Char('*')) && !line.startsWith(QLatin1Char('+')))
        line = line.mid(space + 1);
    return line;
}

// The certificates of a PEM file (a bundle of authorities).
std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> certificates(const QString& path,
                                                                                    bool* readable)
{
    std::vector<vmime::shared_ptr<vmime::security::cert::X509Certificate>> found;
    QFile file(path);
    *readable = file.open(QIODevice::ReadOnly);
    const QByteArray pem = file.readAll();
    static const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray end = "-----END CERTIFICATE-----";
    for (qsizetype at = pem.indexOf(begin); at >= 0; at = pem.indexOf(begin, at + 1)) {
        const qsizetype stop = pem.indexOf(end, at);
        if (stop < 0)
            break;
        const QByteArray one = pem.mid(at, stop + end.size() - at) + '\n';
        try {
            if (auto certificate = vmime::security::cert::X509Certificate::import(
                    reinterpret_cast<const vmime::byte_t*>(one.constData()),
                    static_cast<std::size_t>(one.size())))
                found.push_back(certificate);
        } catch (const vmime::exception&) {
        }
    }
    return found;
}

// Gives up on a server that says nothing for 60 seconds.
class Patience : public vmime::net::timeoutHandler
{
public:
    bool isTimeOut() override
    {
        return std::chrono::steady_clock::now() - m_start > std::chrono::seconds(60);
    }
    void resetTimeOut() override { m_start = std::chrono::steady_clock::now(); }
    bool handleTimeOut() override { return false; }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class PatienceFactory : public vmime::net::timeoutHandlerFactory
{
public:
    vmime::shared_ptr<vmime::net::timeoutHandler> create() override { return vmime::make_shared<Patience>(); }
};

// Whether trying again may help: not for what the server or the user must change.
bool isTransient(const vmime::exception& error)
{
    return !dynamic_cast<const vmime::exceptions::authentication_error*>(&error) &&
           !dynamic_cast<const vmime::exceptions::authentication_exception*>(&error) &&
           !dynamic_cast<const vmime::security::cert::certificateException*>(&error) &&
           !dynamic_cast<const vmime::exceptions::invalid_folder_name*>(&error) &&
           !dynamic_cast<const vmime::exceptions::operation_not_supported*>(&error) &&
           !dynamic_cast<const vmime::exceptions::open_file_error*>(&error);
}

// The messages vmime's exceptions carry, with those of the exceptions they wrap.
QString chain(const vmime::exception& error)
{
    QString message = QString::fromStdString(error.what());
    for (const vmime::exception* other = error.other(); other; other = other->other()) {
        const QString more = QString::fromStdString(other->what());
        if (!more.isEmpty() && !message.contains(more))
            message += QStringLiteral(": ") + more;
    }
    return message;
}

} // namespace

struct ImapDestination::Connection
{
    ImapAddress address;
    QByteArray password;
    QString caFile;
    std::chrono::seconds retryFor{120};

    std::mutex mutex;
    vmime::shared_ptr<vmime::net::session> session;
    vmime::shared_ptr<vmime::net::store> store;
    std::map<QString, QStringList> specialUse;     // "\\Sent" -> the folder's path
    vmime::shared_ptr<vmime::net::folder> current; // the open folder
    QString fatal;                                 // under mutex

    QString where() const { return address.host + QLatin1Char(':') + QString::number(address.port); }

    // What a failure to connect or log in means, for the user; permanent: retrying cannot help.
    QString describe(const vmime::exception& error, bool* permanent) const
    {
        using namespace vmime::security::cert;
        *permanent = true;
        if (dynamic_cast<const serverIdentityException*>(&error))
            return QStringLiteral("%1: the server's certificate is not made out to %1 (host name mismatch)")
                .arg(address.host);
        if (dynamic_cast<const certificateExpiredException*>(&error))
            return QStringLiteral("%1: the server's certificate has expired").arg(address.host);
        if (dynamic_cast<const certificateNotYetValidException*>(&error))
            return QStringLiteral("%1: the server's certificate is not valid yet").arg(address.host);
        if (dynamic_cast<const certificateException*>(&error))
            return QStringLiteral("%1: the server's certificate is not trusted (%2); give its certificate "
                                  "authority with --ca-file")
                .arg(address.host, chain(error));
        if (const auto* refused = dynamic_cast<const vmime::exceptions::authentication_error*>(&error))
            return QStringLiteral("%1: the server refused the login of %2: %3")
                .arg(address.host, address.user, answer(refused->response()));
        *permanent = !isTransient(error);
        return QStringLiteral("%1: %2").arg(where(), chain(error));
    }

    void drop()
    {
        current.reset();
        if (store) {
            try {
                if (store->isConnected())
                    store->disconnect();
            } catch (const vmime::exception&) {
            }
        }
        store.reset();
    }

    // Connects and logs in; throws what vmime throws.
    void connect()
    {
        drop();
        initialiseVmime();
        if (!session)
            session = vmime::net::session::create();
        const vmime::utility::url url(address.implicitTls ? "imaps" : "imap", utf8(address.host),
                                      address.port);
        store = session->getStore(url);
        store->setProperty("connection.tls", true);
        store->setProperty("connection.tls.required", true);
        store->setProperty("options.need-authentication", true);
        store->setProperty("auth.username", utf8(address.user));
        store->setProperty("auth.password", password.toStdString());

        auto verifier = vmime::make_shared<vmime::security::cert::defaultCertificateVerifier>();
        bool readable = false;
        auto authorities = certificates(QString::fromLatin1(kSystemAuthorities), &readable);
        if (!caFile.isEmpty()) {
            auto more = certificates(caFile, &readable);
            if (!readable || more.empty())
                throw vmime::exceptions::open_file_error(); // reported by open()
            authorities.insert(authorities.end(), more.begin(), more.end());
        }
        verifier->setX509RootCAs(authorities);
        store->setCertificateVerifier(verifier);
        store->setTimeoutHandlerFactory(vmime::make_shared<PatienceFactory>());
        store->connect();
    }

    // Runs op on a connected store. A dropped connection is made again with backoff for up to
    // retryFor; before op runs again, landed() says whether the attempt that broke off took effect
    // after all. The server refusing op (a NO) fails it alone. Under mutex.
    bool attempt(const std::function<void()>& op, QString* failure, const std::function<bool()>& landed = {})
    {
        if (!fatal.isEmpty()) {
            *failure = fatal;
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + retryFor;
        std::chrono::milliseconds pause(250);
        bool retrying = false;
        for (;;) {
            try {
                if (!store || !store->isConnected()) {
                    try {
                        connect();
                    } catch (const vmime::exceptions::command_error& refused) {
                        // Refused before the login: STARTTLS, or the login itself.
                        if (!address.implicitTls &&
                            QString::fromStdString(refused.command())
                                .contains(QLatin1String("STARTTLS"), Qt::CaseInsensitive))
                            *failure = fatal =
                                QStringLiteral("%1 does not offer STARTTLS: the password is never "
                                               "sent in clear text (use imaps:// if the server "
                                               "offers TLS on its own port)")
                                    .arg(address.host);
                        else
                            *failure = fatal = QStringLiteral("%1: the server refused the connection: %2")
                                                   .arg(address.host, answer(refused.response()));
                        drop();
                        return false;
                    }
                }
                if (retrying && landed && landed())
                    return true;
                op();
                return true;
            } catch (const vmime::exceptions::command_error& refused) {
                *failure = QStringLiteral("the server refused it: ") + answer(refused.response());
                if (!store || !store->isConnected())
                    retrying = true; // some servers hang up on what they refuse
                else
                    return false;
                if (std::chrono::steady_clock::now() > deadline)
                    return false;
            } catch (const vmime::exceptions::open_file_error&) {
                *failure = fatal = QStringLiteral("%1: cannot read the certificates in it").arg(caFile);
                return false;
            } catch (const vmime::exception& error) {
                bool permanent = false;
                *failure = describe(error, &permanent);
                if (permanent || std::chrono::steady_clock::now() + pause > deadline) {
                    fatal = permanent ? *failure
                                      : QStringLiteral("%1 (gave up after %2 s of retrying)")
                                            .arg(*failure)
                                            .arg(retryFor.count());
                    drop();
                    return false;
                }
                retrying = true;
            }
            drop();
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(8000));
        }
    }

    vmime::net::folder::path pathOf(const QStringList& components) const
    {
        vmime::net::folder::path path;
        for (const QString& component : components)
            path /= vmime::net::folder::path::component(utf8(component), vmime::charsets::UTF_8);
        return path;
    }

    // The folder, opened (appending needs it open for writing in vmime, nothing more). vmime
    // refuses to open a folder while another object of it exists, so one is kept, and opening
    // another closes it.
    vmime::shared_ptr<vmime::net::folder> select(const vmime::net::folder::path& path)
    {
        if (current && current->getFullPath() == path && current->isOpen())
            return current;
        if (current && current->isOpen())
            current->close(false);
        current.reset();
        current = store->getFolder(path);
        if (!current->exists()) {
            // Not marked as holding folders: CREATE "name/" makes a folder that cannot hold mail.
            vmime::net::folderAttributes attributes;
            attributes.setType(vmime::net::folderAttributes::TYPE_CONTAINS_MESSAGES);
            current->create(attributes);
        }
        try {
            current->open(vmime::net::folder::MODE_READ_WRITE);
        } catch (const vmime::exceptions::command_error&) {
            // A folder that came into being for a sub-folder made first ("INBOX/Projects" for
            // "INBOX/Projects/Apollo") may be only a name that cannot be opened (\Noselect),
            // which vmime takes for a folder: it is made a real one.
            current.reset();
            make(path);
            current = store->getFolder(path);
            current->open(vmime::net::folder::MODE_READ_WRITE);
        }
        return current;
    }

    // Sends CREATE over the store's connection; what the server answers is left to the command
    // that follows (a folder that exists by now is as good as one made).
    void make(const vmime::net::folder::path& path)
    {
        using namespace vmime::net::imap;
        const auto connection = vmime::dynamicCast<IMAPStore>(store)->getConnection();
        connection->sendCommand(
            IMAPCommand::CREATE(IMAPUtils::pathToString(connection->hierarchySeparator(), path), {}));
        std::unique_ptr<IMAPParser::response> answer(connection->readResponse());
    }

    // One message to append: its bytes, flags and delivery time.
    struct Append
    {
        QByteArray bytes;
        int flags = 0;
        std::optional<vmime::datetime> when;
    };

    // Appends messages to a folder that exists, all in one APPEND (MULTIAPPEND, RFC 3502, where
    // the server offers it: one round trip for them all, and all or none land). vmime's own
    // append takes one message, needs the folder open, which in vmime is a connection of its own
    // (a new login whenever the workers move on to another folder), and hands the literal to
    // TLS a byte at a time, one record per byte. So the command goes over the store's
    // connection, each literal in one piece, and with LITERAL+ (RFC 7888) without waiting for the
    // server's go-ahead.
    void append(const vmime::net::folder::path& path, const std::vector<const Append*>& messages)
    {
        // A folder another session made is not always known yet to this one: the server answers
        // NO [TRYCREATE], and this session makes it (again) and appends once more.
        if (!appendOnce(path, messages)) {
            make(path);
            if (!appendOnce(path, messages))
                throw vmime::exceptions::command_error("APPEND", "NO the server says the folder does not exist");
        }
    }

    // False when the server answers that the folder does not exist.
    bool appendOnce(const vmime::net::folder::path& path, const std::vector<const Append*>& messages)
    {
        using namespace vmime::net::imap;
        if (messages.empty())
            return true;
        const auto connection = vmime::dynamicCast<IMAPStore>(store)->getConnection();
        const std::string mailbox = IMAPUtils::pathToString(connection->hierarchySeparator(), path);
        const bool nonSynchronizing = connection->hasCapability("LITERAL+");
        // vmime writes the command; the parts after the first are its text without "APPEND
        // <mailbox>".
        const std::size_t head =
            IMAPCommand::APPEND(mailbox, {}, nullptr, 0)->getText().size() - std::string(" {0}").size();
        const auto failed = [&](const IMAPParser::response& response) {
            std::string said = response.getErrorLog();
            if (const auto* done = response.response_done(); done && done->response_tagged())
                if (const auto* state = done->response_tagged()->resp_cond_state(); state && state->resp_text())
                    said = (state->status() == IMAPParser::resp_cond_state::NO ? "NO " : "BAD ") +
                           state->resp_text()->text();
            throw vmime::exceptions::command_error("APPEND", said);
        };
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const Append& message = *messages[i];
            std::string part = IMAPCommand::APPEND(mailbox, IMAPUtils::messageFlagList(message.flags),
                                                   message.when ? const_cast<vmime::datetime*>(&*message.when)
                                                                : nullptr,
                                                   static_cast<std::size_t>(message.bytes.size()))
                                   ->getText();
            if (nonSynchronizing && !part.empty() && part.back() == '}')
                part.insert(part.size() - 1, "+");
            if (i == 0) {
                connection->sendCommand(IMAPCommand::createCommand(part, part));
            } else {
                part = part.substr(head) + "\r\n";
                connection->sendRaw(reinterpret_cast<const vmime::byte_t*>(part.data()), part.size());
            }
            if (!nonSynchronizing) {
                std::unique_ptr<IMAPParser::response> goAhead(connection->readResponse());
                const auto& parts = goAhead->continue_req_or_response_data();
                if (parts.empty() || !parts.back()->continue_req())
                    failed(*goAhead);
            }
            connection->sendRaw(reinterpret_cast<const vmime::byte_t*>(message.bytes.constData()),
                                static_cast<std::size_t>(message.bytes.size()));
        }
        connection->sendRaw(reinterpret_cast<const vmime::byte_t*>("\r\n"), 2);
        std::unique_ptr<IMAPParser::response> done(connection->readResponse());
        if (done->isBad())
            failed(*done);
        const auto* state = done->response_done()->response_tagged()->resp_cond_state();
        if (state->status() == IMAPParser::resp_cond_state::OK)
            return true;
        if (state->resp_text() && state->resp_text()->resp_text_code() &&
            state->resp_text()->resp_text_code()->type() == IMAPParser::resp_text_code::TRYCREATE)
            return false;
        failed(*done);
        return false;
    }

    bool appendsSeveral()
    {
        return vmime::dynamicCast<vmime::net::imap::IMAPStore>(store)->getConnection()->hasCapability(
            "MULTIAPPEND");
    }

    // The identities of the messages of a folder, read with one FETCH of two header fields.
    std::vector<QByteArray> identities(const vmime::net::folder::path& path)
    {
        std::vector<QByteArray> found;
        const auto folder = select(path);
        if (folder->getMessageCount() > 0) {
            auto messages = folder->getMessages(vmime::net::messageSet::byNumber(1, -1));
            vmime::net::fetchAttributes wanted;
            wanted.add("Message-ID");
            wanted.add(MailEnvelope::kKeyField);
            folder->fetchMessages(messages, wanted);
            for (const auto& message : messages) {
                const std::string header = message->getHeader()->generate();
                found.push_back(MailEnvelope::identityOf(QByteArray::fromStdString(header) + "\r\n\r\n"));
            }
        }
        return found;
    }
};

namespace {

class ImapFolder : public DestinationFolder
{
public:
    ImapFolder(std::shared_ptr<ImapDestination::Connection> connection, vmime::net::folder::path path,
               QString name)
        : m_connection(std::move(connection)), m_path(std::move(path)), m_name(std::move(name))
    {
    }

    void hold(const std::vector<QByteArray>& identities)
    {
        for (const QByteArray& identity : identities) {
            m_held.add(identity);
            ++m_onServer[identity];
        }
    }

    Result write(const DestinationMail& mail, QString* failure) override
    {
        if (m_held.take(mail.identity))
            return Result::AlreadyThere;
        const MailEnvelope& envelope = mail.envelope;
        Waiting waiting{mail.serial, mail.identity, {mail.bytes, 0, std::nullopt}};
        if (envelope.seen)
            waiting.append.flags |= vmime::net::message::FLAG_SEEN;
        if (envelope.flagged)
            waiting.append.flags |= vmime::net::message::FLAG_MARKED;
        if (envelope.answered)
            waiting.append.flags |= vmime::net::message::FLAG_REPLIED;
        if (envelope.draft)
            waiting.append.flags |= vmime::net::message::FLAG_DRAFT;
        if (envelope.delivered.isValid()) {
            const QDateTime utc = envelope.delivered.toUTC();
            waiting.append.when.emplace(utc.date().year(), utc.date().month(), utc.date().day(),
                                        utc.time().hour(), utc.time().minute(), utc.time().second(),
                                        vmime::datetime::GMT);
        }
        std::lock_guard lock(m_connection->mutex);
        m_batchBytes += mail.bytes.size();
        m_batch.push_back(std::move(waiting));
        if (!m_several.has_value()) {
            QString ignored;
            bool several = false;
            m_connection->attempt([&] { several = m_connection->appendsSeveral(); }, &ignored);
            m_several = several;
        }
        if (!*m_several || m_batch.size() >= kBatchMails || m_batchBytes >= kBatchBytes)
            flush();
        if (m_batch.empty() && m_settled.size() == 1 && m_settled.front().serial == mail.serial) {
            // Written at once: told now rather than later.
            Settled one = std::move(m_settled.front());
            m_settled.clear();
            *failure = one.failure;
            return one.result;
        }
        return Result::Pending;
    }

    void settle(bool all, const Told& told) override
    {
        std::vector<Settled> settled;
        {
            std::lock_guard lock(m_connection->mutex);
            if (all)
                flush();
            settled.swap(m_settled);
        }
        for (const Settled& one : settled)
            told(one.serial, one.result, one.failure);
    }

    bool claim(const QByteArray& identity) override { return m_held.take(identity); }

private:
    // Mails go to the server in batches of this many or this many bytes, whichever comes first.
    static constexpr std::size_t kBatchMails = 32;
    static constexpr qint64 kBatchBytes = 2 << 20;

    struct Waiting
    {
        int serial = 0;
        QByteArray identity;
        ImapDestination::Connection::Append append;
    };
    struct Settled
    {
        int serial = 0;
        Result result = Result::Failed;
        QString failure;
    };

    // Sends the batch, as one APPEND where the server takes several; a batch the server refuses
    // goes again mail by mail, so that only the mails it refuses fail. Under the mutex.
    void flush()
    {
        if (m_batch.empty())
            return;
        std::vector<Waiting> batch;
        batch.swap(m_batch);
        m_batchBytes = 0;
        QString failure;
        if (send(batch, &failure))
            return;
        if (batch.size() > 1 && m_connection->fatal.isEmpty()) {
            for (Waiting& one : batch) {
                std::vector<Waiting> single;
                single.push_back(std::move(one));
                if (!send(single, &failure))
                    m_settled.push_back({single.front().serial, Result::Failed,
                                         QStringLiteral("%1: %2").arg(m_name, failure)});
            }
            return;
        }
        for (const Waiting& one : batch)
            m_settled.push_back({one.serial, Result::Failed, QStringLiteral("%1: %2").arg(m_name, failure)});
    }

    // Appends the mails; true when they are on the server, each then settled as written.
    bool send(std::vector<Waiting>& batch, QString* failure)
    {
        ImapDestination::Connection& c = *m_connection;
        const auto append = [&] {
            std::vector<const ImapDestination::Connection::Append*> messages;
            for (const Waiting& one : batch)
                messages.push_back(&one.append);
            c.append(m_path, messages);
        };
        // An append whose answer was lost may have been carried out: what landed is looked for
        // first, and only the rest is sent again.
        const auto landed = [&] {
            const std::vector<QByteArray> now = c.identities(m_path);
            QHash<QByteArray, int> counts;
            for (const QByteArray& identity : now)
                ++counts[identity];
            QHash<QByteArray, int> expected = m_onServer;
            std::vector<Waiting> rest;
            for (Waiting& one : batch) {
                if (!one.identity.isEmpty() && counts.value(one.identity) > expected.value(one.identity)) {
                    ++expected[one.identity];
                    written(one);
                } else {
                    rest.push_back(std::move(one));
                }
            }
            batch.swap(rest);
            return batch.empty();
        };
        if (!c.attempt(append, failure, landed))
            return false;
        for (const Waiting& one : batch)
            written(one);
        return true;
    }

    void written(const Waiting& one)
    {
        ++m_onServer[one.identity];
        m_settled.push_back({one.serial, Result::Written, {}});
    }

    std::shared_ptr<ImapDestination::Connection> m_connection;
    vmime::net::folder::path m_path;
    QString m_name;
    IdentityCounts m_held;
    // Under the connection's mutex:
    QHash<QByteArray, int> m_onServer; // what the folder holds as far as this run knows
    std::vector<Waiting> m_batch;
    qint64 m_batchBytes = 0;
    std::vector<Settled> m_settled;
    std::optional<bool> m_several; // whether the server takes several mails in one APPEND
};

} // namespace

ImapDestination::ImapDestination(ImapAddress address, QByteArray password, QString caFile)
    : m_connection(std::make_shared<Connection>())
{
    m_connection->address = std::move(address);
    m_connection->password = std::move(password);
    m_connection->caFile = std::move(caFile);
}

ImapDestination::~ImapDestination()
{
    std::lock_guard lock(m_connection->mutex);
    m_connection->drop();
}

void ImapDestination::setRetryTime(int seconds)
{
    m_connection->retryFor = std::chrono::seconds(seconds);
}

bool ImapDestination::open(QString* failure)
{
    Connection& c = *m_connection;
    std::lock_guard lock(c.mutex);
    return c.attempt(
        [&c] {
            c.specialUse.clear();
            for (const auto& folder : c.store->getRootFolder()->getFolders(true)) {
                const char* use = nullptr;
                switch (folder->getAttributes().getSpecialUse()) {
                case vmime::net::folderAttributes::SPECIALUSE_SENT:
                    use = "\\Sent";
                    break;
                case vmime::net::folderAttributes::SPECIALUSE_DRAFTS:
                    use = "\\Drafts";
                    break;
                case vmime::net::folderAttributes::SPECIALUSE_TRASH:
                    use = "\\Trash";
                    break;
                case vmime::net::folderAttributes::SPECIALUSE_JUNK:
                    use = "\\Junk";
                    break;
                default:
                    break;
                }
                if (!use || c.specialUse.count(QString::fromLatin1(use)))
                    continue;
                QStringList components;
                const vmime::net::folder::path path = folder->getFullPath();
                for (std::size_t i = 0; i < path.getSize(); ++i)
                    components << QString::fromStdString(path[i].getConvertedText(vmime::charsets::UTF_8));
                c.specialUse[QString::fromLatin1(use)] = components;
            }
        },
        failure);
}

QString ImapDestination::fatalFailure() const
{
    std::lock_guard lock(m_connection->mutex);
    return m_connection->fatal;
}

QStringList ImapDestination::serverPath(const Folder& folder, const QString& prefix,
                                        const std::map<QString, QStringList>& specialUse)
{
    // Below the top folder ("Top of Information Store"), which the server has no use for.
    const auto belowTop = [](const QString& storePath) {
        QStringList components = storePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (components.size() > 1)
            components.removeFirst();
        return components;
    };
    QStringList components = belowTop(folder.path);
    QStringList path = prefix.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!path.isEmpty() || !folder.special || !folder.specialPath.contains(QLatin1Char('/')))
        return path + components;
    // The special folder's place on the server, then the folders below it.
    const QStringList special = belowTop(folder.specialPath);
    const QStringList rest = components.mid(special.size());
    if (*folder.special == store::SpecialFolder::Inbox)
        return QStringList{QStringLiteral("INBOX")} + rest;
    for (const auto& [kind, use] : kSpecialUses) {
        if (kind != *folder.special)
            continue;
        if (const auto found = specialUse.find(QString::fromLatin1(use)); found != specialUse.end())
            return found->second + rest;
    }
    return components;
}

std::unique_ptr<DestinationFolder> ImapDestination::openFolder(const Folder& folder, QString* failure)
{
    Connection& c = *m_connection;
    QStringList components = serverPath(folder, c.address.prefix, c.specialUse);
    // A name may not hold the server's hierarchy separator; "/" is by far the most common one.
    for (QString& component : components)
        component.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString name = components.join(QLatin1Char('/'));
    const vmime::net::folder::path path = c.pathOf(components);
    std::vector<QByteArray> held;
    std::lock_guard lock(c.mutex);
    const bool opened = c.attempt([&] { held = c.identities(path); }, failure);
    if (!opened) {
        *failure = QStringLiteral("%1: %2").arg(name, *failure);
        return nullptr;
    }
    auto result = std::make_unique<ImapFolder>(m_connection, path, name);
    result->hold(held);
    return result;
}

} // namespace convert
