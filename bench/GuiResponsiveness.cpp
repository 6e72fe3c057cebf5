// Measures how the desktop program's window keeps up while it scans a large store and when a
// large folder is clicked: the real main window, scan thread, catalogs and tree, offscreen.
//
//   gui_responsiveness STORE
//
// Prints the longest time the GUI thread did not get to run a 5 ms heartbeat during the scan
// (the longest the window was blocked), when the scan's progress first showed (the progress bar,
// the first folder in the tree, the first mail in the list), and the time from a click on the
// folder with the most mails until the list holds all its rows.

#include "FolderTreeWidget.h"
#include "ItemListModel.h"
#include "MainWindow.h"
#include "ScanThread.h"
#include "UserInteraction.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <vector>

namespace {

// Chooses the store given, and says nothing.
class ScriptedInteraction : public app::UserInteraction
{
public:
    explicit ScriptedInteraction(QString store) : m_store(std::move(store)) {}
    bool askYesNo(QWidget*, const QString&) override { return false; }
    void inform(const QString& text) override { m_messages << text; }
    void error(const QString& text) override { m_messages << text; }
    QString chooseStoreFile(QWidget*) override { return std::exchange(m_store, QString()); }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    void openUrl(const QUrl&) override {}
    int runModal(QDialog&) override { return 0; }
    void terminateProcess(int exitCode) override { std::exit(exitCode); }
    const QStringList& messages() const { return m_messages; }

private:
    QString m_store;
    QStringList m_messages;
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_responsiveness STORE\n");
        return 1;
    }
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    const QString previewFolder = dir.path() + QLatin1Char('/');
    ScriptedInteraction interaction(QString::fromLocal8Bit(argv[1]));
    catalog::Catalogs catalogs;
    // As the program does: the records' large texts go into a file of the private folder.
    catalogs.setTextFolder(dir.path());
    views::FolderTreeModel treeModel;
    app::ScanThread scan(catalogs, treeModel, previewFolder + QStringLiteral("Attachments"));
    app::MainWindow window({interaction, catalogs, treeModel, &scan, nullptr,
                            dir.filePath(QStringLiteral("bin/tarvolin-ost2eml")), previewFolder});
    window.show();

    // The heartbeat: the longest gap between two of its ticks is the longest the GUI thread was
    // kept from its event loop.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    qint64 ticks = 0;
    QElapsedTimer scanClock;
    std::vector<std::pair<qint64, qint64>> longGaps; // (when, how long), for gaps above 50 ms
    // When the user first sees the scan move, in ms into the scan; -1: never. The heartbeat looks,
    // so these are the times the GUI thread had the change on screen.
    qint64 firstProgressMs = -1;
    qint64 firstFolderMs = -1;
    qint64 firstRowMs = -1;
    const auto* progressBar = window.findChild<QProgressBar*>();
    int treeItemsAtStart = 0;
    const auto treeItems = [&] {
        int count = 0;
        for (QTreeWidgetItemIterator it(window.tree()); *it; ++it)
            ++count;
        return count;
    };
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        if (sinceTick.isValid()) {
            const qint64 gap = sinceTick.elapsed();
            longestGap = std::max(longestGap, gap);
            if (gap > 50)
                longGaps.emplace_back(scanClock.elapsed(), gap);
        }
        sinceTick.restart();
        ++ticks;
        if (firstProgressMs < 0 && progressBar && progressBar->value() > 0)
            firstProgressMs = scanClock.elapsed();
        if (firstFolderMs < 0 && treeItems() > treeItemsAtStart)
            firstFolderMs = scanClock.elapsed();
        if (firstRowMs < 0 && window.listModel()->rowCount() > 0)
            firstRowMs = scanClock.elapsed();
    });

    window.browse();
    treeItemsAtStart = treeItems();
    scanClock.start();
    heartbeat.start();
    window.scan();
    QEventLoop scanning;
    QObject::connect(&scan, &app::ScanSession::finished, &scanning, &QEventLoop::quit);
    scanning.exec();
    heartbeat.stop();
    const qint64 scanMs = scanClock.elapsed();
    // The completion message is shown by the window after the scan; let it settle.
    QCoreApplication::processEvents();

    catalog::NodeId busiest = catalog::NoNode;
    qsizetype most = 0;
    for (const auto& folder : catalogs.folders().records()) {
        const qsizetype count = catalogs.mails().countForNode(folder->node);
        if (count > most) {
            most = count;
            busiest = folder->node;
        }
    }
    qint64 clickMs = -1;
    if (busiest != catalog::NoNode) {
        window.tree()->setCurrentItem(window.tree()->itemOf(busiest));
        QElapsedTimer clickClock;
        clickClock.start();
        Q_EMIT window.tree()->folderClicked(busiest);
        while (window.isFillingList() || window.listModel()->rowCount() < most)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        clickMs = clickClock.elapsed();
    }

    std::printf("scan: %lld ms, %lld mails in the catalog, GUI heartbeats %lld, longest GUI block %lld ms\n",
                static_cast<long long>(scanMs), static_cast<long long>(catalogs.mails().size()),
                static_cast<long long>(ticks), static_cast<long long>(longestGap));
    for (const auto& [when, gap] : longGaps)
        std::printf("  GUI blocked %lld ms, %lld ms into the scan\n", static_cast<long long>(gap),
                    static_cast<long long>(when));
    std::printf("first progress shown: progress bar %lld ms, first folder in the tree %lld ms, "
                "first mail in the list %lld ms into the scan\n",
                static_cast<long long>(firstProgressMs), static_cast<long long>(firstFolderMs),
                static_cast<long long>(firstRowMs));
    std::printf("folder click: %lld rows shown in %lld ms\n", static_cast<long long>(most),
                static_cast<long long>(clickMs));
    for (const QString& message : interaction.messages())
        std::printf("message: %s\n", message.toUtf8().constData());
    return 0;
}
