#include "StatusPage.h"

#include "PageFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace views {

QString StatusPage::loadingFragment()
{
    return QStringLiteral(
        "<div align=\"center\"><p><img src=\"loading.gif\" width=\"100\" height=\"100\" /></p>"
        "<h1 >Recovery Started! Please wait for completion...</h1></div>");
}

QString StatusPage::doneFragment()
{
    return QStringLiteral("<div align=\"center\"><p><img src=\"done.gif\" width=\"100\" height=\"100\" /></p>"
                          "<h2 >OST Repair Successfully Completed! Click on \"Convert OST to EML\" button to "
                          "Export OST emails to EML files.</h2></div>");
}

QString StatusPage::stoppedFragment()
{
    return QStringLiteral("<div align=\"center\"><h2 >Scan stopped. Choose Scan or Browse... to start "
                          "again.</h2></div>");
}

QString StatusPage::failedFragment(const QString& message, const QString& reason)
{
    QString page =
        QStringLiteral("<div align=\"center\"><h2 >") + message.toHtmlEscaped() + QStringLiteral("</h2>");
    if (!reason.isEmpty())
        page += QStringLiteral("<p>") + reason.toHtmlEscaped() + QStringLiteral("</p>");
    return page + QStringLiteral("</div>");
}

QStringList StatusPage::pictureNames()
{
    return {QStringLiteral("loading.gif"), QStringLiteral("done.gif")};
}

QString StatusPage::pagePathBesideProgram(const QString& programPath)
{
    QString path = programPath;
    path.remove(QStringLiteral(".exe"));
    return path + QStringLiteral("temp.html");
}

QString StatusPage::pagePath(const QString& programPath, const QString& folder)
{
    if (folder.isEmpty())
        return {};
    // The program path may use either separator; the page name is what follows the last one.
    const QString besideProgram = pagePathBesideProgram(programPath);
    const qsizetype slash =
        std::max(besideProgram.lastIndexOf(QLatin1Char('/')), besideProgram.lastIndexOf(QLatin1Char('\\')));
    return QDir(folder).filePath(besideProgram.mid(slash + 1));
}

bool StatusPage::write(const QString& pagePath, const QString& fragment, const QString& programFolder)
{
    if (pagePath.isEmpty())
        return false;
    const QFileInfo page(pagePath);
    const QDir pageFolder = page.absoluteDir();
    if (!pageFolder.exists() && !QDir().mkpath(pageFolder.absolutePath()))
        return false;
    // A page away from the program needs the pictures beside it, or its relative names break.
    if (QDir(programFolder).absolutePath() != pageFolder.absolutePath()) {
        for (const QString& name : pictureNames()) {
            const QString source = QDir(programFolder).filePath(name);
            const QString target = pageFolder.filePath(name);
            if (QFileInfo::exists(source) && !QFileInfo::exists(target))
                QFile::copy(source, target);
        }
    }
    return PageFile::write(pagePath, fragment);
}

} // namespace views
