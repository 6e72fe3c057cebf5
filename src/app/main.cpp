#include "Browser.h"
#include "ConversionThread.h"
#include "MainWindow.h"
#include "QtUserInteraction.h"
#include "ScanThread.h"
#include "TerminationSignals.h"
#include "Texts.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"
#include "views/PreviewWriter.h"
#include "views/RunFolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <store/CodePage.h>
#include <store/Store.h>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine hands the preview's contents to screen readers on Linux only when asked
    // to; it builds that tree only while one is running.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
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

    // [--reader native|libpff] [--codepage N] [STORE]: the store reader and code page are for
    // comparing readers and for stores whose 8-bit texts name no code page.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens an Outlook offline store (.ost), shows its folders, mails, contacts and\n"
                       "appointments, and converts the mail to .eml files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("reader"),
                      QStringLiteral("The store reader: native (default) or libpff."), QStringLiteral("NAME"),
                      QStringLiteral("native")});
    parser.addOption({QStringLiteral("codepage"),
                      QStringLiteral("The Windows code page of 8-bit texts that name none."),
                      QStringLiteral("N")});
    parser.addPositionalArgument(QStringLiteral("STORE"), QStringLiteral("An offline store to open."),
                                 QStringLiteral("[STORE]"));
    parser.process(application);
    store::OpenOptions openOptions;
    QString optionProblem;
    if (const auto reader = store::readerKindFromName(parser.value(QStringLiteral("reader"))))
        openOptions.reader = *reader;
    else
        optionProblem = QStringLiteral("--reader: '%1' is not a reader (native or libpff)")
                            .arg(parser.value(QStringLiteral("reader")));
    if (parser.isSet(QStringLiteral("codepage"))) {
        bool isNumber = false;
        const int page = parser.value(QStringLiteral("codepage")).toInt(&isNumber);
        if (isNumber && page > 0 && store::codePageName(page))
            openOptions.codePage = page;
        else
            optionProblem = QStringLiteral("--codepage: '%1' is not a code page this program knows")
                                .arg(parser.value(QStringLiteral("codepage")));
    }
    if (!optionProblem.isEmpty()) {
        std::fprintf(stderr, "%s\n", optionProblem.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, app::Texts::productName(), optionProblem);
        return 1;
    }

    // Every page, body file, status page and saved attachment goes into this run's own folder.
    if (!views::RunFolder::current().isValid()) {
        const QString problem =
            QStringLiteral("A private folder for the preview cannot be created in %1.").arg(QDir::tempPath());
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, app::Texts::productName(), problem);
        return 1;
    }
    app::removeRunFolderOnTermination(&application);

    app::QtUserInteraction interaction;
    catalog::Catalogs& catalogs = catalog::Catalogs::processCatalogs();
    // The records' large texts (bodies, recipients, attachment lists) wait in a file there.
    try {
        catalogs.setTextFolder(views::RunFolder::current().path());
        catalogs.setSearchable(true);
    } catch (const catalog::CatalogWriteError& e) {
        const QString problem = QStringLiteral("The item texts cannot be kept in %1: %2").arg(e.path(), e.reason());
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, app::Texts::productName(), problem);
        return 1;
    }
    views::FolderTreeModel treeModel;

    const views::PreviewWriter preview;
    app::ScanThread scan(catalogs, treeModel, preview.attachmentsDirectory());
    app::ConversionThread conversion;
    scan.setOpenOptions(openOptions);
    conversion.setOpenOptions(openOptions);

    app::MainWindow window({interaction, catalogs, treeModel, &scan, &conversion,
                            QCoreApplication::applicationFilePath(), preview.previewFolder()});
    // Centred, so that restoring the maximised window puts it in the middle of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    // The first page before the window is shown: the web view's surface is made with it, and
    // making it later recreates the shown window, which loses its maximised state on some
    // window managers.
    window.showProductPage();
    window.showMaximized();
    const QStringList stores = parser.positionalArguments();
    if (!stores.isEmpty()) {
        // Opened with a store (the file manager's "Open with"): it is scanned at once, as if
        // Scan were clicked once the window is up.
        window.openStore(stores.first());
        // Once the first page is shown: the browser engine must not be handed the scan's page
        // while it is still starting.
        auto* browser = window.browser();
        auto started = std::make_shared<QMetaObject::Connection>();
        *started = QObject::connect(browser, &app::Browser::pageLoaded, &window, [&window, started] {
            QObject::disconnect(*started);
            QTimer::singleShot(0, &window, &app::MainWindow::scan);
        });
    }
    return application.exec();
}
