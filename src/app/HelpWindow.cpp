#include "HelpWindow.h"

#include "Texts.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

QString HelpWindow::findIndex(const QString& programPath)
{
    const QDir programFolder = QFileInfo(programPath).absoluteDir();
    for (const char* relative :
         {"../share/tarvolin-ost2eml/help/index.html", "../../share/tarvolin-ost2eml/help/index.html"}) {
        const QFileInfo index(programFolder.filePath(QLatin1String(relative)));
        if (index.isFile())
            return index.canonicalFilePath();
    }
    return {};
}

HelpWindow::HelpWindow(const QString& indexPath, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("help"));
    setWindowTitle(Texts::helpWindowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpText"));
    m_browser->setAccessibleName(Texts::helpWindowTitle());
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl::fromLocalFile(indexPath));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(760, 640);
}

} // namespace app
