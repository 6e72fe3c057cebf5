#include "PreviewPages.h"

#include <QUrl>

namespace views {

namespace {

QString textOf(const std::optional<QString>& text)
{
    return text ? PreviewPages::escaped(*text) : QString();
}

// The frame's source names the body file by its full path. The path is percent-encoded where it
// would otherwise be read as a query, a fragment or an escape, and escaped for the quoted attribute.
QString frameSource(const QString& bodyFilePath)
{
    return PreviewPages::escaped(QUrl::fromLocalFile(bodyFilePath).path(QUrl::FullyEncoded));
}

} // namespace

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

QString PreviewPages::mailPage(const catalog::MailRecord& record, const QString& attachmentsDirectory,
                               const QString& bodyFilePath)
{
    QString page;
    page += QLatin1String("<table width=\"100%\" border=\"0\" cellspacing=\"2\" cellpadding=\"2\"><tr><td "
                          "width=\"100\" valign=\"top\">From:</td><td width=\"300\" valign=\"top\">");
    page += textOf(record.from);
    page += QLatin1String("</td><td width=\"100\" valign=\"top\">To:</td><td valign=\"top\">");
    page += textOf(record.to);
    page += QLatin1String("</td></tr><tr><td width=\"100\" valign=\"top\">Subjects:</td><td width=\"300\" "
                          "valign=\"top\">");
    page += textOf(record.subject);
    page += QLatin1String("</td><td width=\"100\" valign=\"top\">Date:</td><td valign=\"top\">");
    page += textOf(record.date);
    page += QLatin1String("</td></tr>");

    if (record.attachments && !record.attachments->isEmpty()) {
        page += QLatin1String("<tr><td width=\"100\" valign=\"top\">Attachments</td><td  colspan=\"3\" "
                              "valign=\"top\">");
        page += escaped(*record.attachments);
        page += QLatin1String("</td></tr>");
        // Attachment paths are composed under the attachments directory; dropping that folder
        // leaves the bare names. Both separators are removed, since the directory is named with
        // the native one while engine paths that only name things use a backslash.
        if (!attachmentsDirectory.isEmpty()) {
            QString directory = attachmentsDirectory;
            while (directory.endsWith(QLatin1Char('/')) || directory.endsWith(QLatin1Char('\\')))
                directory.chop(1);
            const QString prefix = escaped(directory);
            page.remove(prefix + QLatin1Char('/'));
            page.remove(prefix + QLatin1Char('\\'));
        }
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

} // namespace views
