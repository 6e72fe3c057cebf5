#include "eml/MessageWriter.h"

#include "eml/GMimeRuntime.h"
#include "eml/HeaderBlock.h"
#include "eml/MimeTypes.h"
#include "eml/QtGMimeStreams.h"
#include "eml/RtfDeEncapsulator.h"
#include "eml/TransportHeaders.h"

#include <QBuffer>
#include <QIODevice>
#include <QUrl>
#include <array>
#include <cstring>
#include <gmime/gmime.h>
#include <unordered_map>
#define XXH_INLINE_ALL
#include <vector>
#include <xxhash.h>

namespace eml {

namespace {

// Lines of 7bit text stay below this length; longer ones go quoted-printable.
constexpr qsizetype kSevenBitLineLimit = 76;
// Separates the fields that make up a part's digest.
constexpr char kSeparator = '\x1f';

GMimeFormatOptions* formatOptions()
{
    ensureGMimeInitialized();
    static GMimeFormatOptions* const options = [] {
        GMimeFormatOptions* created = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(created, GMIME_NEWLINE_FORMAT_DOS);
        g_mime_format_options_set_param_encoding_method(created, GMIME_PARAM_ENCODING_METHOD_RFC2231);
        return created;
    }();
    return options;
}

// Digests only tell contents apart, so a fast non-cryptographic hash does: 128-bit XXH3, in its
// canonical byte order so that the same content gives the same boundaries on every machine. (A
// cryptographic hash of every attachment took a quarter of a conversion's time.)
QByteArray digestOf(const QByteArray& data)
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical,
                             XXH3_128bits(data.constData(), static_cast<std::size_t>(data.size())));
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest);
}

// Text with LF line ends, its last line ended too, and without the terminating zeros that stored
// bodies often carry. The writer turns LF into CRLF.
QByteArray normalizedText(const QString& text)
{
    QString normalized = text;
    while (normalized.endsWith(QChar(0)))
        normalized.chop(1);
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!normalized.isEmpty() && !normalized.endsWith(QLatin1Char('\n')))
        normalized += QLatin1Char('\n');
    return normalized.toUtf8();
}

// Whether text can travel as 7bit: ASCII without control characters, short lines, and no
// whitespace at a line end (which transports may strip).
bool fitsSevenBit(const QByteArray& text)
{
    qsizetype lineLength = 0;
    char previous = '\n';
    for (const char c : text) {
        if (c == '\n') {
            if (previous == ' ' || previous == '\t')
                return false;
            lineLength = 0;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x7F || (byte < 0x20 && c != '\t'))
                return false;
            if (++lineLength > kSevenBitLineLimit)
                return false;
        }
        previous = c;
    }
    return previous != ' ' && previous != '\t';
}

QByteArray withAngleBrackets(const QString& identifier)
{
    QByteArray id = HeaderBlock::cleaned(identifier).trimmed().toUtf8();
    if (id.isEmpty())
        return {};
    if (!id.startsWith('<'))
        id.prepend('<');
    if (!id.endsWith('>'))
        id.append('>');
    return id;
}

QByteArray identifierList(const QString& identifiers)
{
    QByteArray list;
    const QStringList ids = HeaderBlock::cleaned(identifiers).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        if (!list.isEmpty())
            list += ' ';
        list += withAngleBrackets(id);
    }
    return list;
}

// An RFC 5322 date in UTC; empty for an invalid date or a year outside 1-9999.
QByteArray formatDate(const QDateTime& date)
{
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!date.isValid())
        return {};
    const QDateTime utc = date.toUTC();
    const QDate day = utc.date();
    if (day.year() < 1 || day.year() > 9999)
        return {};
    const QTime time = utc.time();
    return QString::asprintf("%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[day.dayOfWeek() - 1], day.day(),
                             kMonths[day.month() - 1], day.year(), time.hour(), time.minute(), time.second())
        .toLatin1();
}

// The header keyword of an enumerated value; the arrays follow the enumerations' order, with ""
// for values that write no header.
template <typename Enum, std::size_t N>
QByteArray keyword(Enum value, const std::array<const char*, N>& words)
{
    const auto index = static_cast<std::size_t>(value);
    return index < N ? QByteArray(words[index]) : QByteArray();
}

QByteArray importanceText(Importance importance)
{
    static constexpr std::array kWords{"", "low", "normal", "high"};
    return keyword(importance, kWords);
}

QByteArray priorityText(Priority priority)
{
    static constexpr std::array kWords{"", "5 (Lowest)", "3 (Normal)", "1 (Highest)"};
    return keyword(priority, kWords);
}

// RFC 2156 knows no keyword for normal sensitivity.
QByteArray sensitivityText(Sensitivity sensitivity)
{
    static constexpr std::array kWords{"", "", "Personal", "Private", "Company-Confidential"};
    return keyword(sensitivity, kWords);
}

// A path or URL as a URI for a text/uri-list: URLs stay, Windows paths become file: URLs.
QByteArray referenceUri(const QString& target)
{
    const QString trimmed = target.trimmed();
    if (trimmed.isEmpty())
        return {};
    QString path = trimmed;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QByteArray prefix;
    if (path.startsWith(QLatin1String("//"))) {
        prefix = "file:";
    } else if (path.size() >= 2 && path.at(0).isLetter() && path.at(1) == QLatin1Char(':') &&
               (path.size() == 2 || path.at(2) == QLatin1Char('/'))) {
        prefix = "file:///";
    } else {
        const QUrl url(trimmed, QUrl::StrictMode);
        if (url.isValid() && url.scheme().size() > 1)
            return url.toEncoded();
        return {};
    }
    return prefix + QUrl::toPercentEncoding(path, "/:");
}

QString embeddedFileName(const Attachment& attachment)
{
    QString name = attachment.fileName.trimmed();
    if (name.isEmpty() && attachment.message)
        name = attachment.message->subject.trimmed();
    if (name.isEmpty())
        return QStringLiteral("message.eml");
    if (!name.endsWith(QLatin1String(".eml"), Qt::CaseInsensitive))
        name += QLatin1String(".eml");
    return name;
}

struct Bodies
{
    QString plain;
    QString html;
};

Bodies chooseBodies(const Message& message)
{
    Bodies bodies{message.plainBody, message.htmlBody};
    if (message.rtfBody.isEmpty() || (!bodies.plain.isEmpty() && !bodies.html.isEmpty()))
        return bodies;
    const RtfDeEncapsulator::Result rtf = RtfDeEncapsulator::convert(message.rtfBody, message.codePage);
    switch (rtf.origin) {
    case RtfDeEncapsulator::Origin::Html:
        if (bodies.html.isEmpty())
            bodies.html = rtf.text;
        break;
    case RtfDeEncapsulator::Origin::EncapsulatedText:
        if (bodies.plain.isEmpty())
            bodies.plain = rtf.text;
        break;
    case RtfDeEncapsulator::Origin::Rtf:
        if (bodies.plain.isEmpty() && bodies.html.isEmpty())
            bodies.plain = rtf.text;
        break;
    case RtfDeEncapsulator::Origin::NotRtf:
        break;
    }
    return bodies;
}

// Appends data as base64 in lines of 76 characters, each ended by CR LF, as GMime's encoder and its
// line-end conversion write it; in one pass, two characters per table look-up.
void appendBase64(QByteArray& out, const QByteArray& data)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static const std::array<std::array<char, 2>, 4096> kPairs = [] {
        std::array<std::array<char, 2>, 4096> pairs{};
        for (int v = 0; v < 4096; ++v)
            pairs[static_cast<std::size_t>(v)] = {kAlphabet[v >> 6], kAlphabet[v & 63]};
        return pairs;
    }();
    constexpr qsizetype kLineBytes = 57; // 76 characters
    const auto* in = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype size = data.size();
    const qsizetype lines = (size + kLineBytes - 1) / kLineBytes;
    const qsizetype start = out.size();
    out.resize(start + (size + 2) / 3 * 4 + lines * 2);
    char* o = out.data() + start;
    for (qsizetype line = 0; line < lines; ++line) {
        const qsizetype from = line * kLineBytes;
        const qsizetype to = std::min(size, from + kLineBytes);
        qsizetype i = from;
        for (; i + 3 <= to; i += 3) {
            const std::uint32_t v =
                (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
            std::memcpy(o, kPairs[v >> 12].data(), 2);
            std::memcpy(o + 2, kPairs[v & 4095].data(), 2);
            o += 4;
        }
        if (i < to) {
            const std::uint32_t v =
                (std::uint32_t(in[i]) << 16) | (i + 1 < to ? std::uint32_t(in[i + 1]) << 8 : 0);
            *o++ = kAlphabet[v >> 18];
            *o++ = kAlphabet[(v >> 12) & 63];
            *o++ = i + 1 < to ? kAlphabet[(v >> 6) & 63] : '=';
            *o++ = '=';
        }
        *o++ = '\r';
        *o++ = '\n';
    }
}

// Appends text with every line feed that does not follow a carriage return made CR LF.
void appendWithCrlf(QByteArray& out, const QByteArray& text)
{
    const char* data = text.constData();
    const qsizetype size = text.size();
    qsizetype from = 0;
    while (from < size) {
        const void* found = std::memchr(data + from, '\n', static_cast<std::size_t>(size - from));
        const qsizetype at = found ? static_cast<const char*>(found) - data : size;
        const char before = at > 0 ? data[at - 1] : (out.isEmpty() ? '\0' : out.back());
        out.append(data + from, at - from);
        if (at == size)
            break;
        out.append(before == '\r' ? "\n" : "\r\n");
        from = at + 1;
    }
}

// One MIME entity under construction, with a digest of everything that went into it. The
// digests give each multipart a boundary that depends on its content alone.
struct Part
{
    GObjectPtr<GMimeObject> object;
    QByteArray digest;
};

// Builds one message (and, through new builders, the messages embedded in it).
class Builder
{
public:
    explicit Builder(int depth) : m_depth(depth) {}

    // Builds the whole MIME tree first, so that a message that cannot be written leaves the
    // device untouched, then streams it out.
    MessageWriter::Error write(const Message& message, QIODevice& device)
    {
        MessageWriter::Error error = MessageWriter::Error::None;
        const Bodies bodies = chooseBodies(message);

        std::vector<const Attachment*> related;
        std::vector<const Attachment*> others;
        for (const Attachment& attachment : message.attachments) {
            if (isReferencedByHtml(attachment, bodies.html))
                related.push_back(&attachment);
            else
                others.push_back(&attachment);
        }

        std::optional<Part> html;
        if (!bodies.html.isEmpty()) {
            html = textPart("html", bodies.html);
            if (!related.empty()) {
                std::vector<Part> children;
                children.push_back(std::move(*html));
                for (const Attachment* attachment : related)
                    children.push_back(dataPart(*attachment, true));
                html = multipart("related", std::move(children));
                // The root of the related set is the HTML (RFC 2387).
                g_mime_object_set_content_type_parameter(html->object.get(), "type", "text/html");
            }
        }

        Part body;
        if (html && !bodies.plain.isEmpty()) {
            std::vector<Part> children;
            children.push_back(textPart("plain", bodies.plain));
            children.push_back(std::move(*html));
            body = multipart("alternative", std::move(children));
        } else if (html) {
            body = std::move(*html);
        } else {
            body = textPart("plain", bodies.plain);
        }

        Part root;
        if (others.empty()) {
            root = std::move(body);
        } else {
            std::vector<Part> children;
            children.push_back(std::move(body));
            for (const Attachment* attachment : others) {
                std::optional<Part> part = attachmentPart(*attachment, error);
                if (!part)
                    return error;
                children.push_back(std::move(*part));
            }
            root = multipart("mixed", std::move(children));
        }

        QByteArray out = headers(message) + "MIME-Version: 1.0\r\n";
        if (!serialize(root.object.get(), out))
            return MessageWriter::Error::WriteFailed;
        // A body that does not end in a line break still ends the message with one.
        if (!out.endsWith("\r\n"))
            out += "\r\n";
        if (device.write(out) != out.size())
            return MessageWriter::Error::WriteFailed;
        return MessageWriter::Error::None;
    }

private:
    // Writes one entity as GMime does: its headers, a blank line and its content; multiparts with
    // their delimiters. Content is encoded and given CR LF line ends here in one pass rather than
    // through GMime's stream filters, which take several passes over every byte.
    bool serialize(GMimeObject* object, QByteArray& out) const
    {
        if (GMIME_IS_MULTIPART(object)) {
            appendHeaders(object, out);
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            const QByteArray boundary(g_mime_multipart_get_boundary(multipart));
            const int count = g_mime_multipart_get_count(multipart);
            for (int index = 0; index < count; ++index) {
                out += (index > 0 ? "\r\n--" : "--") + boundary + "\r\n";
                if (!serialize(g_mime_multipart_get_part(multipart, index), out))
                    return false;
            }
            out += "\r\n--" + boundary + "--\r\n";
            return true;
        }
        if (const auto data = m_base64.find(object); data != m_base64.end()) {
            appendHeaders(object, out);
            appendBase64(out, *data->second);
            return true;
        }
        if (const auto message = m_verbatim.find(object); message != m_verbatim.end()) {
            appendHeaders(object, out);
            appendWithCrlf(out, message->second);
            return true;
        }
        if (const auto text = m_text.find(object); text != m_text.end()) {
            appendHeaders(object, out);
            if (!text->second.quotedPrintable) {
                appendWithCrlf(out, text->second.content);
                return true;
            }
            // GMime's own quoted-printable encoder, on the whole text at once.
            GMimeEncoding encoding;
            g_mime_encoding_init_encode(&encoding, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
            const QByteArray& content = text->second.content;
            QByteArray encoded(static_cast<qsizetype>(g_mime_encoding_outlen(
                                   &encoding, static_cast<std::size_t>(content.size()))),
                               Qt::Uninitialized);
            encoded.truncate(static_cast<qsizetype>(g_mime_encoding_flush(
                &encoding, content.constData(), static_cast<std::size_t>(content.size()), encoded.data())));
            appendWithCrlf(out, encoded);
            return true;
        }
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        const GObjectPtr<GObject> stream = QtGMimeStreams::writer(buffer);
        return g_mime_object_write_to_stream(object, formatOptions(), GMIME_STREAM(stream.get())) >= 0 &&
               !QtGMimeStreams::writeFailed(stream.get());
    }

    static void appendHeaders(GMimeObject* object, QByteArray& out)
    {
        char* headers = g_mime_object_get_headers(object, formatOptions());
        out += headers;
        g_free(headers);
        out += "\r\n";
    }

    static bool isReferencedByHtml(const Attachment& attachment, const QString& html)
    {
        if (attachment.kind != Attachment::Kind::Data || html.isEmpty())
            return false;
        const QString cid = cleanContentId(attachment.contentId);
        if (!cid.isEmpty() && html.contains(QLatin1String("cid:") + cid, Qt::CaseInsensitive))
            return true;
        const QString location = HeaderBlock::cleaned(attachment.contentLocation).trimmed();
        return !location.isEmpty() && html.contains(location);
    }

    static QString cleanContentId(const QString& contentId)
    {
        QString cid = HeaderBlock::cleaned(contentId).trimmed();
        cid.remove(QLatin1Char('<'));
        cid.remove(QLatin1Char('>'));
        cid.remove(QLatin1Char(' '));
        return cid;
    }

    static void setContent(GMimePart* part, const QByteArray& content, GMimeContentEncoding encoding)
    {
        // The content is shared with the message value, not copied: attachments can be large.
        const GObjectPtr<GObject> stream = QtGMimeStreams::reader(content);
        auto wrapper = adopt(
            g_mime_data_wrapper_new_with_stream(GMIME_STREAM(stream.get()), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(part, wrapper.get());
        g_mime_part_set_content_encoding(part, encoding);
    }

    // Content that goes out unencoded, in which a boundary must not occur.
    void keepUnencoded(const QByteArray& content) { m_unencoded.push_back(content); }

    static GObjectPtr<GMimePart> newTextPart(const char* subtype)
    {
        auto part = adopt(g_mime_part_new_with_type("text", subtype));
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "utf-8");
        return part;
    }

    // UTF-8 text as 7bit when it can travel so, else quoted-printable.
    void setTextContent(GMimePart* part, const QByteArray& content)
    {
        const bool sevenBit = fitsSevenBit(content);
        if (sevenBit)
            keepUnencoded(content);
        setContent(part, content,
                   sevenBit ? GMIME_CONTENT_ENCODING_7BIT : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
        m_text.emplace(GMIME_OBJECT(part), TextContent{content, !sevenBit});
    }

    Part textPart(const char* subtype, const QString& text)
    {
        const QByteArray content = normalizedText(text);
        auto part = newTextPart(subtype);
        setTextContent(part.get(), content);
        return Part{GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release())),
                    digestOf(QByteArray("text/") + subtype + kSeparator + content)};
    }

    static void setDispositionAndName(GMimePart* part, bool isInline, const QString& fileName)
    {
        g_mime_object_set_disposition(GMIME_OBJECT(part), isInline ? "inline" : "attachment");
        const QString name = HeaderBlock::cleaned(fileName).trimmed();
        if (name.isEmpty())
            return;
        g_mime_part_set_filename(part, name.toUtf8().constData());
        // GMime would pick the smallest charset that fits, guided by the process's locale; the
        // output must not depend on where it runs, so non-ASCII names are always UTF-8.
        GMimeParamList* lists[] = {
            g_mime_content_type_get_parameters(g_mime_object_get_content_type(GMIME_OBJECT(part))),
            g_mime_content_disposition_get_parameters(
                g_mime_object_get_content_disposition(GMIME_OBJECT(part))),
        };
        for (GMimeParamList* list : lists) {
            for (const char* parameter : {"name", "filename"}) {
                if (GMimeParam* param = list ? g_mime_param_list_get_parameter(list, parameter) : nullptr)
                    g_mime_param_set_charset(param, "UTF-8");
            }
        }
    }

    Part dataPart(const Attachment& attachment, bool inRelated)
    {
        // A stored type sometimes carries parameters ("text/plain; charset=..."); the type is
        // what counts, the bytes go out as they are.
        QString type = attachment.mimeType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
        if (!MimeTypes::isValid(type))
            type = MimeTypes::forFileName(attachment.fileName);
        // message/* and multipart/* may not be base64-encoded; the bytes must stay exact, so such
        // a file travels as an opaque one.
        if (type.startsWith(QLatin1String("message/")) || type.startsWith(QLatin1String("multipart/")))
            type = QStringLiteral("application/octet-stream");
        const qsizetype slash = type.indexOf(QLatin1Char('/'));
        const QByteArray mediaType = type.left(slash).toLatin1();
        const QByteArray subtype = type.mid(slash + 1).toLatin1();

        auto part = adopt(g_mime_part_new_with_type(mediaType.constData(), subtype.constData()));
        setDispositionAndName(part.get(), inRelated || attachment.isInline, attachment.fileName);
        const QByteArray created = formatDate(attachment.created);
        const QByteArray modified = formatDate(attachment.modified);
        if (!created.isEmpty())
            g_mime_object_set_content_disposition_parameter(GMIME_OBJECT(part.get()), "creation-date",
                                                            created.constData());
        if (!modified.isEmpty())
            g_mime_object_set_content_disposition_parameter(GMIME_OBJECT(part.get()), "modification-date",
                                                            modified.constData());
        const QString cid = cleanContentId(attachment.contentId);
        if (!cid.isEmpty())
            g_mime_part_set_content_id(part.get(), cid.toUtf8().constData());
        const QString location = HeaderBlock::cleaned(attachment.contentLocation).trimmed();
        if (!location.isEmpty())
            g_mime_part_set_content_location(part.get(), location.toUtf8().constData());
        setContent(part.get(), attachment.data, GMIME_CONTENT_ENCODING_BASE64);
        m_base64.emplace(GMIME_OBJECT(part.get()), &attachment.data);

        const QByteArray identity = QByteArray("data") + kSeparator + type.toUtf8() + kSeparator +
                                    attachment.fileName.toUtf8() + kSeparator + cid.toUtf8() + kSeparator +
                                    (inRelated || attachment.isInline ? "inline" : "attachment") +
                                    kSeparator + created + kSeparator + modified + kSeparator +
                                    location.toUtf8() + kSeparator + digestOf(attachment.data);
        return Part{GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release())), digestOf(identity)};
    }

    std::optional<Part> attachmentPart(const Attachment& attachment, MessageWriter::Error& error)
    {
        switch (attachment.kind) {
        case Attachment::Kind::Data:
            return dataPart(attachment, false);
        case Attachment::Kind::Embedded:
            return messagePart(attachment, error);
        case Attachment::Kind::Reference:
            return referencePart(attachment);
        }
        return dataPart(attachment, false);
    }

    std::optional<Part> messagePart(const Attachment& attachment, MessageWriter::Error& error)
    {
        if (m_depth + 1 > MessageWriter::kMaxNesting) {
            error = MessageWriter::Error::NestingTooDeep;
            return std::nullopt;
        }
        const Message empty;
        QByteArray nested;
        QBuffer buffer(&nested);
        buffer.open(QIODevice::WriteOnly);
        error = Builder(m_depth + 1).write(attachment.message ? *attachment.message : empty, buffer);
        if (error != MessageWriter::Error::None)
            return std::nullopt;
        keepUnencoded(nested);

        auto part = adopt(g_mime_part_new_with_type("message", "rfc822"));
        const QString fileName = embeddedFileName(attachment);
        setDispositionAndName(part.get(), attachment.isInline, fileName);
        bool eightBit = false;
        for (const char c : nested) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                eightBit = true;
                break;
            }
        }
        setContent(part.get(), nested, eightBit ? GMIME_CONTENT_ENCODING_8BIT : GMIME_CONTENT_ENCODING_7BIT);
        m_verbatim.emplace(GMIME_OBJECT(part.get()), nested);
        return Part{
            GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release())),
            digestOf(QByteArray("message") + kSeparator + fileName.toUtf8() + kSeparator + digestOf(nested))};
    }

    Part referencePart(const Attachment& attachment)
    {
        // A text/uri-list: the file's name and where it is as comments (kept exactly as stored),
        // then the location as a URI when it can be expressed as one.
        const QString name = HeaderBlock::cleaned(attachment.fileName).trimmed();
        const QString target = HeaderBlock::cleaned(attachment.referenceTarget).trimmed();
        QString list = QLatin1String("# ") + name + QLatin1Char('\n');
        const QByteArray uri = referenceUri(target);
        if (!target.isEmpty() && uri != target.toUtf8())
            list += QLatin1String("# ") + target + QLatin1Char('\n');
        if (!uri.isEmpty())
            list += QString::fromLatin1(uri) + QLatin1Char('\n');
        const QByteArray content = normalizedText(list);

        auto part = newTextPart("uri-list");
        setDispositionAndName(part.get(), false, name.isEmpty() ? QString() : name + QLatin1String(".uri"));
        setTextContent(part.get(), content);
        return Part{GObjectPtr<GMimeObject>(GMIME_OBJECT(part.release())),
                    digestOf(QByteArray("reference") + kSeparator + content)};
    }

    Part multipart(const char* subtype, std::vector<Part> children)
    {
        QByteArray identity = QByteArray("multipart/") + subtype;
        // Made without g_mime_multipart_new_with_subtype(), which reads the system's random device
        // for a boundary that is replaced at once (three system calls for every multipart).
        auto container = adopt(GMIME_MULTIPART(g_object_new(GMIME_TYPE_MULTIPART, nullptr)));
        auto contentType = adopt(g_mime_content_type_new("multipart", subtype));
        g_mime_object_set_content_type(GMIME_OBJECT(container.get()), contentType.get());
        for (const Part& child : children) {
            identity += child.digest;
            g_mime_multipart_add(container.get(), child.object.get());
        }
        const QByteArray digest = digestOf(identity);
        g_mime_multipart_set_boundary(container.get(), boundaryFor(digest).constData());
        return Part{GObjectPtr<GMimeObject>(GMIME_OBJECT(container.release())), digest};
    }

    // A boundary from the content's digest; on the off chance that unencoded content holds it,
    // the next candidate in a fixed sequence is taken.
    QByteArray boundaryFor(const QByteArray& digest) const
    {
        for (int attempt = 0;; ++attempt) {
            const QByteArray boundary =
                "=_" + digestOf(digest + QByteArray::number(attempt)).toHex().left(30);
            const QByteArray delimiter = "--" + boundary;
            bool clash = false;
            for (const QByteArray& content : m_unencoded) {
                if (content.contains(delimiter)) {
                    clash = true;
                    break;
                }
            }
            if (!clash)
                return boundary;
        }
    }

    QByteArray headers(const Message& message) const
    {
        HeaderBlock block;
        if (!message.transportHeaders.trimmed().isEmpty()) {
            for (const TransportHeaders::Field& field : TransportHeaders::parse(message.transportHeaders)) {
                if (!TransportHeaders::isMimeStructureField(field.name))
                    block.addVerbatim(field.name, field.text);
            }
        }
        // Without received headers these make the whole header; with them, they fill its gaps.
        const auto missing = [&block](const char* name) {
            return !block.contains(QByteArray(name));
        };
        if (missing("From") && !message.from.isEmpty())
            block.addMailboxes("From", {message.from});
        if (missing("Sender") && !message.sender.isEmpty() && !sameMailbox(message.sender, message.from))
            block.addMailboxes("Sender", {message.sender});
        if (missing("Reply-To") && !message.replyTo.isEmpty())
            block.addMailboxes("Reply-To", message.replyTo);
        if (missing("To") && !message.to.isEmpty())
            block.addMailboxes("To", message.to);
        if (missing("Cc") && !message.cc.isEmpty())
            block.addMailboxes("Cc", message.cc);
        if (missing("Bcc") && !message.bcc.isEmpty())
            block.addMailboxes("Bcc", message.bcc);
        if (missing("Subject") && !message.subject.isEmpty())
            block.addText("Subject", message.subject);
        const QByteArray date = formatDate(message.date);
        if (missing("Date") && !date.isEmpty())
            block.addStructured("Date", date);
        // One identifier; whatever follows a space is not part of it.
        const QByteArray messageId = identifierList(message.messageId).split(' ').constFirst();
        if (missing("Message-ID") && !messageId.isEmpty())
            block.addStructured("Message-ID", messageId);
        if (missing("Message-ID") && missing("X-Ost2eml-Key") && !message.storeKey.isEmpty())
            block.addStructured("X-Ost2eml-Key", message.storeKey.toLatin1());
        const QByteArray inReplyTo = identifierList(message.inReplyTo);
        if (missing("In-Reply-To") && !inReplyTo.isEmpty())
            block.addStructured("In-Reply-To", inReplyTo);
        const QByteArray references = identifierList(message.references);
        if (missing("References") && !references.isEmpty())
            block.addStructured("References", references);
        if (missing("Thread-Topic") && !message.threadTopic.isEmpty())
            block.addText("Thread-Topic", message.threadTopic);
        if (missing("Thread-Index") && !message.threadIndex.isEmpty())
            block.addStructured("Thread-Index", message.threadIndex.toBase64());
        const QByteArray importance = importanceText(message.importance);
        if (missing("Importance") && !importance.isEmpty())
            block.addStructured("Importance", importance);
        const QByteArray priority = priorityText(message.priority);
        if (missing("X-Priority") && !priority.isEmpty())
            block.addStructured("X-Priority", priority);
        const QByteArray sensitivity = sensitivityText(message.sensitivity);
        if (missing("Sensitivity") && !sensitivity.isEmpty())
            block.addStructured("Sensitivity", sensitivity);
        if (missing("X-Unsent") && message.isUnsent)
            block.addStructured("X-Unsent", "1");
        return block.bytes();
    }

    static bool sameMailbox(const Mailbox& a, const Mailbox& b)
    {
        return a.name == b.name && a.address.compare(b.address, Qt::CaseInsensitive) == 0;
    }

    int m_depth;
    std::vector<QByteArray> m_unencoded;
    // Content that serialize() writes itself: attachment data (base64) and attached messages.
    std::unordered_map<GMimeObject*, const QByteArray*> m_base64;
    std::unordered_map<GMimeObject*, QByteArray> m_verbatim;
    struct TextContent
    {
        QByteArray content;
        bool quotedPrintable;
    };
    std::unordered_map<GMimeObject*, TextContent> m_text;
};

} // namespace

QByteArray MessageWriter::toBytes(const Message& message, Error* error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const Error result = write(message, buffer);
    if (error)
        *error = result;
    if (result != Error::None)
        return {};
    return bytes;
}

MessageWriter::Error MessageWriter::write(const Message& message, QIODevice& device)
{
    ensureGMimeInitialized();
    return Builder(0).write(message, device);
}

} // namespace eml
