#include "eml/MessageWriter.h"

#include "GoldenMessages.h"
#include "eml/MimeTypes.h"

#include <QBuffer>
#include <QFile>
#include <atomic>
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using eml::Attachment;
using eml::Mailbox;
using eml::Message;
using eml::MessageWriter;

namespace {

QString goldenPath(const QString& name)
{
    return QStringLiteral(OST2EML_GOLDEN_DIR "/") + name + QStringLiteral(".eml");
}

QByteArray write(const Message& message)
{
    MessageWriter::Error error = MessageWriter::Error::WriteFailed;
    const QByteArray bytes = MessageWriter::toBytes(message, &error);
    EXPECT_EQ(error, MessageWriter::Error::None);
    return bytes;
}

QByteArray headerSection(const QByteArray& bytes)
{
    return bytes.left(bytes.indexOf("\r\n\r\n") + 2);
}

// GMime's own parser, as a mail client would read the output.
class Parsed
{
public:
    explicit Parsed(const QByteArray& bytes)
    {
        g_mime_init();
        GMimeStream* stream =
            g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
        GMimeParser* parser = g_mime_parser_new_with_stream(stream);
        m_message = g_mime_parser_construct_message(parser, nullptr);
        g_object_unref(parser);
        g_object_unref(stream);
    }
    ~Parsed()
    {
        if (m_message)
            g_object_unref(m_message);
    }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;

    GMimeMessage* message() const { return m_message; }

    QString subject() const { return QString::fromUtf8(g_mime_message_get_subject(m_message)); }

    QStringList addresses(GMimeAddressType type) const
    {
        QStringList result;
        InternetAddressList* list = g_mime_message_get_addresses(m_message, type);
        for (int i = 0; i < internet_address_list_length(list); ++i) {
            InternetAddress* address = internet_address_list_get_address(list, i);
            QString text = QString::fromUtf8(internet_address_get_name(address));
            if (INTERNET_ADDRESS_IS_MAILBOX(address))
                text +=
                    QStringLiteral(" <") +
                    QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address))) +
                    QStringLiteral(">");
            result.append(text);
        }
        return result;
    }

    // Decoded content of the first part with the given content type, searched depth first.
    QByteArray content(const char* type, const char* subtype) const
    {
        GMimeObject* part = find(g_mime_message_get_mime_part(m_message), type, subtype);
        if (!part)
            return {};
        if (GMIME_IS_MESSAGE_PART(part)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(part));
            return toBytes(GMIME_OBJECT(inner));
        }
        return decoded(GMIME_PART(part));
    }

    // Decoded content of the part with the given file name.
    QByteArray attachment(const QString& fileName) const
    {
        GMimeObject* part = findByName(g_mime_message_get_mime_part(m_message), fileName.toUtf8());
        return part ? decoded(GMIME_PART(part)) : QByteArray();
    }

    QString fileName(const char* type, const char* subtype) const
    {
        GMimeObject* part = find(g_mime_message_get_mime_part(m_message), type, subtype);
        if (!part)
            return {};
        return QString::fromUtf8(g_mime_object_get_content_disposition_parameter(part, "filename"));
    }

private:
    static QByteArray decoded(GMimePart* part)
    {
        GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
        GMimeStream* out = g_mime_stream_mem_new();
        g_mime_data_wrapper_write_to_stream(wrapper, out);
        GByteArray* data = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
        QByteArray result(reinterpret_cast<const char*>(data->data), static_cast<qsizetype>(data->len));
        g_object_unref(out);
        return result;
    }

    static GMimeObject* findByName(GMimeObject* object, const QByteArray& fileName)
    {
        if (!object)
            return nullptr;
        if (GMIME_IS_PART(object) && fileName == g_mime_part_get_filename(GMIME_PART(object)))
            return object;
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                if (GMimeObject* found = findByName(g_mime_multipart_get_part(multipart, i), fileName))
                    return found;
            }
        }
        return nullptr;
    }

    static QByteArray toBytes(GMimeObject* object)
    {
        GMimeStream* out = g_mime_stream_mem_new();
        g_mime_object_write_to_stream(object, nullptr, out);
        GByteArray* data = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
        QByteArray result(reinterpret_cast<const char*>(data->data), static_cast<qsizetype>(data->len));
        g_object_unref(out);
        return result;
    }

    static GMimeObject* find(GMimeObject* object, const char* type, const char* subtype)
    {
        if (!object)
            return nullptr;
        if (g_mime_content_type_is_type(g_mime_object_get_content_type(object), type, subtype))
            return object;
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                if (GMimeObject* found = find(g_mime_multipart_get_part(multipart, i), type, subtype))
                    return found;
            }
        }
        return nullptr;
    }

    GMimeMessage* m_message = nullptr;
};

TEST(MessageWriterGolden, MatchesReviewedFiles)
{
    const bool update = qEnvironmentVariableIsSet("UPDATE_GOLDEN");
    for (const GoldenMessage& golden : goldenMessages()) {
        SCOPED_TRACE(golden.name.toStdString());
        const QByteArray bytes = write(golden.message);
        QFile file(goldenPath(golden.name));
        if (update) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            continue;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "missing golden file; run with UPDATE_GOLDEN=1";
        const QByteArray expected = file.readAll();
        if (bytes != expected) {
            const QList<QByteArray> got = bytes.split('\n');
            const QList<QByteArray> want = expected.split('\n');
            for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i) {
                if (got.at(i) != want.at(i)) {
                    ADD_FAILURE() << "line " << i + 1 << "\n got:  " << got.at(i).toStdString()
                                  << "\n want: " << want.at(i).toStdString();
                    break;
                }
            }
            ADD_FAILURE() << "output differs from the golden file (" << bytes.size() << " vs "
                          << expected.size() << " bytes)";
        }
    }
}

TEST(MessageWriterGolden, EveryLineEndsInCrlfAndStaysWithinLimits)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        SCOPED_TRACE(golden.name.toStdString());
        const QByteArray bytes = write(golden.message);
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (bytes.at(i) == '\n') {
                ASSERT_GT(i, 0);
                ASSERT_EQ(bytes.at(i - 1), '\r') << "bare LF at " << i;
                EXPECT_LE(i - 1 - lineStart, 998) << "line too long at " << lineStart;
                lineStart = i + 1;
            } else if (bytes.at(i) == '\r') {
                ASSERT_TRUE(i + 1 < bytes.size() && bytes.at(i + 1) == '\n') << "bare CR at " << i;
            }
        }
    }
}

TEST(MessageWriterDeterminism, SameValueGivesSameBytes)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        SCOPED_TRACE(golden.name.toStdString());
        const Message copy = golden.message;
        EXPECT_EQ(write(golden.message), write(copy));
    }
}

TEST(MessageWriterDeterminism, ThreadsWritingAtOnceGetTheSameBytes)
{
    const QList<GoldenMessage> messages = goldenMessages();
    QList<QByteArray> expected;
    for (const GoldenMessage& golden : messages)
        expected.append(write(golden.message));

    std::vector<std::thread> threads;
    std::atomic<int> mismatches = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                for (qsizetype i = 0; i < messages.size(); ++i) {
                    if (MessageWriter::toBytes(messages.at(i).message) != expected.at(i))
                        ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
}

TEST(MessageWriterDeterminism, DifferentContentGivesDifferentBoundaries)
{
    Message first;
    first.plainBody = QStringLiteral("one");
    first.attachments = {Attachment::fromData(QStringLiteral("a.bin"), QByteArrayLiteral("A"))};
    Message second = first;
    second.attachments[0].data = QByteArrayLiteral("B");

    const auto boundaryOf = [](const QByteArray& bytes) {
        const qsizetype start = bytes.indexOf("boundary=\"") + 10;
        return bytes.mid(start, bytes.indexOf('"', start) - start);
    };
    EXPECT_NE(boundaryOf(write(first)), boundaryOf(write(second)));
}

TEST(MessageWriterParseBack, HeadersAddressesAndBodiesSurvive)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        if (golden.name != QLatin1String("non_ascii_headers"))
            continue;
        const Parsed parsed(write(golden.message));
        ASSERT_NE(parsed.message(), nullptr);
        EXPECT_EQ(
            parsed.subject(),
            QStringLiteral(
                "Gr\u00fc\u00dfe \u2013 \u6771\u4eac meeting, and a subject long enough to need folding "
                " Bcc: injected@example.com"));
        EXPECT_EQ(parsed.addresses(GMIME_ADDRESS_TYPE_FROM),
                  QStringList{QStringLiteral("J\u00f6rg M\u00fcller <joerg@example.de>")});
        EXPECT_EQ(parsed.addresses(GMIME_ADDRESS_TYPE_TO),
                  (QStringList{QStringLiteral("Doe, John <john.doe@example.com>"),
                               QStringLiteral("\u5c71\u7530 \u592a\u90ce <yamada@example.jp>"),
                               QStringLiteral("Only A Name"),
                               QStringLiteral("/O=EXAMPLE/OU=EXCHANGE/CN=RECIPIENTS/CN=FRANK")}));
        EXPECT_EQ(g_mime_message_get_bcc(parsed.message())
                      ? internet_address_list_length(g_mime_message_get_bcc(parsed.message()))
                      : 0,
                  0);
        EXPECT_EQ(parsed.content("text", "plain"), QByteArray("Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f"
                                                              "e\r\n"));
    }
}

TEST(MessageWriterParseBack, AttachmentBytesAndNamesSurvive)
{
    Message message;
    message.plainBody = QStringLiteral("x");
    const QString name =
        QStringLiteral("\u00dcbersicht M\u00e4rz \u2013 \u6771\u4eac very long name for folding.bin");
    message.attachments = {
        Attachment::fromData(name, everyByteValue(), QStringLiteral("application/x-test"))};
    const Parsed parsed(write(message));
    EXPECT_EQ(parsed.content("application", "x-test"), everyByteValue());
    EXPECT_EQ(parsed.fileName("application", "x-test"), name);
}

TEST(MessageWriterParseBack, RtfBodiesBecomeReadableText)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        const Parsed parsed(write(golden.message));
        if (golden.name == QLatin1String("rtf_encapsulated_html")) {
            const QString html = QString::fromUtf8(parsed.content("text", "html"));
            EXPECT_TRUE(html.startsWith(QStringLiteral("<html><head><title>Note</title></head>")));
            EXPECT_TRUE(html.contains(QStringLiteral("<p>Caf\u00e9 prices rose \u20ac 5.&nbsp;</p>")))
                << html.toStdString();
            EXPECT_TRUE(parsed.content("application", "rtf").isEmpty());
        } else if (golden.name == QLatin1String("rtf_plain")) {
            EXPECT_EQ(
                QString::fromUtf8(parsed.content("text", "plain")),
                QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442, world!\r\nTab\tseparated\r\nUnicode: "
                               "\u65e5\u672c\r\n"));
        }
    }
}

TEST(MessageWriterParseBack, NestedMessagesKeepTheirAttachments)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        if (golden.name != QLatin1String("nested_message"))
            continue;
        const Parsed outer(write(golden.message));
        const QByteArray innerBytes = outer.content("message", "rfc822");
        ASSERT_FALSE(innerBytes.isEmpty());
        const Parsed inner(innerBytes);
        EXPECT_EQ(inner.subject(), QStringLiteral("Forwarded original"));
        EXPECT_EQ(inner.attachment(QStringLiteral("inner.txt")), QByteArray("inner attachment\n"));
        EXPECT_EQ(inner.fileName("message", "rfc822"), QStringLiteral("Innermost.eml"));
        const Parsed innermost(inner.content("message", "rfc822"));
        EXPECT_EQ(innermost.subject(), QStringLiteral("Innermost"));
    }
}

TEST(MessageWriterRules, TransportHeadersLoseOnlyTheirMimeStructure)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        if (golden.name != QLatin1String("transport_headers"))
            continue;
        const QByteArray header = headerSection(write(golden.message));
        EXPECT_TRUE(header.startsWith("Received: from mx.example.org"));
        EXPECT_TRUE(header.contains("\tfor <bob@example.org>; Fri, 15 Mar 2024 09:30:07 +0000\r\n"));
        EXPECT_TRUE(header.contains("X-Mailer: Example Mailer 1.0\r\n"));
        EXPECT_TRUE(header.contains("Content-Language: en-US\r\n"));
        EXPECT_TRUE(header.contains("Subject: =?utf-8?q?Received_subject_=E2=9C=93?=\r\n"));
        EXPECT_FALSE(header.contains("ignored"));
        EXPECT_FALSE(header.contains("NextPart"));
        EXPECT_FALSE(header.contains("Microsoft Mail Internet Headers"));
        EXPECT_EQ(header.count("MIME-Version:"), 1);
        EXPECT_EQ(header.count("Content-Type:"), 1);
        EXPECT_EQ(header.count("Content-Transfer-Encoding:"), 1);
        // Missing threading headers are added from the values.
        EXPECT_TRUE(header.contains("References: <earlier@example.com>\r\n"));
    }
}

TEST(MessageWriterRules, HeaderValuesCannotInjectFields)
{
    Message message;
    message.subject = QStringLiteral("Hello\r\nBcc: victim@example.com");
    message.from = Mailbox{QStringLiteral("Evil\nX-Injected: 1"), QStringLiteral("evil@example.com")};
    message.messageId = QStringLiteral("<id@x>\r\nX-Other: 2");
    const QByteArray header = headerSection(write(message));
    EXPECT_FALSE(header.contains("\r\nBcc:"));
    EXPECT_FALSE(header.contains("\r\nX-Injected:"));
    EXPECT_FALSE(header.contains("\r\nX-Other:"));
    EXPECT_TRUE(header.contains("Message-ID: <id@x>\r\n"));
}

TEST(MessageWriterRules, MessageWithoutValuesIsStillAMessage)
{
    const QByteArray bytes = write(Message());
    EXPECT_EQ(bytes, QByteArray("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                "Content-Transfer-Encoding: 7bit\r\n\r\n"));
}

TEST(MessageWriterRules, RtfIsUsedOnlyWhereItAddsABody)
{
    const QByteArray encapsulatedHtml =
        "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <p>}from rtf{\\*\\htmltag72 </p>}}";
    const QByteArray ordinary = "{\\rtf1\\ansi rtf text\\par}";
    struct Case
    {
        const char* what;
        QString plain;
        QString html;
        QByteArray rtf;
        QByteArray expectedPlain;
        QByteArray expectedHtml;
    };
    const Case cases[] = {
        {"html from rtf joins plain",
         QStringLiteral("plain"),
         {},
         encapsulatedHtml,
         "plain\r\n",
         "<p>from rtf</p>\r\n"},
        {"stored html wins", {}, QStringLiteral("<b>stored</b>"), encapsulatedHtml, {}, "<b>stored</b>\r\n"},
        {"ordinary rtf yields to plain", QStringLiteral("plain"), {}, ordinary, "plain\r\n", {}},
        {"ordinary rtf alone", {}, {}, ordinary, "rtf text\r\n", {}},
        {"not rtf at all", {}, {}, QByteArray("garbage"), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message message;
        message.plainBody = c.plain;
        message.htmlBody = c.html;
        message.rtfBody = c.rtf;
        const Parsed parsed(write(message));
        EXPECT_EQ(parsed.content("text", "plain"), c.expectedPlain);
        EXPECT_EQ(parsed.content("text", "html"), c.expectedHtml);
    }
}

TEST(MessageWriterRules, HtmlKeepsWhatItRefersTo)
{
    struct Case
    {
        const char* what;
        QString html;
        QString contentId;
        QString contentLocation;
        bool related;
    };
    const Case cases[] = {
        {"by cid", QStringLiteral("<img src=\"CID:Pic@1\">"), QStringLiteral("<pic@1>"), QString(), true},
        {"by location", QStringLiteral("<img src=\"http://x/a.png\">"), QString(),
         QStringLiteral("http://x/a.png"), true},
        {"not referred to", QStringLiteral("<p>none</p>"), QStringLiteral("pic@1"), QStringLiteral("a.png"),
         false},
        {"no html", QString(), QStringLiteral("pic@1"), QString(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message message;
        message.htmlBody = c.html;
        Attachment image = Attachment::fromData(QStringLiteral("a.png"), samplePng());
        image.contentId = c.contentId;
        image.contentLocation = c.contentLocation;
        message.attachments = {image};
        const QByteArray bytes = write(message);
        EXPECT_EQ(bytes.contains("multipart/related"), c.related);
        EXPECT_EQ(bytes.contains("Content-Disposition: inline"), c.related);
        EXPECT_EQ(bytes.contains("multipart/mixed"), !c.related);
        const Parsed parsed(bytes);
        EXPECT_EQ(parsed.attachment(QStringLiteral("a.png")), samplePng());
    }
}

TEST(MessageWriterRules, ReferencesAreListedNeverDropped)
{
    for (const GoldenMessage& golden : goldenMessages()) {
        if (golden.name != QLatin1String("reference_attachment"))
            continue;
        const QByteArray bytes = write(golden.message);
        EXPECT_EQ(bytes.count("Content-Type: text/uri-list"), 4);
        EXPECT_TRUE(bytes.contains("file://server/share/Q3%20plan.docx\r\n"));
        EXPECT_TRUE(bytes.contains("file:///C:/Users/alice/budget.xlsx\r\n"));
        EXPECT_TRUE(bytes.contains("https://files.example.com/s/deck?id=42\r\n"));
        EXPECT_TRUE(bytes.contains("# lost.doc\r\n"));
    }
}

TEST(MessageWriterRules, NestingBeyondTheLimitFailsInsteadOfOverflowing)
{
    Message message;
    message.subject = QStringLiteral("level");
    for (int level = 0; level < MessageWriter::kMaxNesting + 1; ++level) {
        Message outer;
        outer.attachments = {Attachment::fromMessage(QStringLiteral("inner"), message)};
        message = outer;
    }
    MessageWriter::Error error = MessageWriter::Error::None;
    EXPECT_TRUE(MessageWriter::toBytes(message, &error).isEmpty());
    EXPECT_EQ(error, MessageWriter::Error::NestingTooDeep);

    // One level less is fine.
    message = message.attachments.first().message ? *message.attachments.first().message : Message();
    EXPECT_FALSE(MessageWriter::toBytes(message, &error).isEmpty());
    EXPECT_EQ(error, MessageWriter::Error::None);
}

TEST(MessageWriterRules, WriteReportsAFullDevice)
{
    Message message;
    message.plainBody = QStringLiteral("text");
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_EQ(MessageWriter::write(message, readOnly), MessageWriter::Error::WriteFailed);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(MessageWriter::write(message, buffer), MessageWriter::Error::None);
    EXPECT_EQ(buffer.data(), write(message));
}

// A device that takes a fixed number of bytes and then refuses more, like a full disk.
class FullDevice : public QIODevice
{
public:
    explicit FullDevice(qint64 capacity) : m_capacity(capacity) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 room = std::min(size, m_capacity - written.size());
        if (room <= 0)
            return -1;
        written.append(data, room);
        return room;
    }

private:
    qint64 m_capacity;
};

TEST(MessageWriterRules, DeviceFailingAnywhereIsReported)
{
    Message message;
    message.subject = QStringLiteral("Full disk");
    message.plainBody = QStringLiteral("body\n");
    message.attachments = {Attachment::fromData(QStringLiteral("big.bin"), QByteArray(100000, 'x'))};
    const qsizetype total = write(message).size();
    for (const qint64 capacity : {qint64(0), qint64(10), qint64(200), qint64(5000), qint64(total - 1)}) {
        SCOPED_TRACE(capacity);
        FullDevice device(capacity);
        EXPECT_EQ(MessageWriter::write(message, device), MessageWriter::Error::WriteFailed);
    }
    FullDevice roomy(total);
    EXPECT_EQ(MessageWriter::write(message, roomy), MessageWriter::Error::None);
    EXPECT_EQ(roomy.written, write(message));
}

TEST(MessageWriterRules, UnwritableMessageLeavesTheDeviceUntouched)
{
    Message message;
    for (int level = 0; level <= MessageWriter::kMaxNesting; ++level) {
        Message outer;
        outer.attachments = {Attachment::fromMessage(QStringLiteral("inner"), message)};
        message = outer;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(MessageWriter::write(message, buffer), MessageWriter::Error::NestingTooDeep);
    EXPECT_TRUE(buffer.data().isEmpty());
}

TEST(MessageWriterRules, DatesComeFromFileTimesInUtc)
{
    struct Case
    {
        std::uint64_t fileTime;
        const char* expected;
    };
    const Case cases[] = {
        {0, "Date: Mon, 01 Jan 1601 00:00:00 +0000\r\n"},
        {116444736000000000ULL, "Date: Thu, 01 Jan 1970 00:00:00 +0000\r\n"},
        {133548030050000000ULL, "Date: Wed, 13 Mar 2024 11:30:05 +0000\r\n"},
    };
    for (const Case& c : cases) {
        Message message;
        message.date = Message::dateFromFileTime(c.fileTime);
        EXPECT_TRUE(write(message).contains(c.expected)) << c.expected;
    }
    EXPECT_FALSE(Message::dateFromFileTime(0xFFFFFFFFFFFFFFFFULL).isValid());
}

TEST(MessageWriterRules, AttachmentTypes)
{
    struct Case
    {
        QString fileName;
        QString storedType;
        QByteArray expected;
    };
    const Case cases[] = {
        {QStringLiteral("a.png"), QString(), "Content-Type: image/png"},
        {QStringLiteral("a.png"), QStringLiteral("IMAGE/JPEG"), "Content-Type: image/jpeg"},
        {QStringLiteral("a.txt"), QStringLiteral("text/plain; charset=iso-8859-1"),
         "Content-Type: text/plain;"},
        {QStringLiteral("a.doc"), QStringLiteral("not a type"), "Content-Type: application/msword"},
        {QStringLiteral("a.eml"), QString(), "Content-Type: application/octet-stream"},
        {QStringLiteral("a"), QStringLiteral("multipart/mixed"), "Content-Type: application/octet-stream"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName.toStdString() + " " + c.storedType.toStdString());
        Message message;
        message.attachments = {Attachment::fromData(c.fileName, QByteArrayLiteral("data"), c.storedType)};
        const QByteArray bytes = write(message);
        const qsizetype part = bytes.indexOf("Content-Disposition: attachment");
        ASSERT_GT(part, 0);
        const qsizetype typeLine = bytes.lastIndexOf("Content-Type:", part);
        EXPECT_EQ(bytes.mid(typeLine, c.expected.size()), c.expected);
        EXPECT_TRUE(bytes.contains("Content-Transfer-Encoding: base64\r\n\r\nZGF0YQ==\r\n"));
    }
}

TEST(MimeTypes, ExtensionTableAndValidation)
{
    EXPECT_EQ(eml::MimeTypes::forFileName(QStringLiteral("a.PDF")), QStringLiteral("application/pdf"));
    EXPECT_EQ(eml::MimeTypes::forFileName(QStringLiteral("photo.jpeg")), QStringLiteral("image/jpeg"));
    EXPECT_EQ(eml::MimeTypes::forFileName(QStringLiteral("archive.tar.gz")),
              QStringLiteral("application/gzip"));
    EXPECT_EQ(eml::MimeTypes::forFileName(QStringLiteral("noextension")),
              QStringLiteral("application/octet-stream"));
    EXPECT_EQ(eml::MimeTypes::forFileName(QStringLiteral("x.unknownext")),
              QStringLiteral("application/octet-stream"));
    EXPECT_TRUE(eml::MimeTypes::isValid(QStringLiteral("image/png")));
    EXPECT_FALSE(eml::MimeTypes::isValid(QStringLiteral("image")));
    EXPECT_FALSE(eml::MimeTypes::isValid(QStringLiteral("image/png; name=x")));
    EXPECT_FALSE(eml::MimeTypes::isValid(QStringLiteral("/png")));
}

} // namespace
