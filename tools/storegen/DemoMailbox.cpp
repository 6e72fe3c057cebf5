#include "DemoMailbox.h"

#include "Bytes.h"
#include "MessageBuilder.h"
#include "RecurrenceBlob.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <tuple>
#include <vector>
#include <zlib.h>

namespace storegen {

namespace {

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

struct Day
{
    int year;
    int month;
    int day;
};

// A changed instance of a series: the day it was on, the day and minute it starts now, its
// subject and location.
struct ChangedInstance
{
    Day original;
    Day moved;
    int startMinute;
    QString subject;
    QString location;
};

// The recurrence blob of a weekly series (the weekdays as bits from Sunday, every `weeks`
// weeks) from its first day until the end of 2025, each meeting `minutes` long from `startMinute`.
QByteArray weeklySeries(std::uint32_t weekdays, std::uint32_t weeks, int year, int month, int day, int startMinute,
                        int minutes, const std::vector<Day>& deleted, const std::vector<ChangedInstance>& changed)
{
    RecurrenceBlob b;
    b.u16(0x3004).u16(0x3004).u16(0x200B).u16(0x0001).u16(0).u32(0).u32(weeks).u32(0);
    b.u32(weekdays).u32(0x2021).u32(0).u32(1); // ends on a date; weeks start on Monday
    // Deleted and changed instances are both missing from the pattern's days; the changed ones'
    // new days are listed apart.
    std::vector<Day> removed = deleted;
    for (const ChangedInstance& c : changed)
        removed.push_back(c.original);
    std::sort(removed.begin(), removed.end(), [](const Day& x, const Day& y) {
        return std::tie(x.year, x.month, x.day) < std::tie(y.year, y.month, y.day);
    });
    b.u32(static_cast<std::uint32_t>(removed.size()));
    for (const Day& d : removed)
        b.date(d.year, d.month, d.day);
    b.u32(static_cast<std::uint32_t>(changed.size()));
    for (const ChangedInstance& c : changed)
        b.date(c.moved.year, c.moved.month, c.moved.day);
    b.date(year, month, day).date(2025, 12, 31);
    b.u32(0x3006).u32(0x3009).u32(static_cast<std::uint32_t>(startMinute))
        .u32(static_cast<std::uint32_t>(startMinute + minutes)).u16(static_cast<std::uint16_t>(changed.size()));
    for (const ChangedInstance& c : changed) {
        b.date(c.moved.year, c.moved.month, c.moved.day, c.startMinute)
            .date(c.moved.year, c.moved.month, c.moved.day, c.startMinute + minutes)
            .date(c.original.year, c.original.month, c.original.day)
            .u16(0x0011) // subject and location changed
            .narrowText(c.subject.toLatin1())
            .narrowText(c.location.toLatin1());
    }
    b.u32(0);
    for (const ChangedInstance& c : changed) {
        b.u32(4).u32(0).u32(0);
        b.date(c.moved.year, c.moved.month, c.moved.day, c.startMinute)
            .date(c.moved.year, c.moved.month, c.moved.day, c.startMinute + minutes)
            .date(c.original.year, c.original.month, c.original.day);
        b.wideText(c.subject).wideText(c.location).u32(0);
    }
    return b.u32(0).data();
}

std::uint64_t at(int year, int month, int day, int hour, int minute)
{
    return MessageBuilder::fileTime(
        QDateTime(QDate(year, month, day), QTime(hour, minute), QTimeZone::utc()));
}

// A 24x24 PNG with a blue gradient: small, valid, and visible in the preview.
QByteArray demoPng()
{
    const int size = 24;
    QByteArray raw;
    for (int y = 0; y < size; ++y) {
        raw.append('\0');
        for (int x = 0; x < size; ++x) {
            raw.append(static_cast<char>(20 + x * 4));
            raw.append(static_cast<char>(80 + y * 5));
            raw.append(static_cast<char>(200));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(raw.constData()), static_cast<uLong>(raw.size()));
    packed.truncate(static_cast<qsizetype>(packedSize));

    auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray out;
        const auto length = static_cast<std::uint32_t>(data.size());
        out.append(static_cast<char>(length >> 24)).append(static_cast<char>(length >> 16));
        out.append(static_cast<char>(length >> 8)).append(static_cast<char>(length));
        QByteArray body = QByteArray(type, 4) + data;
        out.append(body);
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(body.constData()), static_cast<uInt>(body.size())));
        out.append(static_cast<char>(crc >> 24)).append(static_cast<char>(crc >> 16));
        out.append(static_cast<char>(crc >> 8)).append(static_cast<char>(crc));
        return out;
    };
    QByteArray header;
    for (std::uint32_t v : {std::uint32_t(size), std::uint32_t(size)}) {
        header.append(static_cast<char>(v >> 24)).append(static_cast<char>(v >> 16));
        header.append(static_cast<char>(v >> 8)).append(static_cast<char>(v));
    }
    header.append('\x08').append('\x02').append('\0').append('\0').append('\0');
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", packed) +
           chunk("IEND", QByteArray());
}

QByteArray demoPdf(const QString& title)
{
    const QByteArray t = title.toLatin1();
    return "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
           "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
           "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
           "/Resources << /Font << /F1 5 0 R >> >> >> endobj\n"
           "4 0 obj << /Length 60 >> stream\nBT /F1 18 Tf 72 760 Td (" +
           t +
           ") Tj ET\nendstream endobj\n5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> "
           "endobj\n"
           "trailer << /Root 1 0 R >>\n%%EOF\n";
}

QByteArray html(const QString& body)
{
    return (QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body style=\"font-family:Segoe "
                           "UI,sans-serif\">") +
            body + QStringLiteral("</body></html>"))
        .toUtf8();
}

// One character of RTF text: line ends as paragraphs, the RTF specials escaped, the rest of
// Unicode as \uN escapes.
void appendRtfText(QByteArray& out, QChar c)
{
    if (c == QLatin1Char('\n'))
        out += "\\par\r\n";
    else if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
        out += '\\' + QByteArray(1, static_cast<char>(c.unicode()));
    else if (c.unicode() < 0x80)
        out += static_cast<char>(c.unicode());
    else
        out += "\\u" + QByteArray::number(static_cast<qint16>(c.unicode())) + '?';
}

QByteArray rtf(const QString& body)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss "
                     "Arial;}}{\\colortbl;\\red0\\green0\\blue128;}\\f0\\fs20 ";
    for (QChar c : body)
        appendRtfText(out, c);
    return out + "}";
}

// RTF that encapsulates an HTML body (\fromhtml1), as Outlook keeps a mail that has no other
// body: the tags in \htmltag groups, the text between them as RTF text.
QByteArray rtfHoldingHtml(const QString& htmlText)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n";
    qsizetype i = 0;
    while (i < htmlText.size()) {
        if (htmlText[i] == QLatin1Char('<')) {
            const qsizetype end = htmlText.indexOf(QLatin1Char('>'), i);
            const qsizetype stop = end < 0 ? htmlText.size() : end + 1;
            out += "{\\*\\htmltag0 " + htmlText.mid(i, stop - i).toLatin1() + "}";
            i = stop;
            continue;
        }
        appendRtfText(out, htmlText[i++]);
    }
    return out + "}";
}

struct Contact
{
    const char* first;
    const char* last;
    const char* company;
    const char* title;
    const char* email;
    const char* phone;
};

} // namespace

void DemoMailbox::write(StoreWriter& writer)
{
    writer.setDisplayName(QStringLiteral("Demo Mailbox"));
    const std::uint32_t top = writer.addFolder(StoreWriter::kRootFolder, text("Top of Personal Folders"),
                                               text(""), FolderRole::IpmSubtree);
    const std::uint32_t inbox = writer.addFolder(top, text("Inbox"), text("IPF.Note"), FolderRole::Inbox);
    const std::uint32_t projects = writer.addFolder(inbox, text("Projects"), text("IPF.Note"));
    const std::uint32_t apollo = writer.addFolder(projects, text("Apollo Launch"), text("IPF.Note"));
    const std::uint32_t invoices = writer.addFolder(inbox, text("Invoices"), text("IPF.Note"));
    const std::uint32_t sent = writer.addFolder(top, text("Sent Items"), text("IPF.Note"), FolderRole::SentItems);
    const std::uint32_t drafts = writer.addFolder(top, text("Drafts"), text("IPF.Note"), FolderRole::Drafts);
    const std::uint32_t deleted =
        writer.addFolder(top, text("Deleted Items"), text("IPF.Note"), FolderRole::DeletedItems);
    const std::uint32_t junk = writer.addFolder(top, text("Junk E-mail"), text("IPF.Note"), FolderRole::JunkEmail);
    writer.addFolder(top, text("Outbox"), text("IPF.Note"));
    const std::uint32_t sync = writer.addFolder(top, text("Sync Issues"), text("IPF.Note"));
    const std::uint32_t calendar = writer.addFolder(top, text("Calendar"), text("IPF.Appointment"));
    const std::uint32_t contacts = writer.addFolder(top, text("Contacts"), text("IPF.Contact"));
    const std::uint32_t tasks = writer.addFolder(top, text("Tasks"), text("IPF.Task"));
    const std::uint32_t notes = writer.addFolder(top, text("Notes"), text("IPF.StickyNote"));
    const std::uint32_t journal = writer.addFolder(top, text("Journal"), text("IPF.Journal"));

    const QString me = QStringLiteral("Alex Morgan");
    const QString myMail = QStringLiteral("alex.morgan@tarvolin.example");

    struct Mail
    {
        std::uint32_t folder;
        const char* subject;
        const char* fromName;
        const char* fromMail;
        const char* body;
        int kind; // 0 plain, 1 html + plain, 2 rtf only, 3 rtf holding html only
        std::uint32_t importance;
        std::int32_t priority;
        bool read;
    };
    const Mail mails[] = {
        {inbox, "Welcome to the team!", "Dana Whitfield", "dana.whitfield@tarvolin.example",
         "Hi Alex,\nwelcome aboard. Your first week schedule is below.\nMonday: onboarding\nTuesday: "
         "security training\nCheers,\nDana",
         1, 1, 0, true},
        {inbox, "Quarterly figures Q3", "Priya Raman", "priya.raman@tarvolin.example",
         "Alex,\nplease find the Q3 figures attached. Revenue is up 12 %.\nPriya", 1, 2, 1, false},
        {inbox, "Grüße aus München – Messebericht", "Jürgen Weiß", "juergen.weiss@partner.example",
         "Hallo Alex,\nanbei mein Bericht von der Messe. Die Stände waren gut besucht, "
         "das Interesse an unserem Produkt ist groß.\nViele Grüße\nJürgen",
         0, 1, 0, true},
        {inbox, "会議の議事録（10月12日）", "山田 太郎", "taro.yamada@partner.example",
         "モーガン様\n先日の会議の議事録をお送りします。\nよろしくお願いいたします。\n山田", 1, 1, 0, false},
        {inbox, "Отчёт о поставках за сентябрь", "Ольга Смирнова", "olga.smirnova@supplier.example",
         "Добрый день, Алекс!\nНаправляю отчёт о поставках за сентябрь.\nС уважением,\nОльга", 0, 1, 0, true},
        {inbox, "Server maintenance tonight", "IT Operations", "it-ops@tarvolin.example",
         "Dear colleagues,\nthe mail servers will be down tonight from 22:00 to 23:30 UTC.\nIT Operations", 2,
         2, 1, true},
        {inbox, "Lunch on Friday?", "Sam Ortega", "sam.ortega@tarvolin.example",
         "Hey Alex, lunch on Friday at the Italian place? Sam", 0, 0, -1, true},
        {inbox, "Your password expires in 5 days", "Helpdesk", "helpdesk@tarvolin.example",
         "Your password expires in 5 days. Change it from the self-service portal.", 2, 1, 0, false},
        {inbox, "Photos from the offsite", "Lena Fischer", "lena.fischer@tarvolin.example",
         "Hi all,\nhere is my favourite photo from the offsite.\nLena", 1, 1, 0, false},
        {inbox, "FW: Conference schedule", "Dana Whitfield", "dana.whitfield@tarvolin.example",
         "FYI - the conference mail is attached.\nDana", 1, 1, 0, true},
        {inbox, "Shared drive link for the handbook", "Priya Raman", "priya.raman@tarvolin.example",
         "The handbook lives on the shared drive; see the attached link.", 0, 1, 0, true},
        {projects, "Project kickoff: agenda", "Marcus Lee", "marcus.lee@tarvolin.example",
         "Agenda:\n1. Scope\n2. Timeline\n3. Risks\nMarcus", 1, 2, 1, true},
        {projects, "RE: Project kickoff: agenda", "Priya Raman", "priya.raman@tarvolin.example",
         "Looks good. I'll cover the risks section.\nPriya", 0, 1, 0, true},
        {apollo, "Apollo launch checklist", "Marcus Lee", "marcus.lee@tarvolin.example",
         "Checklist for the Apollo launch:\n- press release\n- landing page\n- support rota", 1, 2, 1, false},
        {apollo, "Apollo: go/no-go meeting moved", "Marcus Lee", "marcus.lee@tarvolin.example",
         "The go/no-go meeting moved to Thursday 15:00.", 2, 2, 1, false},
        {apollo, "Apollo press release draft v3", "Lena Fischer", "lena.fischer@tarvolin.example",
         "Draft v3 attached; comments by tomorrow please.", 1, 1, 0, true},
        {invoices, "Invoice INV-2024-0912", "Billing", "billing@supplier.example",
         "Dear customer,\nplease find invoice INV-2024-0912 attached.\nAmount due: EUR 1,240.00", 1, 1, 0,
         true},
        {invoices, "Invoice INV-2024-1013", "Billing", "billing@supplier.example",
         "Dear customer,\nplease find invoice INV-2024-1013 attached.\nAmount due: EUR 980.50", 1, 1, 0,
         false},
        {invoices, "Payment reminder", "Billing", "billing@supplier.example",
         "This is a friendly reminder that invoice INV-2024-0912 is due.", 3, 2, 1, false},
        {sent, "RE: Welcome to the team!", "Alex Morgan", "alex.morgan@tarvolin.example",
         "Thanks Dana, looking forward to it!\nAlex", 0, 1, 0, true},
        {sent, "Weekly status", "Alex Morgan", "alex.morgan@tarvolin.example",
         "Done: onboarding, access requests.\nNext: Apollo checklist.\nBlocked: none.", 1, 1, 0, true},
        {sent, "Re: Grüße aus München", "Alex Morgan", "alex.morgan@tarvolin.example",
         "Danke, Jürgen! Sehr hilfreich.", 0, 1, 0, true},
        {drafts, "Draft: budget proposal", "Alex Morgan", "alex.morgan@tarvolin.example",
         "Budget proposal (unfinished)\n- tooling\n- travel", 1, 1, 0, true},
        {deleted, "Newsletter: October edition", "Newsletter", "news@vendor.example",
         "This month: new features, tips and events.", 1, 0, -1, true},
        {deleted, "Old meeting invitation", "Sam Ortega", "sam.ortega@tarvolin.example", "Cancelled.", 0, 1,
         0, true},
        {junk, "You have won a prize!!!", "Prize Center", "winner@spam.example",
         "Click here to claim your prize.", 1, 0, -1, false},
        {junk, "Cheap watches", "Deals", "deals@spam.example", "Best deals on watches.", 0, 0, -1, false},
        {sync, "Synchronization log", "Outlook Sync", "sync@tarvolin.example",
         "11:02:13 Synchronizing mailbox 'Alex Morgan'\n11:02:14 Done.", 0, 1, 0, true},
    };

    const QByteArray png = demoPng();
    std::uint64_t minute = 0;
    int serial = 0;
    for (const Mail& m : mails) {
        ++serial;
        const std::uint64_t sentAt = at(2024, 10, 1, 8, 0) + (minute += 97) * 600000000ull;
        MessageBuilder b;
        const QString subject = text(m.subject);
        const QString body = text(m.body);
        b.subject(subject)
            .sender(text(m.fromName), text(m.fromMail))
            .times(sentAt, sentAt + 1200000000ull)
            .flags(m.read ? 1u : 0u)
            .importance(m.importance)
            .priority(m.priority)
            .sensitivity(serial % 9 == 0 ? 2 : 0)
            .messageId(QStringLiteral("<demo-%1@tarvolin.example>").arg(serial));
        // An ANSI store's messages name its code page, which the writer sets.
        if (writer.options().format != FileFormat::Ansi)
            b.codePage(65001);
        if (m.folder == sent || m.folder == drafts) {
            b.to(QStringLiteral("Dana Whitfield"), QStringLiteral("dana.whitfield@tarvolin.example"));
            b.cc(QStringLiteral("Priya Raman"), QStringLiteral("priya.raman@tarvolin.example"));
        } else {
            b.to(me, myMail);
            if (serial % 3 == 0)
                b.cc(QStringLiteral("Sam Ortega"), QStringLiteral("sam.ortega@tarvolin.example"));
            if (serial % 5 == 0)
                b.bcc(QStringLiteral("Records"), QStringLiteral("records@tarvolin.example"));
        }
        if (subject.startsWith(QStringLiteral("RE:")) || subject.startsWith(QStringLiteral("Re:"))) {
            b.inReplyTo(QStringLiteral("<demo-%1@tarvolin.example>").arg(serial - 1));
            b.references(QStringLiteral("<demo-%1@tarvolin.example>").arg(serial - 1));
        }
        if (m.folder == inbox || m.folder == junk) {
            b.transportHeaders(
                QStringLiteral("Received: from mx1.tarvolin.example ([192.0.2.10]) by mail.tarvolin.example "
                               "with ESMTPS; Tue, 1 Oct 2024 08:00:00 +0000\r\n"
                               "From: %1 <%2>\r\nTo: %3 <%4>\r\nSubject: %5\r\n"
                               "Message-ID: <demo-%6@tarvolin.example>\r\nMIME-Version: 1.0\r\n"
                               "Content-Type: text/plain; charset=utf-8\r\n\r\n")
                    .arg(text(m.fromName), text(m.fromMail), me, myMail, subject)
                    .arg(serial));
        }
        QString escaped = body.toHtmlEscaped();
        escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>\n"));
        if (m.kind == 0) {
            b.plainBody(body);
        } else if (m.kind == 1) {
            b.plainBody(body);
            QString extra;
            if (subject.startsWith(QStringLiteral("Photos")))
                extra = QStringLiteral(
                    "<p><img src=\"cid:offsite-photo@tarvolin.example\" alt=\"Offsite\" width=\"240\"></p>");
            b.htmlBody(html(QStringLiteral("<p>") + escaped + QStringLiteral("</p>") + extra));
        } else if (m.kind == 2) {
            b.rtfBody(rtf(body));
        } else {
            b.rtfBody(rtfHoldingHtml(
                QStringLiteral("<html><body style=\"font-family:Segoe UI,sans-serif\"><p>") + escaped +
                QStringLiteral("</p><p><b>Amount due: EUR 1,240.00</b></p></body></html>")));
        }

        if (subject.startsWith(QStringLiteral("Quarterly")))
            b.attach(QStringLiteral("Q3-figures.pdf"), QStringLiteral("application/pdf"),
                     demoPdf(QStringLiteral("Q3 figures")));
        if (subject.startsWith(QStringLiteral("Invoice")))
            b.attach(subject.mid(8) + QStringLiteral(".pdf"), QStringLiteral("application/pdf"),
                     demoPdf(subject));
        if (subject.startsWith(QStringLiteral("Apollo press")))
            b.attach(
                QStringLiteral("Apollo-press-release-v3.docx"),
                QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
                QByteArray("PK\x03\x04", 4) + QByteArray(3000, 'd'));
        if (subject.startsWith(QStringLiteral("Photos")))
            b.attach(QStringLiteral("offsite.png"), QStringLiteral("image/png"), png,
                     QStringLiteral("offsite-photo@tarvolin.example"));
        if (subject.startsWith(QStringLiteral("Grüße")))
            b.attach(QStringLiteral("Messebericht_Übersicht.txt"), QStringLiteral("text/plain"),
                     text("Messebericht\nBesucher: 1.250\nGespräche: 84\n").toUtf8());
        if (subject.startsWith(QStringLiteral("Shared drive")))
            b.attachReference(QStringLiteral("Handbook.docx"),
                              QStringLiteral("\\\\fileserver\\shared\\Handbook.docx"));
        if (subject.startsWith(QStringLiteral("FW: Conference"))) {
            const Message inner =
                MessageBuilder()
                    .subject(QStringLiteral("Conference schedule"))
                    .sender(QStringLiteral("Events Team"), QStringLiteral("events@conference.example"))
                    .to(QStringLiteral("Dana Whitfield"), QStringLiteral("dana.whitfield@tarvolin.example"))
                    .times(sentAt - 86400ull * 10000000, sentAt - 86000ull * 10000000)
                    .flags(1)
                    // Only an RTF body, as attached mails often have.
                    .rtfBody(rtfHoldingHtml(
                        QStringLiteral("<html><body><h2>Conference schedule</h2><ul><li>Day 1: "
                                       "keynotes</li><li>Day 2: workshops</li><li>Day 3: "
                                       "expo</li></ul></body></html>")))
                    .attach(QStringLiteral("schedule.pdf"), QStringLiteral("application/pdf"),
                            demoPdf(QStringLiteral("Conference schedule")))
                    .build();
            b.attachMessage(inner, QStringLiteral("Conference schedule"));
        }
        writer.addMessage(m.folder, b.build());
    }

    const Contact people[] = {
        {"Dana", "Whitfield", "Tarvolin Ltd", "Head of People", "dana.whitfield@tarvolin.example",
         "+44 20 7946 0101"},
        {"Priya", "Raman", "Tarvolin Ltd", "Finance Manager", "priya.raman@tarvolin.example",
         "+44 20 7946 0102"},
        {"Jürgen", "Weiß", "Partner GmbH", "Vertriebsleiter", "juergen.weiss@partner.example",
         "+49 89 1234 5678"},
        {"太郎", "山田", "パートナー株式会社", "部長", "taro.yamada@partner.example", "+81 3 1234 5678"},
        {"Ольга", "Смирнова", "Поставщик ООО", "Менеджер", "olga.smirnova@supplier.example",
         "+7 495 123 45 67"},
        {"Marcus", "Lee", "Tarvolin Ltd", "Project Lead", "marcus.lee@tarvolin.example", "+44 20 7946 0103"},
    };
    const QUuid address = propertyset::address();
    for (const Contact& c : people) {
        const QString first = text(c.first);
        const QString last = text(c.last);
        const QString email = text(c.email);
        writer.addMessage(
            contacts,
            MessageBuilder(QStringLiteral("IPM.Contact"))
                .contact(first, last, email)
                .property(Property::text(0x3A16, text(c.company)))
                .property(Property::text(0x3A17, text(c.title)))
                .property(Property::text(0x3A18, QStringLiteral("Operations")))
                .property(Property::text(0x3A08, text(c.phone)))
                .property(Property::text(
                    0x3A1C,
                    QStringLiteral("+44 7700 900%1").arg(first.size() * 37 % 1000, 3, 10, QLatin1Char('0'))))
                .property(Property::text(0x3A09, QStringLiteral("+44 20 7946 0999")))
                .property(Property::text(0x3A29, QStringLiteral("1 Example Street")))
                .property(Property::text(0x3A27, QStringLiteral("London")))
                .property(Property::text(0x3A2A, QStringLiteral("EC1A 1AA")))
                .property(Property::text(0x3A26, QStringLiteral("United Kingdom")))
                .property(Property::fileTime(0x3A42, at(1985, 4, 12, 0, 0)))
                .property(Property::namedAs(address, 0x802B,
                                            Property::text(0, QStringLiteral("https://tarvolin.example"))))
                .plainBody(QStringLiteral("Met at the 2024 partner summit."))
                .categories({QStringLiteral("Partners"), QStringLiteral("Summit 2024")})
                .flags(1)
                .build());
    }

    struct Meeting
    {
        const char* subject;
        const char* location;
        std::uint64_t start;
        int minutes;
        const char* recurrence;
    };
    const std::uint64_t standUpStart = at(2024, 10, 7, 9, 0);
    const Meeting meetings[] = {
        {"Team stand-up", "Room 2.14", standUpStart, 15, "every weekday from 09:00 to 09:15"},
        {"Apollo go/no-go", "Board room", at(2024, 10, 10, 15, 0), 60, nullptr},
        {"1:1 with Dana", "Dana's office", at(2024, 10, 8, 11, 0), 30,
         "every 2 weeks on Tuesday from 11:00 to 11:30"},
        {"Partner call – München", "Online (Teams)", at(2024, 10, 9, 14, 0), 45, nullptr},
        {"Quarterly business review", "Конференц-зал 3", at(2024, 10, 15, 10, 0), 120, nullptr},
    };
    for (const Meeting& m : meetings) {
        MessageBuilder b(QStringLiteral("IPM.Appointment"));
        b.subject(text(m.subject))
            .sender(me, myMail)
            .appointment(m.start, m.start + std::uint64_t(m.minutes) * 600000000ull, text(m.location))
            .plainBody(QStringLiteral("Agenda to follow."))
            .categories({QStringLiteral("Work")})
            .flags(1);
        if (m.recurrence)
            b.recurrence(text(m.recurrence), m.start, at(2025, 12, 31, 0, 0));
        if (m.start == standUpStart) {
            // 14 October is cancelled; 16 October's meeting moved to 10:00 in another room.
            const std::uint64_t movedStart = at(2024, 10, 16, 10, 0);
            const std::uint64_t movedEnd = movedStart + 15 * 600000000ull;
            b.recurrenceBlob(weeklySeries(0b0111110, 1, 2024, 10, 7, 9 * 60, 15,
                                          {{2024, 10, 14}}, {{{2024, 10, 16}, {2024, 10, 16}, 10 * 60,
                                                              QStringLiteral("Team stand-up (moved)"),
                                                              QStringLiteral("Room 3.01")}}));
            b.attachException(MessageBuilder(QStringLiteral("IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}"))
                                  .subject(QStringLiteral("Team stand-up (moved)"))
                                  .appointment(movedStart, movedEnd, QStringLiteral("Room 3.01"))
                                  .property(Property::namedAs(propertyset::appointment(), 0x8228,
                                                              Property::fileTime(0, at(2024, 10, 16, 9, 0))))
                                  .plainBody(QStringLiteral("Moved for the all-hands at 09:00."))
                                  .build(),
                              movedStart, movedEnd);
        } else if (m.recurrence) {
            b.recurrenceBlob(weeklySeries(0b0000100, 2, 2024, 10, 8, 11 * 60, 30, {}, {}));
        }
        writer.addMessage(calendar, b.build());
    }

    const QUuid taskSet = propertyset::task();
    struct Task
    {
        const char* subject;
        std::uint32_t status; // PidLidTaskStatus
        double percentComplete;
        std::uint32_t importance;
    };
    const Task taskList[] = {
        {"Submit expense report", 2, 1.0, 2},
        {"Review Apollo checklist", 1, 0.5, 1},
        {"Book travel to München", 0, 0.0, 0},
    };
    int day = 10;
    for (const Task& t : taskList) {
        writer.addMessage(
            tasks,
            MessageBuilder(QStringLiteral("IPM.Task"))
                .subject(text(t.subject))
                .property(
                    Property::namedAs(taskSet, 0x8105, Property::fileTime(0, at(2024, 10, day++, 17, 0))))
                .property(Property::namedAs(taskSet, 0x8101, Property::integer32(0, t.status)))
                .property(Property::namedAs(taskSet, 0x8102, Property::floating64(0, t.percentComplete)))
                .importance(t.importance)
                .plainBody(QStringLiteral("Due by the end of the day."))
                .categories({QStringLiteral("Work")})
                .flags(1)
                .build());
    }
    writer.addMessage(notes,
                      MessageBuilder(QStringLiteral("IPM.StickyNote"))
                          .subject(QStringLiteral("Wi-Fi password for the offsite"))
                          .plainBody(QStringLiteral("Wi-Fi password for the offsite: see the welcome pack"))
                          .property(Property::namedAs(propertyset::note(), 0x8B00, Property::integer32(0, 3)))
                          .property(Property::fileTime(0x3008, at(2024, 10, 4, 16, 20)))
                          .flags(1)
                          .build());

    // A phone call as a journal entry records it: its type in words, when it began and ended,
    // and how long it took in minutes.
    const QUuid logSet = propertyset::log();
    const std::uint64_t callStart = at(2024, 10, 8, 15, 30);
    const std::uint64_t callEnd = callStart + 25ull * 600000000ull;
    writer.addMessage(
        journal,
        MessageBuilder(QStringLiteral("IPM.Activity"))
            .subject(QStringLiteral("Call with Dana about the Apollo budget"))
            .plainBody(QStringLiteral("Budget approved.\nDana sends the revised figures on Friday."))
            .property(Property::namedAs(logSet, 0x8700, Property::text(0, QStringLiteral("Phone call"))))
            .property(Property::namedAs(logSet, 0x8712, Property::text(0, QStringLiteral("Phone call"))))
            .property(Property::namedAs(logSet, 0x8706, Property::fileTime(0, callStart)))
            .property(Property::namedAs(logSet, 0x8708, Property::fileTime(0, callEnd)))
            .property(Property::namedAs(logSet, 0x8707, Property::integer32(0, 25)))
            .property(Property::namedAs(propertyset::common(), 0x8516, Property::fileTime(0, callStart)))
            .property(Property::namedAs(propertyset::common(), 0x8517, Property::fileTime(0, callEnd)))
            .sender(me, myMail)
            .flags(1)
            .build());

    // Deleted for good (emptied from Deleted Items) but still in the file, as Outlook leaves it:
    // what the recovery finds.
    Message gone = MessageBuilder(QStringLiteral("IPM.Note"))
                       .subject(QStringLiteral("Contract draft v2"))
                       .sender(QStringLiteral("Priya Raman"), QStringLiteral("priya.raman@tarvolin.example"))
                       .to(me, myMail)
                       .times(at(2024, 10, 3, 9, 15), at(2024, 10, 3, 9, 16))
                       .plainBody(QStringLiteral("Alex, the second draft of the contract is attached.\nPriya"))
                       .attach(QStringLiteral("contract-draft-v2.pdf"), QStringLiteral("application/pdf"),
                               demoPdf(QStringLiteral("Contract draft v2")))
                       .flags(1)
                       .build();
    gone.deleted = true;
    writer.addMessage(deleted, gone);
}

} // namespace storegen
