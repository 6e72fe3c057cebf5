#include "ConversionThread.h"
#include "MainWindow.h"
#include "QtUserInteraction.h"
#include "ScanThread.h"
#include "Texts.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"
#include "views/PreviewWriter.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

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
    views::FolderTreeModel treeModel;

    const views::PreviewWriter preview;
    app::ScanThread scan(catalogs, treeModel, preview.attachmentsDirectory());
    app::ConversionThread conversion;

    app::MainWindow window({interaction, catalogs, treeModel, &scan, &conversion,
                            QCoreApplication::applicationFilePath(), preview.previewFolder()});
    // Centred, so that restoring the maximised window puts it in the middle of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.showMaximized();
    window.showProductPage();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        window.openStore(arguments.at(1));
    return application.exec();
}
