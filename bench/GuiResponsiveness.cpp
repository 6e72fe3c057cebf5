// Measures how the desktop program's window keeps up while it scans a large store and when a
// large folder is clicked: the real main window, scan thread, catalogs and tree, offscreen.
//
//   gui_responsiveness STORE
//
// Prints the longest time the GUI thread did not get to run a 5 ms heartbeat during the scan
// (the longest the window was blocked), when the scan's progress first showed (the progress bar,
// the first folder in the tree, the first mail in the list), the time from a click on the
// folder with the most mails until the list holds all its rows, the preview of its first row, and
// searches typed into the window's search field (a body word, a subject phrase, a sender, a body
// phrase; or the queries given after the store): matches, time to the first match and to the end,
// and the longest the GUI thread was blocked meanwhile.
//
//   gui_responsiveness STORE [QUERY...]

#include "FolderTreeWidget.h"
#include "ItemListModel.h"
#include "ItemSearch.h"
#include "MainWindow.h"
#include "ScanThread.h"
#include "UserInteraction.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"

#include <QApplication>
#include <QDialog>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

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
    QString chooseFile(QWidget*, const QString&, const QString&) override { return {}; }
    void openUrl(const QUrl&, std::function<void()>) override {}
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_responsiveness STORE [QUERY...]\n");
        return 1;
    }
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    const QString previewFolder = dir.path() + QLatin1Char('/');
    ScriptedInteraction interaction(QString::fromLocal8Bit(argv[1]));
    catalog::Catalogs catalogs;
    // As the program does: the records' large texts go into a file of the private folder.
    catalogs.setTextFolder(dir.path());
    catalogs.setSearchable(true);
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
    // A gap above 50 ms: when, how long, and what the GUI thread waited for meanwhile (pages read
    // from disk, sleeps on a lock or a read, being preempted).
    struct Gap
    {
        qint64 when = 0;
        qint64 length = 0;
        long majorFaults = 0;
        long waits = 0;
        long preemptions = 0;
        long stolenMs = -1; // time the host gave neither of this machine's processors; -1: unknown
    };
    // The machine's steal time so far, in ms over all processors (Linux guests); -1 elsewhere.
    const auto stolen = [] {
#ifndef Q_OS_UNIX
        return -1L;
#endif
        QFile stat(QStringLiteral("/proc/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            return -1L;
        const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
        if (fields.size() < 9 || fields[0] != "cpu")
            return -1L;
#ifdef Q_OS_UNIX
        return fields[8].toLong() * 1000 / ::sysconf(_SC_CLK_TCK);
#else
        return -1L;
#endif
    };
    long lastStolen = stolen();
    std::vector<Gap> longGaps;
    const auto threadUsage = [] {
        struct rusage usage {};
#ifdef RUSAGE_THREAD
        ::getrusage(RUSAGE_THREAD, &usage);
#endif
        return usage;
    };
    struct rusage lastUsage = threadUsage();
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
            if (gap > 50) {
                const struct rusage now = threadUsage();
                const long stolenNow = stolen();
                longGaps.push_back({scanClock.elapsed(), gap, now.ru_majflt - lastUsage.ru_majflt,
                                    now.ru_nvcsw - lastUsage.ru_nvcsw, now.ru_nivcsw - lastUsage.ru_nivcsw,
                                    stolenNow >= 0 && lastStolen >= 0 ? stolenNow - lastStolen : -1});
            }
        }
        lastUsage = threadUsage();
        lastStolen = stolen();
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
    // The wall-clock start, to line the gaps up with what the system recorded meanwhile.
    const qint64 scanStartedAt = QDateTime::currentMSecsSinceEpoch();
    heartbeat.start();
    window.scan();
    QEventLoop scanning;
    QObject::connect(&scan, &app::ScanSession::finished, &scanning, &QEventLoop::quit);
    scanning.exec();
    heartbeat.stop();
    const qint64 scanMs = scanClock.elapsed();
    const qint64 scanLongestGap = longestGap;
    const std::size_t scanLongGaps = longGaps.size();
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

    // The preview of the first row of that folder, as a click on it shows it.
    qint64 previewMs = -1;
    if (window.listModel()->rowCount() > 0) {
        QElapsedTimer previewClock;
        previewClock.start();
        window.findChild<QTableView*>(QStringLiteral("1005"))->selectRow(0);
        previewMs = previewClock.elapsed();
    }

    QStringList queries;
    for (int i = 2; i < argc; ++i)
        queries << QString::fromLocal8Bit(argv[i]);
    if (queries.isEmpty())
        queries = {QStringLiteral("body:munchen"), QStringLiteral("subject:\"budget review\""),
                   QStringLiteral("from:fischer"), QStringLiteral("\"please review\"")};
    struct SearchTiming
    {
        QString query;
        qint64 matches = 0;
        qint64 firstMs = -1;
        qint64 totalMs = -1;
        qint64 longestBlock = 0;
    };
    std::vector<SearchTiming> searches;
    app::ItemSearch* search = window.search();
    for (const QString& query : queries) {
        SearchTiming timing{query};
        QElapsedTimer searchClock;
        QEventLoop searching;
        const auto firstConnection = QObject::connect(search, &app::ItemSearch::matchesFound,
                                                      [&](const QList<QStringList>& rows, bool) {
                                                          if (timing.firstMs < 0 && !rows.isEmpty())
                                                              timing.firstMs = searchClock.elapsed();
                                                      });
        const auto endConnection =
            QObject::connect(search, &app::ItemSearch::searchFinished, [&](qint64 matches, qint64) {
                timing.matches = matches;
                timing.totalMs = searchClock.elapsed();
                searching.quit();
            });
        search->field()->setText(query);
        longestGap = 0;
        sinceTick.invalidate();
        heartbeat.start();
        searchClock.start();
        search->runNow();
        searching.exec();
        heartbeat.stop();
        timing.longestBlock = longestGap;
        QObject::disconnect(firstConnection);
        QObject::disconnect(endConnection);
        searches.push_back(timing);
    }

    std::printf("scan started at %lld ms since 1970\n", static_cast<long long>(scanStartedAt));
    std::printf("scan: %lld ms, %lld mails in the catalog, GUI heartbeats %lld, longest GUI block %lld ms\n",
                static_cast<long long>(scanMs), static_cast<long long>(catalogs.mails().size()),
                static_cast<long long>(ticks), static_cast<long long>(scanLongestGap));
    for (std::size_t k = 0; k < scanLongGaps; ++k)
        std::printf("  GUI blocked %lld ms, %lld ms into the scan (pages read from disk %ld, waits %ld, "
                    "preempted %ld, stolen by the host %ld ms)\n",
                    static_cast<long long>(longGaps[k].length), static_cast<long long>(longGaps[k].when),
                    longGaps[k].majorFaults, longGaps[k].waits, longGaps[k].preemptions, longGaps[k].stolenMs);
    std::printf("first progress shown: progress bar %lld ms, first folder in the tree %lld ms, "
                "first mail in the list %lld ms into the scan\n",
                static_cast<long long>(firstProgressMs), static_cast<long long>(firstFolderMs),
                static_cast<long long>(firstRowMs));
    std::printf("folder click: %lld rows shown in %lld ms\n", static_cast<long long>(most),
                static_cast<long long>(clickMs));
    std::printf("preview of its first row: %lld ms\n", static_cast<long long>(previewMs));
    for (const SearchTiming& timing : searches)
        std::printf("search: %lld matches in %lld ms (first match shown %lld ms, longest GUI block %lld ms) for %s\n",
                    static_cast<long long>(timing.matches), static_cast<long long>(timing.totalMs),
                    static_cast<long long>(timing.firstMs), static_cast<long long>(timing.longestBlock),
                    timing.query.toUtf8().constData());
    for (const QString& message : interaction.messages())
        std::printf("message: %s\n", message.toUtf8().constData());
    return 0;
}
