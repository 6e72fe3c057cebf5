#include "JsonLoader.h"

#include "Bytes.h"
#include "CodePageEncoder.h"
#include "CompoundFile.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace storegen {

namespace {

[[noreturn]] void fail(const QString& where, const QString& what)
{
    throw std::runtime_error(QString(where + QStringLiteral(": ") + what).toStdString());
}

std::uint64_t parseNumber(const QJsonValue& v, const QString& where)
{
    if (v.isDouble())
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(v.toDouble()));
    if (v.isString()) {
        bool ok = false;
        const QString s = v.toString();
        const std::uint64_t n = s.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                                    ? s.mid(2).toULongLong(&ok, 16)
                                    : static_cast<std::uint64_t>(s.toLongLong(&ok, 10));
        if (ok)
            return n;
    }
    fail(where, QStringLiteral("expected a number"));
}

std::uint64_t parseFileTime(const QJsonValue& v, const QString& where)
{
    if (v.isString() && v.toString().contains(QLatin1Char('-'))) {
        QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        if (!t.isValid())
            fail(where, QStringLiteral("bad date %1").arg(v.toString()));
        if (t.timeSpec() == Qt::LocalTime)
            t.setTimeZone(QTimeZone::utc());
        // FILETIME counts 100 ns steps from 1601-01-01.
        return static_cast<std::uint64_t>(t.toMSecsSinceEpoch() + 11644473600000LL) * 10000;
    }
    return parseNumber(v, where);
}

PropertyType parseType(const QString& name, const QString& where)
{
    static const std::pair<const char*, PropertyType> names[] = {
        {"int16", PropertyType::Integer16},
        {"int32", PropertyType::Integer32},
        {"int64", PropertyType::Integer64},
        {"bool", PropertyType::Boolean},
        {"time", PropertyType::Time},
        {"string8", PropertyType::String8},
        {"unicode", PropertyType::Unicode},
        {"binary", PropertyType::Binary},
        {"mvbinary", PropertyType::MultipleBinary},
        {"mvunicode", PropertyType::MultipleUnicode},
        {"guid", PropertyType::Guid},
        {"float64", PropertyType::Floating64},
        {"float32", PropertyType::Floating32},
        {"currency", PropertyType::Currency},
        {"apptime", PropertyType::FloatingTime},
        {"error", PropertyType::ErrorCode},
    };
    for (const auto& [n, t] : names) {
        if (name == QLatin1String(n))
            return t;
    }
    fail(where, QStringLiteral("unknown type %1").arg(name));
}

QUuid parseSet(const QString& name, const QString& where)
{
    if (name == QLatin1String("appointment"))
        return propertyset::appointment();
    if (name == QLatin1String("address"))
        return propertyset::address();
    if (name == QLatin1String("common"))
        return propertyset::common();
    if (name == QLatin1String("task"))
        return propertyset::task();
    if (name == QLatin1String("note"))
        return propertyset::note();
    if (name == QLatin1String("log"))
        return propertyset::log();
    if (name == QLatin1String("public"))
        return propertyset::publicStrings();
    const QUuid u(name);
    if (u.isNull())
        fail(where, QStringLiteral("unknown property set %1").arg(name));
    return u;
}

// The raw bytes a value object gives: "hex", "base64", "repeat" or "value" as text.
std::optional<QByteArray> rawBytes(const QJsonObject& o, bool utf16, const QString& where)
{
    if (o.contains(QStringLiteral("hex")))
        return QByteArray::fromHex(o.value(QStringLiteral("hex")).toString().toLatin1());
    if (o.contains(QStringLiteral("base64")))
        return QByteArray::fromBase64(o.value(QStringLiteral("base64")).toString().toLatin1());
    if (o.contains(QStringLiteral("repeat"))) {
        const QJsonObject r = o.value(QStringLiteral("repeat")).toObject();
        const QString text = r.value(QStringLiteral("text")).toString(QStringLiteral("x"));
        const auto size = static_cast<qsizetype>(parseNumber(r.value(QStringLiteral("size")), where));
        if (text.isEmpty())
            fail(where, QStringLiteral("empty repeat text"));
        const QByteArray unit = utf16 ? utf16le(text) : text.toUtf8();
        const qsizetype bytes = utf16 ? size * 2 : size;
        QByteArray out;
        out.reserve(bytes);
        while (out.size() < bytes)
            out.append(unit);
        out.truncate(bytes);
        return out;
    }
    return std::nullopt;
}

Property parseProperty(const QJsonObject& o, const QString& where)
{
    std::uint32_t tag = 0;
    bool hasType = o.contains(QStringLiteral("type"));
    if (o.contains(QStringLiteral("tag"))) {
        tag = static_cast<std::uint32_t>(parseNumber(o.value(QStringLiteral("tag")), where));
        // A 16-bit id alone, or a full tag with the type in its low half.
        if (tag <= 0xFFFF)
            tag <<= 16;
    } else if (!o.contains(QStringLiteral("named"))) {
        fail(where, QStringLiteral("property needs \"tag\" or \"named\""));
    }
    if (o.value(QStringLiteral("absent")).toBool()) {
        if (o.contains(QStringLiteral("named")))
            fail(where, QStringLiteral("only a property given by tag can be absent"));
        return Property::absentAs(static_cast<std::uint16_t>(tag >> 16));
    }
    PropertyType type;
    if (hasType)
        type = parseType(o.value(QStringLiteral("type")).toString(), where);
    else if (tag & 0xFFFF)
        type = static_cast<PropertyType>(tag & 0xFFFF);
    else
        fail(where, QStringLiteral("property needs a \"type\""));

    const auto id = static_cast<std::uint16_t>(tag >> 16);
    const QJsonValue v = o.value(QStringLiteral("value"));
    Property p;
    switch (type) {
    case PropertyType::Integer16:
        p = Property::integer16(id, static_cast<std::uint16_t>(parseNumber(v, where)));
        break;
    case PropertyType::Integer32:
    case PropertyType::ErrorCode:
        p = Property::integer32(id, static_cast<std::uint32_t>(parseNumber(v, where)));
        p.type = type;
        break;
    case PropertyType::Integer64:
    case PropertyType::Currency:
        p = Property::integer64(id, parseNumber(v, where));
        p.type = type;
        break;
    case PropertyType::Boolean:
        if (!v.isBool())
            fail(where, QStringLiteral("expected true or false"));
        p = Property::boolean(id, v.toBool());
        break;
    case PropertyType::Time:
        p = Property::fileTime(id, parseFileTime(v, where));
        break;
    case PropertyType::Floating64:
    case PropertyType::FloatingTime:
        p = Property::floating64(id, v.toDouble());
        p.type = type;
        break;
    case PropertyType::Floating32: {
        const float f = static_cast<float>(v.toDouble());
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        p = Property::integer32(id, bits);
        p.type = type;
        break;
    }
    case PropertyType::Guid:
        p = Property::guid(id, QUuid(v.toString()));
        break;
    case PropertyType::Unicode:
        p = Property::unicode(id, v.toString());
        if (auto raw = rawBytes(o, true, where))
            p.value = *raw;
        break;
    case PropertyType::String8:
        // Text is written in the store's code page; raw forms give the bytes themselves.
        if (auto raw = rawBytes(o, false, where))
            p = Property::string8(id, *raw);
        else
            p = Property::string8(id, v.toString());
        break;
    case PropertyType::MultipleBinary:
    case PropertyType::MultipleUnicode: {
        if (!v.isArray())
            fail(where, QStringLiteral("a multiple value needs an array (hex values or texts)"));
        std::vector<QByteArray> values;
        QStringList texts;
        for (const QJsonValue& value : v.toArray()) {
            values.push_back(QByteArray::fromHex(value.toString().toLatin1()));
            texts << value.toString();
        }
        p = type == PropertyType::MultipleUnicode ? Property::unicodes(id, texts)
                                                  : Property::multiple(id, type, values);
        break;
    }
    case PropertyType::Binary:
        p.id = id;
        p.type = type;
        if (auto raw = rawBytes(o, false, where))
            p.value = *raw;
        else
            p.value = v.toString().toUtf8();
        break;
    default:
        fail(where, QStringLiteral("type cannot be given in JSON"));
    }
    if (o.contains(QStringLiteral("named"))) {
        const QJsonObject n = o.value(QStringLiteral("named")).toObject();
        const QUuid set = parseSet(n.value(QStringLiteral("set")).toString(), where);
        if (n.contains(QStringLiteral("name")))
            p = Property::namedAs(set, n.value(QStringLiteral("name")).toString(), p);
        else
            p = Property::namedAs(
                set, static_cast<std::uint32_t>(parseNumber(n.value(QStringLiteral("lid")), where)), p);
    }
    return p;
}

std::vector<Property> parseProperties(const QJsonValue& v, const QString& where)
{
    std::vector<Property> out;
    const QJsonArray a = v.toArray();
    for (qsizetype i = 0; i < a.size(); ++i)
        out.push_back(parseProperty(a.at(i).toObject(), where + QStringLiteral(".properties[%1]").arg(i)));
    return out;
}

Message parseMessage(const QJsonObject& o, const QString& where);

Attachment parseAttachment(const QJsonObject& o, const QString& where)
{
    Attachment a;
    const QString method = o.value(QStringLiteral("method")).toString(QStringLiteral("value"));
    if (method == QLatin1String("value"))
        a.method = AttachMethod::ByValue;
    else if (method == QLatin1String("reference"))
        a.method = AttachMethod::ByReference;
    else if (method == QLatin1String("referenceOnly"))
        a.method = AttachMethod::ByReferenceOnly;
    else if (method == QLatin1String("embedded"))
        a.method = AttachMethod::EmbeddedMessage;
    else if (method == QLatin1String("ole"))
        a.method = AttachMethod::OleObject;
    else
        fail(where, QStringLiteral("unknown method %1").arg(method));
    if (o.contains(QStringLiteral("filename"))) {
        const QString name = o.value(QStringLiteral("filename")).toString();
        a.properties.push_back(Property::text(0x3707, name));
        a.properties.push_back(Property::text(0x3704, name.left(12)));
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0)
            a.properties.push_back(Property::text(0x3703, name.mid(dot)));
    }
    if (o.contains(QStringLiteral("mimeType")))
        a.properties.push_back(Property::text(0x370E, o.value(QStringLiteral("mimeType")).toString()));
    if (o.contains(QStringLiteral("contentId")))
        a.properties.push_back(Property::text(0x3712, o.value(QStringLiteral("contentId")).toString()));
    if (o.contains(QStringLiteral("path")))
        a.properties.push_back(Property::text(0x370D, o.value(QStringLiteral("path")).toString()));
    if (o.contains(QStringLiteral("data"))) {
        const QJsonValue d = o.value(QStringLiteral("data"));
        if (d.isString())
            a.data = d.toString().toUtf8();
        else if (auto raw = rawBytes(d.toObject(), false, where + QStringLiteral(".data")))
            a.data = *raw;
    }
    std::vector<Property> extra = parseProperties(o.value(QStringLiteral("properties")), where);
    a.properties.insert(a.properties.end(), extra.begin(), extra.end());
    if (a.method == AttachMethod::OleObject && !o.contains(QStringLiteral("data")))
        a.data = staticDibObject(2, 2, 0x3366CC);
    if (a.method == AttachMethod::EmbeddedMessage) {
        a.message = std::make_shared<Message>(
            parseMessage(o.value(QStringLiteral("message")).toObject(), where + QStringLiteral(".message")));
    }
    return a;
}

Recipient parseRecipient(const QJsonObject& o, const QString& where)
{
    Recipient r;
    if (o.contains(QStringLiteral("type"))) {
        const QString t = o.value(QStringLiteral("type")).toString();
        const std::uint32_t type = t == QLatin1String("cc") ? 2 : t == QLatin1String("bcc") ? 3 : 1;
        r.properties.push_back(Property::integer32(0x0C15, type));
    }
    if (o.contains(QStringLiteral("name")))
        r.properties.push_back(Property::text(0x3001, o.value(QStringLiteral("name")).toString()));
    if (o.contains(QStringLiteral("email"))) {
        const QString email = o.value(QStringLiteral("email")).toString();
        r.properties.push_back(Property::text(0x3003, email));
        r.properties.push_back(Property::text(0x39FE, email));
        r.properties.push_back(Property::text(0x3002, QStringLiteral("SMTP")));
    }
    std::vector<Property> extra = parseProperties(o.value(QStringLiteral("properties")), where);
    r.properties.insert(r.properties.end(), extra.begin(), extra.end());
    return r;
}

Message parseMessage(const QJsonObject& o, const QString& where)
{
    Message m;
    m.properties.push_back(
        Property::text(0x001A, o.value(QStringLiteral("class")).toString(QStringLiteral("IPM.Note"))));
    if (o.contains(QStringLiteral("subject")))
        m.properties.push_back(Property::text(0x0037, o.value(QStringLiteral("subject")).toString()));
    if (o.contains(QStringLiteral("plainBody")))
        m.properties.push_back(Property::text(0x1000, o.value(QStringLiteral("plainBody")).toString()));
    if (o.contains(QStringLiteral("htmlBody")))
        m.properties.push_back(
            Property::binary(0x1013, o.value(QStringLiteral("htmlBody")).toString().toUtf8()));
    if (o.contains(QStringLiteral("rtfBody")))
        m.properties.push_back(
            Property::binary(0x1009, compressedRtf(o.value(QStringLiteral("rtfBody")).toString().toUtf8())));
    std::vector<Property> extra = parseProperties(o.value(QStringLiteral("properties")), where);
    m.properties.insert(m.properties.end(), extra.begin(), extra.end());
    const QJsonArray recipients = o.value(QStringLiteral("recipients")).toArray();
    for (qsizetype i = 0; i < recipients.size(); ++i)
        m.recipients.push_back(
            parseRecipient(recipients.at(i).toObject(), where + QStringLiteral(".recipients[%1]").arg(i)));
    const QJsonArray attachments = o.value(QStringLiteral("attachments")).toArray();
    for (qsizetype i = 0; i < attachments.size(); ++i)
        m.attachments.push_back(
            parseAttachment(attachments.at(i).toObject(), where + QStringLiteral(".attachments[%1]").arg(i)));
    m.deleted = o.value(QStringLiteral("deleted")).toBool();
    if (o.contains(QStringLiteral("earlierVersion")))
        m.earlierVersion = std::make_shared<Message>(parseMessage(
            o.value(QStringLiteral("earlierVersion")).toObject(), where + QStringLiteral(".earlierVersion")));
    return m;
}

Folder parseFolder(const QJsonObject& o, const QString& where)
{
    Folder f;
    f.name = o.value(QStringLiteral("name")).toString();
    f.containerClass = o.value(QStringLiteral("containerClass")).toString();
    const QString role = o.value(QStringLiteral("role")).toString();
    if (role == QLatin1String("ipmSubtree"))
        f.role = FolderRole::IpmSubtree;
    else if (role == QLatin1String("deletedItems"))
        f.role = FolderRole::DeletedItems;
    else if (role == QLatin1String("searchRoot"))
        f.role = FolderRole::SearchRoot;
    else if (role == QLatin1String("inbox"))
        f.role = FolderRole::Inbox;
    else if (role == QLatin1String("sentItems"))
        f.role = FolderRole::SentItems;
    else if (role == QLatin1String("drafts"))
        f.role = FolderRole::Drafts;
    else if (role == QLatin1String("junkEmail"))
        f.role = FolderRole::JunkEmail;
    else if (!role.isEmpty())
        fail(where, QStringLiteral("unknown role %1").arg(role));
    f.properties = parseProperties(o.value(QStringLiteral("properties")), where);
    f.deleted = o.value(QStringLiteral("deleted")).toBool();
    const QJsonArray folders = o.value(QStringLiteral("folders")).toArray();
    for (qsizetype i = 0; i < folders.size(); ++i)
        f.folders.push_back(
            parseFolder(folders.at(i).toObject(), where + QStringLiteral(".folders[%1]").arg(i)));
    const QJsonArray messages = o.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QJsonObject mo = messages.at(i).toObject();
        const QString mw = where + QStringLiteral(".messages[%1]").arg(i);
        const Message m = parseMessage(mo, mw);
        const auto copies =
            mo.contains(QStringLiteral("count")) ? parseNumber(mo.value(QStringLiteral("count")), mw) : 1;
        for (std::uint64_t c = 0; c < copies; ++c)
            f.messages.push_back(m);
    }
    return f;
}

} // namespace

std::optional<FileFormat> fileFormatNamed(const QString& name)
{
    if (name == QLatin1String("unicode"))
        return FileFormat::Unicode;
    if (name == QLatin1String("4k"))
        return FileFormat::Unicode4k;
    if (name == QLatin1String("ansi"))
        return FileFormat::Ansi;
    return std::nullopt;
}

std::optional<Encryption> encryptionNamed(const QString& name)
{
    if (name == QLatin1String("none"))
        return Encryption::None;
    if (name == QLatin1String("compressible"))
        return Encryption::Compressible;
    if (name == QLatin1String("high"))
        return Encryption::High;
    return std::nullopt;
}

StoreDescription JsonLoader::parse(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull())
        fail(QStringLiteral("JSON"), error.errorString() + QStringLiteral(" at offset %1").arg(error.offset));
    const QJsonObject o = doc.object();
    StoreDescription d;
    const QString type = o.value(QStringLiteral("type")).toString(QStringLiteral("ost"));
    if (type != QLatin1String("ost") && type != QLatin1String("pst"))
        fail(QStringLiteral("type"), QStringLiteral("must be ost or pst"));
    d.options.kind = type == QLatin1String("pst") ? StoreKind::Personal : StoreKind::Offline;
    const QString format = o.value(QStringLiteral("format")).toString(QStringLiteral("unicode"));
    const std::optional<FileFormat> f = fileFormatNamed(format);
    if (!f)
        fail(QStringLiteral("format"), QStringLiteral("must be unicode, 4k or ansi"));
    d.options.format = *f;
    const QString encryption = o.value(QStringLiteral("encryption")).toString(QStringLiteral("none"));
    const std::optional<Encryption> e = encryptionNamed(encryption);
    if (!e)
        fail(QStringLiteral("encryption"), QStringLiteral("must be none, compressible or high"));
    d.options.encryption = *e;
    if (o.contains(QStringLiteral("codePage"))) {
        const std::uint64_t codePage =
            parseNumber(o.value(QStringLiteral("codePage")), QStringLiteral("codePage"));
        if (codePage > 0xFFFF || !CodePageEncoder::nameOf(static_cast<std::uint32_t>(codePage)))
            fail(QStringLiteral("codePage"),
                 QStringLiteral("%1 is not a code page this system can encode").arg(codePage));
        d.options.codePage = static_cast<std::uint32_t>(codePage);
    }
    if (o.contains(QStringLiteral("displayName")))
        d.displayName = o.value(QStringLiteral("displayName")).toString();
    const QJsonArray folders = o.value(QStringLiteral("folders")).toArray();
    for (qsizetype i = 0; i < folders.size(); ++i)
        d.folders.push_back(parseFolder(folders.at(i).toObject(), QStringLiteral("folders[%1]").arg(i)));
    return d;
}

} // namespace storegen
