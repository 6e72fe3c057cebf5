#include "PreviewPages.h"

#include "ItemListFill.h"

#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace views {

namespace {

QString textOf(const std::optional<QString>& text)
{
    return text ? PreviewPages::escaped(*text) : QString();
}

// The recipients of one type, each as "Name <address>", separated by "; ".
QString recipientLine(const QList<catalog::MailRecipient>& recipients, int type)
{
    QStringList parts;
    for (const catalog::MailRecipient& recipient : recipients) {
        if (recipient.type != type)
            continue;
        const QString name = recipient.name.trimmed();
        const QString address = recipient.address.trimmed();
        if (address.isEmpty() || name.compare(address, Qt::CaseInsensitive) == 0)
            parts.append(name.isEmpty() ? address : name);
        else if (name.isEmpty())
            parts.append(address);
        else
            parts.append(name + QStringLiteral(" <") + address + QLatin1Char('>'));
    }
    parts.removeAll(QString());
    return PreviewPages::escaped(parts.join(QStringLiteral("; ")));
}

// The frame's source names the body file by its full path. The path is percent-encoded where it
// would otherwise be read as a query, a fragment or an escape, and escaped for the quoted attribute.
QString frameSource(const QString& bodyFilePath)
{
    return PreviewPages::escaped(QUrl::fromLocalFile(bodyFilePath).path(QUrl::FullyEncoded));
}

// Attachment paths are composed under the attachments directory; dropping that folder leaves
// the bare names. Both separators are removed, since the directory is named with the native one
// while engine paths that only name things use a backslash.
QString withoutDirectory(const QString& escapedText, const QString& attachmentsDirectory)
{
    if (attachmentsDirectory.isEmpty())
        return escapedText;
    QString directory = attachmentsDirectory;
    while (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\')))
        directory.chop(1);
    const QString prefix = PreviewPages::escaped(directory);
    QString text = escapedText;
    text.remove(prefix + QLatin1Char('/'));
    text.remove(prefix + QLatin1Char('\\'));
    return text;
}

// Where a by-reference attachment lives: a web address is a link, a path is only named (a mail
// must not make the program open the user's files).
QString referenceTarget(const QString& target)
{
    const QUrl url(target, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return QStringLiteral("<a href=\"%1\">%2</a>")
            .arg(PreviewPages::escaped(url.toString(QUrl::FullyEncoded)), PreviewPages::escaped(target));
    return PreviewPages::escaped(target);
}

// The attachment list as it is listed, each saved attachment's name made a link to its file.
// Links are made only when the saved entries spell out the list exactly; otherwise the list is
// shown as it is.
QString attachmentList(const catalog::MailTexts& texts, const QString& attachmentsDirectory)
{
    QString spelled;
    for (const catalog::MailAttachment& entry : texts.attachmentFiles)
        spelled += entry.listedPath + QStringLiteral(" ;");
    if (spelled != *texts.attachments)
        return withoutDirectory(PreviewPages::escaped(*texts.attachments), attachmentsDirectory);
    QString list;
    for (const catalog::MailAttachment& entry : texts.attachmentFiles) {
        const QString name = withoutDirectory(PreviewPages::escaped(entry.listedPath), attachmentsDirectory);
        if (!entry.filePath.isEmpty())
            list += QStringLiteral("<a href=\"%1\">%2</a>").arg(PreviewPages::fileUrl(entry.filePath), name);
        else if (entry.itemSerial > 0)
            list += QStringLiteral("<a href=\"%1\">%2</a>").arg(PreviewPages::itemUrl(entry.itemSerial), name);
        else
            list += name;
        if (!entry.target.isEmpty())
            list += QStringLiteral(" (%1)").arg(referenceTarget(entry.target));
        list += QStringLiteral(" ;");
    }
    return list;
}

// Lines of "<b>label :</b>value<BR>", every value escaped, then below a rule the item's text with
// its line breaks kept, when it has one.
QString labelledPage(std::initializer_list<std::pair<const char*, QString>> lines, const QString& body)
{
    QString page;
    for (const auto& [label, value] : lines)
        page += QStringLiteral("<b>%1 :</b>").arg(QLatin1String(label)) + PreviewPages::escaped(value) +
                QLatin1String("<BR>");
    if (!body.isEmpty()) {
        QString text = PreviewPages::escaped(body);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\n'), QLatin1String("<BR>"));
        page += QLatin1String("<hr>") + text;
    }
    return page;
}

} // namespace

QString PreviewPages::itemUrl(int serial)
{
    return QStringLiteral("%1:%2").arg(ItemScheme).arg(serial);
}

QString PreviewPages::fileUrl(const QString& path)
{
    return escaped(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

QString PreviewPages::withInlinePictures(const QString& html,
                                         const QList<catalog::MailAttachment>& attachments)
{
    QHash<QString, QString> files;
    for (const catalog::MailAttachment& entry : attachments) {
        if (!entry.contentId.isEmpty() && !entry.filePath.isEmpty())
            files.insert(entry.contentId, entry.filePath);
    }
    if (files.isEmpty())
        return html;
    // A "cid:" address in a quoted attribute value; the id may be percent-encoded there.
    static const QRegularExpression reference(QStringLiteral("([\"'])cid:([^\"'>]+)\\1"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype done = 0;
    QRegularExpressionMatchIterator it = reference.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString id = QUrl::fromPercentEncoding(match.captured(2).toUtf8());
        const auto file = files.constFind(id);
        if (file == files.cend())
            continue;
        result += QStringView(html).mid(done, match.capturedStart(2) - 4 - done);
        result += fileUrl(*file);
        done = match.capturedEnd(2);
    }
    result += QStringView(html).mid(done);
    return result;
}

QString PreviewPages::escaped(const QString& text)
{
    QString result = text.toHtmlEscaped();
    result.replace(QLatin1Char('\''), QLatin1String("&#39;"));
    return result;
}

QString PreviewPages::bodyFileName(int bodyKind)
{
    return bodyKind == 1 ? QStringLiteral("body.html") : QStringLiteral("body.txt");
}

QString PreviewPages::mailPage(const catalog::Mail& mail, const QString& attachmentsDirectory,
                               const QString& bodyFilePath)
{
    const catalog::MailRecord& record = mail.record;
    const catalog::MailTexts& texts = mail.texts;
    QString page;
    page += QLatin1String("<table width=\"100%\" border=\"0\" cellspacing=\"2\" cellpadding=\"2\"><tr><td "
                          "width=\"100\" valign=\"top\">From:</td><td width=\"300\" valign=\"top\">");
    page += textOf(record.from);
    page += QLatin1String("</td><td width=\"100\" valign=\"top\">To:</td><td valign=\"top\">");
    // With the recipients known one by one, To, Cc and Bcc each get their line with the
    // addresses; otherwise the stored recipient line stands after To.
    const bool byType = !texts.recipients.isEmpty();
    page += byType ? recipientLine(texts.recipients, catalog::MailRecipient::To) : textOf(texts.to);
    page += QLatin1String("</td></tr><tr><td width=\"100\" valign=\"top\">Subjects:</td><td width=\"300\" "
                          "valign=\"top\">");
    page += textOf(record.subject);
    page += QLatin1String("</td><td width=\"100\" valign=\"top\">Date:</td><td valign=\"top\">");
    page += textOf(texts.date);
    page += QLatin1String("</td></tr>");
    const std::pair<int, QLatin1String> copies[] = {{catalog::MailRecipient::Cc, QLatin1String("Cc:")},
                                                     {catalog::MailRecipient::Bcc, QLatin1String("Bcc:")}};
    for (const auto& [type, label] : copies) {
        const QString line = byType ? recipientLine(texts.recipients, type) : QString();
        if (line.isEmpty())
            continue;
        page += QLatin1String("<tr><td width=\"100\" valign=\"top\">");
        page += label;
        page += QLatin1String("</td><td colspan=\"3\" valign=\"top\">");
        page += line;
        page += QLatin1String("</td></tr>");
    }

    if (texts.attachments && !texts.attachments->isEmpty()) {
        page += QLatin1String("<tr><td width=\"100\" valign=\"top\">Attachments</td><td  colspan=\"3\" "
                              "valign=\"top\">");
        page += attachmentList(texts, attachmentsDirectory);
        page += QLatin1String("</td></tr>");
    }

    page += QLatin1String("</table><hr>");
    page += QLatin1String("<IFRAME SRC='");
    page += frameSource(bodyFilePath);
    page += QLatin1String("' WIDTH=100% HEIGHT=70% frameborder=0 scrolling=auto >");
    page += QLatin1String("</IFRAME>");
    return page;
}

const QList<PreviewPages::ContactLabel>& PreviewPages::contactLabels()
{
    static const QList<ContactLabel> labels = [] {
        const std::pair<const char*, int> table[] = {
            {"<b>First Name :</b> ", 13},
            {"<b>Last Name :</b> ", 14},
            {"<b>Assistant Name :</b> ", 24},
            {"<b>Assistant Phone :</b> ", 23},
            {"<b>Body :</b> ", 66},
            {"<b>Business Address :</b> ", 52},
            {"<b>Business City :</b> ", 47},
            {"<b>Business Country :</b> ", 48},
            {"<b>Business Fax :</b> ", 17},
            {"<b>Business HomePage :</b> ", 34},
            {"<b>Business Phone :</b> ", 16},
            {"<b>Business Phone 2 :</b> ", 60},
            {"<b>Business Postal Code :</b> ", 51},
            {"<b>Business State :</b> ", 49},
            {"<b>Business Street :</b> ", 50},
            {"<b>Car Phone :</b> ", 53},
            {"<b>Company Main Phone :</b> ", 27},
            {"<b>Company Name :</b> ", 1},
            {"<b>Customer Id :</b> ", 7},
            {"<b>Postal Address :</b> ", 4},
            {"<b>Department :</b> ", 54},
            {"<b>Display Name Prefix :</b> ", 65},
            {"<b>Free Busy Address :</b> ", 64},
            {"<b>Fullname :</b> ", 6},
            {"<b>Gov Id :</b> ", 62},
            {"<b>Hobbies :</b> ", 9},
            {"<b>Home Address :</b> ", 10},
            {"<b>Home City :</b> ", 28},
            {"<b>Home Country :</b> ", 35},
            {"<b>Home Fax :</b> ", 18},
            {"<b>Home Phone :</b> ", 15},
            {"<b>Home Phone2 :</b> ", 56},
            {"<b>Home State :</b> ", 37},
            {"<b>Home Street :</b> ", 38},
            {"<b>isdn phone :</b> ", 22},
            {"<b>Language :</b> ", 19},
            {"<b>Manager Name :</b> ", 31},
            {"<b>Mileage :</b> ", 57},
            {"<b>Mobile Phone :</b> ", 8},
            {"<b>Nickname:</b> ", 32},
            {"<b>Office Location :</b> ", 20},
            {"<b>Other City :</b> ", 39},
            {"<b>Other Country :</b> ", 40},
            {"<b>Other State :</b> ", 41},
            {"<b>Other Street :</b> ", 42},
            {"<b>Personal Homepage:</b> ", 33},
            {"<b>Profession :</b> ", 25},
            {"<b>Radio Phone :</b> ", 59},
            {"<b>Spouse Name :</b> ", 26},
            {"<b>Suffix :</b> ", 2},
            {"<b>Surname :</b> ", 12},
            {"<b>Telex :</b> ", 58},
            {"<b>ttytdd Phone :</b> ", 61},
        };
        QList<ContactLabel> list;
        for (const auto& [label, slot] : table)
            list.append(ContactLabel{QString::fromLatin1(label), slot});
        return list;
    }();
    return labels;
}

QString PreviewPages::contactPage(const catalog::ContactRecord& record)
{
    QString page;
    for (const ContactLabel& line : contactLabels()) {
        // An absent slot contributes nothing, not even its label.
        if (const auto text = record.slot(line.slot)) {
            page += line.label;
            page += escaped(*text);
            page += QLatin1String("<br>");
        }
    }
    return page;
}

QString PreviewPages::appointmentPage(const catalog::AppointmentRecord& record)
{
    QString page;
    page += QLatin1String("<b>Start :</b>") + textOf(record.start) + QLatin1String("<BR>");
    page += QLatin1String("<b>End :</b>") + textOf(record.end) + QLatin1String("<BR>");
    page += QLatin1String("<b>Location :</b>") + textOf(record.location) + QLatin1String("<BR>");
    return page;
}

QString PreviewPages::taskPage(const catalog::TaskRecord& record, const QString& body)
{
    return labelledPage({{"Subject", record.subject.value_or(QString())},
                         {"Due Date", ItemListFill::dateText(record.dueDate)},
                         {"Status", ItemListFill::taskStatusText(record.status)},
                         {"% Complete", ItemListFill::percentText(record.percentComplete)},
                         {"Priority", ItemListFill::importanceText(record.importance)}},
                        body);
}

QString PreviewPages::notePage(const catalog::NoteRecord& record, const QString& body)
{
    return labelledPage({{"Subject", record.subject.value_or(QString())},
                         {"Color", ItemListFill::noteColorText(record.color)},
                         {"Last Modified", ItemListFill::dateText(record.modificationTime)}},
                        body);
}

QString PreviewPages::journalPage(const catalog::JournalRecord& record, const QString& body)
{
    return labelledPage({{"Subject", record.subject.value_or(QString())},
                         {"Entry Type", record.entryType.value_or(QString())},
                         {"Start", ItemListFill::dateText(record.start)}},
                        body);
}

} // namespace views
