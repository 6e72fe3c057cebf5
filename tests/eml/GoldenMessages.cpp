#include "GoldenMessages.h"

#include <QTimeZone>

using eml::Attachment;
using eml::Mailbox;
using eml::Message;

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

Message basic(const QString& subject)
{
    Message message;
    message.from = Mailbox{QStringLiteral("Alice Example"), QStringLiteral("alice@example.com")};
    message.to = {Mailbox{QStringLiteral("Bob Example"), QStringLiteral("bob@example.org")}};
    message.subject = subject;
    message.date = utc(2024, 3, 15, 9, 30, 5);
    message.messageId = QStringLiteral("<msg-1@example.com>");
    return message;
}

GoldenMessage plainOnly()
{
    Message message = basic(QStringLiteral("Quarterly numbers"));
    message.cc = {Mailbox{QStringLiteral("Carol"), QStringLiteral("carol@example.net")},
                  Mailbox{QString(), QStringLiteral("dave@example.net")}};
    message.bcc = {Mailbox{QStringLiteral("Eve"), QStringLiteral("eve@example.net")}};
    message.replyTo = {Mailbox{QStringLiteral("Team"), QStringLiteral("team@example.com")}};
    message.inReplyTo = QStringLiteral("<msg-0@example.com>");
    message.references = QStringLiteral("<root@example.com> <msg-0@example.com>");
    message.importance = eml::Importance::High;
    message.priority = eml::Priority::Urgent;
    message.sensitivity = eml::Sensitivity::Private;
    message.threadTopic = QStringLiteral("Quarterly numbers");
    message.threadIndex = QByteArray::fromHex("01da76c36a1b2c30aabbccddeeff00112233445566");
    message.plainBody = QStringLiteral("Hi Bob,\r\n\r\nthe numbers are attached.\r\n\r\nAlice\r\n");
    return {QStringLiteral("plain_only"), message};
}

GoldenMessage htmlOnly()
{
    Message message = basic(QStringLiteral("HTML only"));
    message.htmlBody = QStringLiteral(
        "<html><head><meta charset=\"windows-1252\"></head><body><p>Gr\u00fc\u00dfe aus K\u00f6ln \u2013 "
        "this paragraph is deliberately much longer than seventy-six characters so that it must be wrapped "
        "by the transfer encoding.</p></body></html>");
    return {QStringLiteral("html_only"), message};
}

GoldenMessage plainAndHtml()
{
    Message message = basic(QStringLiteral("Both bodies"));
    message.plainBody = QStringLiteral("Plain version\nsecond line\n");
    message.htmlBody = QStringLiteral("<p>HTML version</p>\n<p>second line</p>\n");
    return {QStringLiteral("plain_and_html"), message};
}

GoldenMessage rtfEncapsulatedHtml()
{
    Message message = basic(QStringLiteral("RTF with HTML inside"));
    message.rtfBody = QByteArrayLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n"
        "{\\f0\\fswiss\\fcharset0 Arial;}\r\n"
        "{\\f1\\fmodern Courier New;}}\r\n"
        "{\\colortbl\\red0\\green0\\blue0;}\r\n"
        "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n"
        "{\\*\\htmltag19 <html>}{\\*\\htmltag34 <head>}{\\*\\htmltag177 <title>Note</title>}"
        "{\\*\\htmltag41 </head>}{\\*\\htmltag2 \\par }{\\*\\htmltag50 <body>}"
        "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 Caf\\'e9 prices rose \\u8364\\'80 5.\r\n"
        "{\\*\\htmltag84 &nbsp;}\\htmlrtf \\~\\htmlrtf0 }\\htmlrtf \\par \\htmlrtf0 {\\*\\htmltag72 </p>}\r\n"
        "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}");
    return {QStringLiteral("rtf_encapsulated_html"), message};
}

GoldenMessage rtfPlain()
{
    Message message = basic(QStringLiteral("RTF only"));
    message.rtfBody = QByteArrayLiteral(
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Arial;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Writer 1.0;}"
        "\\viewkind4\\uc1\\pard\\f0\\fs20 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2, \\b world\\b0 !\\par\r\n"
        "Tab\\tab separated\\par\r\n"
        "{\\pict\\wmetafile8 0100090000}Unicode: \\u26085?\\u26412?\\par\r\n"
        "}");
    return {QStringLiteral("rtf_plain"), message};
}

GoldenMessage nonAsciiHeaders()
{
    Message message;
    message.from = Mailbox{QStringLiteral("J\u00f6rg M\u00fcller"), QStringLiteral("joerg@example.de")};
    message.to = {Mailbox{QStringLiteral("Doe, John"), QStringLiteral("john.doe@example.com")},
                  Mailbox{QStringLiteral("\u5c71\u7530 \u592a\u90ce"), QStringLiteral("yamada@example.jp")},
                  Mailbox{QStringLiteral("Only A Name"), QString()},
                  Mailbox{QString(), QStringLiteral("/O=EXAMPLE/OU=EXCHANGE/CN=RECIPIENTS/CN=FRANK")}};
    message.subject =
        QStringLiteral("Gr\u00fc\u00dfe \u2013 \u6771\u4eac meeting, and a subject long enough to need "
                       "folding\r\nBcc: injected@example.com");
    message.date = Message::dateFromFileTime(133548030050000000ULL);
    message.plainBody = QStringLiteral("Sch\u00f6ne Gr\u00fc\u00dfe\n");
    return {QStringLiteral("non_ascii_headers"), message};
}

GoldenMessage transportHeaders()
{
    Message message = basic(QStringLiteral("ignored: the received Subject wins"));
    message.transportHeaders = QStringLiteral("Microsoft Mail Internet Headers Version 2.0\r\n"
                                              "Received: from mx.example.org (mx.example.org [192.0.2.1])\r\n"
                                              "\tby mail.example.com with ESMTPS id 12345\r\n"
                                              "\tfor <bob@example.org>; Fri, 15 Mar 2024 09:30:07 +0000\r\n"
                                              "From: \"Alice Example\" <alice@example.com>\r\n"
                                              "To: bob@example.org\r\n"
                                              "Subject: =?utf-8?q?Received_subject_=E2=9C=93?=\r\n"
                                              "Date: Fri, 15 Mar 2024 10:30:05 +0100\r\n"
                                              "Message-ID: <msg-1@example.com>\r\n"
                                              "MIME-Version: 1.0\r\n"
                                              "Content-Type: multipart/alternative;\r\n"
                                              "\tboundary=\"----=_NextPart_000_0001\"\r\n"
                                              "Content-Transfer-Encoding: 7bit\r\n"
                                              "X-Mailer: Example Mailer 1.0\r\n"
                                              "Content-Language: en-US\r\n"
                                              "\r\n"
                                              "This is a multi-part message in MIME format.\r\n");
    message.plainBody = QStringLiteral("Body from the store.\r\n");
    message.references = QStringLiteral("<earlier@example.com>");
    return {QStringLiteral("transport_headers"), message};
}

GoldenMessage attachments()
{
    Message message = basic(QStringLiteral("Files"));
    message.plainBody = QStringLiteral("Files attached.\n");
    message.attachments = {
        Attachment::fromData(QStringLiteral("report.pdf"),
                             QByteArrayLiteral("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")),
        Attachment::fromData(
            QStringLiteral("\u00dcbersicht M\u00e4rz 2024 \u2013 final version for the board.xlsx"),
            everyByteValue()),
        Attachment::fromData(QStringLiteral("empty.bin"), QByteArray(),
                             QStringLiteral("application/x-custom")),
        Attachment::fromData(QStringLiteral("R\u00e9sum\u00e9.pdf"), QByteArrayLiteral("%PDF")),
        Attachment::fromData(QStringLiteral("\u041e\u0442\u0447\u0451\u0442.txt"), QByteArrayLiteral("text")),
        Attachment::fromData(QStringLiteral("forwarded.eml"),
                             QByteArrayLiteral("From: x@example.com\r\n\r\nhi\r\n")),
    };
    return {QStringLiteral("attachments"), message};
}

GoldenMessage inlineImage()
{
    Message message = basic(QStringLiteral("Picture inside"));
    message.plainBody = QStringLiteral("See the picture.\n");
    message.htmlBody =
        QStringLiteral("<p>See the picture:</p><img src=\"cid:image001.png@01DA76C3.6A1B2C30\">\n");
    Attachment image =
        Attachment::fromData(QStringLiteral("image001.png"), samplePng(), QStringLiteral("image/png"));
    image.contentId = QStringLiteral("image001.png@01DA76C3.6A1B2C30");
    image.isInline = true;
    image.created = utc(2024, 3, 14, 8, 0, 0);
    image.modified = utc(2024, 3, 15, 9, 29, 59);
    Attachment unreferenced = Attachment::fromData(QStringLiteral("logo.gif"), QByteArrayLiteral("GIF89a"));
    unreferenced.contentId = QStringLiteral("logo@example");
    message.attachments = {
        image, unreferenced,
        Attachment::fromData(QStringLiteral("notes.txt"), QByteArrayLiteral("line 1\r\nline 2\n"))};
    return {QStringLiteral("inline_image"), message};
}

GoldenMessage nestedMessage()
{
    Message innermost = basic(QStringLiteral("Innermost"));
    innermost.messageId = QStringLiteral("<inner-2@example.com>");
    innermost.plainBody = QStringLiteral("Deepest level.\n");

    Message inner = basic(QStringLiteral("Forwarded original"));
    inner.messageId = QStringLiteral("<inner-1@example.com>");
    inner.plainBody = QStringLiteral("The original message, with its own attachment.\n");
    inner.attachments = {
        Attachment::fromData(QStringLiteral("inner.txt"), QByteArrayLiteral("inner attachment\n")),
        Attachment::fromMessage(QString(), innermost)};

    Message message = basic(QStringLiteral("Fw: Forwarded original"));
    message.plainBody = QStringLiteral("Forwarding the message below.\n");
    message.attachments = {Attachment::fromMessage(QStringLiteral("Forwarded original"), inner)};
    return {QStringLiteral("nested_message"), message};
}

GoldenMessage referenceAttachment()
{
    Message message = basic(QStringLiteral("Links"));
    message.plainBody = QStringLiteral("The files are on the share.\n");
    message.attachments = {
        Attachment::fromReference(QStringLiteral("Q3 plan.docx"),
                                  QStringLiteral("\\\\server\\share\\Q3 plan.docx")),
        Attachment::fromReference(QStringLiteral("budget.xlsx"),
                                  QStringLiteral("C:\\Users\\alice\\budget.xlsx")),
        Attachment::fromReference(QStringLiteral("Shared deck"),
                                  QStringLiteral("https://files.example.com/s/deck?id=42")),
        Attachment::fromReference(QStringLiteral("lost.doc"), QString()),
    };
    return {QStringLiteral("reference_attachment"), message};
}

GoldenMessage sentWithoutAddress()
{
    Message message;
    message.from = Mailbox{QStringLiteral("Alice Example"), QString()};
    message.sender = Mailbox{QStringLiteral("Assistant"), QStringLiteral("assistant@example.com")};
    message.to = {Mailbox{QStringLiteral("Bob Example"), QStringLiteral("bob@example.org")}};
    message.subject = QStringLiteral("Sent from the Sent Items folder");
    message.date = utc(2024, 3, 16, 23, 59, 59);
    message.importance = eml::Importance::Low;
    message.priority = eml::Priority::NonUrgent;
    message.sensitivity = eml::Sensitivity::Confidential;
    message.isUnsent = true;
    return {QStringLiteral("sent_without_address"), message};
}

} // namespace

QByteArray samplePng()
{
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==");
}

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int round = 0; round < 2; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.append(static_cast<char>(value));
    }
    return bytes;
}

QList<GoldenMessage> goldenMessages()
{
    return {plainOnly(),   htmlOnly(),        plainAndHtml(),        rtfEncapsulatedHtml(),
            rtfPlain(),    nonAsciiHeaders(), transportHeaders(),    attachments(),
            inlineImage(), nestedMessage(),   referenceAttachment(), sentWithoutAddress()};
}
