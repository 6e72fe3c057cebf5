#include "MainWindow.h"
#include "QtUserInteraction.h"
#include "Texts.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"

#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QThread>
#include <cstdlib>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(app::Texts::productName());
    QApplication::setApplicationVersion(QStringLiteral(OST2EML_VERSION));
    // The settings key of the program's family; nothing is ever stored under it.
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setDesktopFileName(QStringLiteral("tarvolin-ost2eml"));
    QIcon icon;
    for (const char* size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/icons/app-") + QLatin1String(size) + QStringLiteral(".png"));
    icon.addFile(QStringLiteral(":/icons/app.png"));
    QApplication::setWindowIcon(icon);

    app::QtUserInteraction interaction;
    catalog::Catalogs& catalogs = catalog::Catalogs::processCatalogs();
    // Running out of memory while the catalogs fill is the end of the run: the user is told on
    // the GUI thread, then the process ends without unwinding a half-filled catalog.
    catalogs.setOutOfMemoryHandler([&interaction, &application](const catalog::CatalogOutOfMemory&) {
        auto tell = [&interaction] {
            interaction.error(app::Texts::notEnoughMemory());
        };
        if (QThread::currentThread() == application.thread())
            tell();
        else
            QMetaObject::invokeMethod(&application, tell, Qt::BlockingQueuedConnection);
        std::_Exit(EXIT_FAILURE);
    });
    views::FolderTreeModel treeModel;

    app::MainWindow window(
        {interaction, catalogs, treeModel, nullptr, QCoreApplication::applicationFilePath(), QString()});
    window.showMaximized();
    window.showProductPage();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        window.openStore(arguments.at(1));
    return application.exec();
}
