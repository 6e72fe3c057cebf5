#include "StoreDump.h"

#include <QCryptographicHash>
#include <store/StoreError.h>

namespace support {

namespace {

class Dumper
{
public:
    Dumper(const std::function<void(const QString&)>& line, const StoreDumpOptions& options)
        : m_line(line), m_options(options)
    {
    }

    void folder(const store::Item& item, const QString& path, int depth)
    {
        kind(item, path);
        properties(item, path, false);
        const int folders = count(path, QStringLiteral("folders"), [&] { return item.subFolderCount(); });
        const int messages = count(path, QStringLiteral("messages"), [&] { return item.subMessageCount(); });
        subItems(item, path);
        if (depth >= m_options.maxFolderDepth)
            return;
        for (int index = 0; index < folders; ++index) {
            const QString sub = path + QStringLiteral("/f%1").arg(index);
            attempt(sub, QStringLiteral("fetch"), [&] {
                const auto child = item.subFolder(index);
                folder(*child, sub, depth + 1);
            });
        }
        for (int index = 0; index < messages; ++index) {
            const QString sub = path + QStringLiteral("/m%1").arg(index);
            attempt(sub, QStringLiteral("fetch"), [&] {
                const auto child = item.subMessage(index);
                message(*child, sub, 0);
            });
        }
    }

    void message(const store::Item& item, const QString& path, int depth)
    {
        kind(item, path);
        properties(item, path, true);
        subItems(item, path);
        body(
            path, QStringLiteral("html"), [&] { return item.htmlBodySize(); },
            [&] { return item.htmlBody(); });
        body(
            path, QStringLiteral("rtf"), [&] { return item.rtfBodySize(); }, [&] { return item.rtfBody(); });
        body(
            path, QStringLiteral("plain"), [&] { return item.plainTextBodySize(); },
            [&] { return item.plainTextBody(); });
        attempt(path, QStringLiteral("recipients"), [&] {
            const auto table = item.recipients();
            if (!table) {
                emit(path, QStringLiteral("recipients"), QStringLiteral("none"));
                return;
            }
            const QString sub = path + QStringLiteral("/r");
            kind(*table, sub);
            properties(*table, sub, false);
        });
        const int attachments =
            count(path, QStringLiteral("attachments"), [&] { return item.attachmentCount(); });
        for (int index = 0; index < attachments; ++index) {
            const QString sub = path + QStringLiteral("/a%1").arg(index);
            attempt(sub, QStringLiteral("fetch"), [&] {
                const auto child = item.attachment(index);
                attachment(*child, sub, depth);
            });
        }
    }

    void attachment(const store::Item& item, const QString& path, int depth)
    {
        kind(item, path);
        properties(item, path, false);
        store::AttachmentType type = store::AttachmentType::Undefined;
        attempt(path, QStringLiteral("method"), [&] {
            type = item.attachmentType();
            emit(path, QStringLiteral("method"), QString(QChar(static_cast<char16_t>(type))));
        });
        if (type == store::AttachmentType::Item) {
            if (depth >= m_options.maxEmbeddingDepth)
                return;
            attempt(path + QStringLiteral("/e"), QStringLiteral("fetch"), [&] {
                const auto embedded = item.embeddedItem();
                if (!embedded) {
                    emit(path, QStringLiteral("embedded"), QStringLiteral("none"));
                    return;
                }
                message(*embedded, path + QStringLiteral("/e"), depth + 1);
            });
            return;
        }
        attempt(path, QStringLiteral("data"), [&] {
            const std::uint64_t size = item.attachmentDataSize();
            QCryptographicHash hash(QCryptographicHash::Sha256);
            std::uint64_t offset = 0;
            constexpr std::size_t kChunk = 1 << 20;
            while (offset < size) {
                const QByteArray chunk = item.readAttachmentData(offset, kChunk);
                if (chunk.isEmpty())
                    break;
                hash.addData(chunk);
                offset += static_cast<std::uint64_t>(chunk.size());
            }
            emit(path, QStringLiteral("data"),
                 QStringLiteral("size %1 read %2 sha %3")
                     .arg(size)
                     .arg(offset)
                     .arg(QString::fromLatin1(hash.result().toHex().left(16))));
        });
    }

private:
    void emit(const QString& path, const QString& what, const QString& value)
    {
        m_line(path + QLatin1Char(' ') + what + QStringLiteral(" = ") + value);
    }

    template <typename Action> void attempt(const QString& path, const QString& what, Action action)
    {
        try {
            action();
        } catch (const store::StoreError& e) {
            m_line(path + QLatin1Char(' ') + what + QStringLiteral(" ! ") + e.message());
        }
    }

    template <typename Count> int count(const QString& path, const QString& what, Count read)
    {
        int value = 0;
        attempt(path, what, [&] {
            value = read();
            emit(path, what, QString::number(value));
        });
        return value;
    }

    QString bytes(const QByteArray& data) const
    {
        if (data.size() <= m_options.inlineBytes)
            return QStringLiteral("[%1] %2").arg(data.size()).arg(QString::fromLatin1(data.toHex()));
        return QStringLiteral("[%1] sha %2")
            .arg(data.size())
            .arg(QString::fromLatin1(
                QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(16)));
    }

    QString sized(const std::optional<std::size_t>& size, const std::optional<QByteArray>& text) const
    {
        return QStringLiteral("size %1 %2")
            .arg(size ? QString::number(*size) : QStringLiteral("none"))
            .arg(text ? bytes(*text) : QStringLiteral("none"));
    }

    void kind(const store::Item& item, const QString& path)
    {
        attempt(path, QStringLiteral("type"), [&] {
            emit(path, QStringLiteral("type"), QString::fromLatin1(store::itemTypeName(item.type())));
        });
        attempt(path, QStringLiteral("id"),
                [&] { emit(path, QStringLiteral("id"), QString::number(item.identifier())); });
    }

    void subItems(const store::Item& item, const QString& path)
    {
        attempt(path, QStringLiteral("sub-items"), [&] {
            const int total = item.subItemCount();
            QStringList kinds;
            for (int index = 0; index < total; ++index) {
                try {
                    const auto sub = item.subItem(index);
                    kinds << QStringLiteral("%1 %2")
                                 .arg(QString::fromLatin1(store::itemTypeName(sub->type())))
                                 .arg(sub->identifier());
                } catch (const store::StoreError&) {
                    kinds << QStringLiteral("!");
                }
            }
            emit(path, QStringLiteral("sub-items"),
                 QStringLiteral("%1 (%2)").arg(total).arg(kinds.join(u',')));
        });
    }

    void properties(const store::Item& item, const QString& path, bool isMessage)
    {
        const int sets = count(path, QStringLiteral("record sets"), [&] { return item.recordSetCount(); });
        for (int set = 0; set < sets; ++set) {
            const QString prefix = QStringLiteral("set %1").arg(set);
            attempt(path, prefix, [&] {
                for (const store::PropertyKey& key : item.properties(set)) {
                    const QString what = QStringLiteral("%1 %2/%3")
                                             .arg(prefix)
                                             .arg(key.id, 4, 16, QLatin1Char('0'))
                                             .arg(key.type, 4, 16, QLatin1Char('0'));
                    attempt(path, what, [&] {
                        const auto raw = item.binary(key.id, set);
                        emit(path, what, raw ? bytes(*raw) : QStringLiteral("none"));
                    });
                    if (key.type == store::valuetype::String8 || key.type == store::valuetype::Unicode) {
                        attempt(path, what + QStringLiteral(" text"), [&] {
                            const auto size = item.utf8StringSize(key.id, set);
                            const auto text = item.utf8String(key.id, set);
                            emit(path, what + QStringLiteral(" text"), sized(size, text));
                        });
                        if (isMessage && set == 0) {
                            attempt(path, what + QStringLiteral(" message text"), [&] {
                                const auto size = item.messageUtf8StringSize(key.id);
                                const auto text = item.messageUtf8String(key.id);
                                emit(path, what + QStringLiteral(" message text"), sized(size, text));
                            });
                        }
                    }
                }
            });
        }
        if (isMessage && sets > 0) {
            // The categories: a property known by a string name.
            static const store::PropertyName keywords{QUuid(0x00020329, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46),
                                                      QStringLiteral("Keywords")};
            attempt(path, QStringLiteral("keywords"), [&] {
                const auto value = item.namedValue(keywords);
                emit(path, QStringLiteral("keywords"),
                     value ? QStringLiteral("%1 %2")
                                 .arg(value->type, 4, 16, QLatin1Char('0'))
                                 .arg(bytes(value->bytes))
                           : QStringLiteral("none"));
            });
        }
    }

    template <typename Size, typename Read>
    void body(const QString& path, const QString& name, Size size, Read read)
    {
        const QString what = QStringLiteral("body ") + name;
        attempt(path, what, [&] {
            const auto bodySize = size();
            const auto data = read();
            if (!bodySize && !data) {
                emit(path, what, QStringLiteral("none"));
                return;
            }
            emit(path, what,
                 QStringLiteral("size %1 %2")
                     .arg(bodySize ? QString::number(*bodySize) : QStringLiteral("none"))
                     .arg(data ? bytes(*data) : QStringLiteral("none")));
        });
    }

    const std::function<void(const QString&)>& m_line;
    StoreDumpOptions m_options;
};

} // namespace

void dumpStore(const store::Store& store, const std::function<void(const QString&)>& line,
               const StoreDumpOptions& options)
{
    Dumper dumper(line, options);
    try {
        const auto root = store.rootFolder();
        dumper.folder(*root, QString(), 0);
    } catch (const store::StoreError& e) {
        line(QStringLiteral(" root ! ") + e.message());
    }
}

QStringList dumpStore(const store::Store& store, const StoreDumpOptions& options)
{
    QStringList lines;
    dumpStore(
        store, [&](const QString& l) { lines << l; }, options);
    return lines;
}

QString comparablePart(const QString& line)
{
    const qsizetype failure = line.indexOf(QStringLiteral(" ! "));
    return failure < 0 ? line : line.left(failure + 2);
}

} // namespace support
