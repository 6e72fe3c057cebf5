#pragma once

#include "catalog/NodeId.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace catalog {
class Catalogs;
}

namespace app {

// The search above the item list: the field the user types a query into, the choice of where to
// look (the whole store or the selected folder) and the line that says what the search found.
// A query runs a short pause after the last key (at once on Enter) on a worker thread of its
// own, over the catalogs' search index (what the scan has read so far); a newer query replaces
// a running one, whose late matches are dropped. Matches reach the window in batches through
// matchesFound, the first as soon as there is one. GUI thread; the worker touches no widget.
class ItemSearch : public QObject
{
    Q_OBJECT

public:
    // The most rows one search puts into the list; it goes on counting beyond them.
    static constexpr int MaximumRows = 50000;

    ItemSearch(catalog::Catalogs& catalogs, QWidget* parent);
    ~ItemSearch() override;

    QLineEdit* field() const { return m_field; }
    QComboBox* scopeChoice() const { return m_scope; }
    QLabel* statusLabel() const { return m_status; }
    // What the status line says, whole (the label shows it cut to its width).
    QString statusText() const { return m_statusText; }

    // True while the list shows matches rather than a folder.
    bool isActive() const { return m_active; }
    bool isRunning() const { return m_running; }
    // The folder the "Selected folder" choice searches.
    void setSelectedFolder(catalog::NodeId node);
    // Runs the query in the field now (no pause).
    void runNow();
    // Empties the field and ends the search (the window shows the folder again).
    void clear();
    // Ends a running search without touching the field (the catalogs are being emptied).
    void cancel();

Q_SIGNALS:
    // The first batch of a search replaces the list (`first`), later ones are added below.
    void matchesFound(const QList<QStringList>& rows, bool first);
    // The field was emptied: the list goes back to the folder.
    void searchEnded();
    // A search finished: how many matches and how long it took.
    void searchFinished(qint64 matches, qint64 milliseconds);

private:
    struct Run;
    void start();
    void deliver(quint64 generation, const QList<QStringList>& rows, qint64 matches);
    void finish(quint64 generation, qint64 matches, const QString& problem);
    void showStatus(const QString& text);
    void elideStatus();
    bool eventFilter(QObject* watched, QEvent* event) override;

    catalog::Catalogs& m_catalogs;
    QLineEdit* m_field = nullptr;
    QComboBox* m_scope = nullptr;
    QLabel* m_status = nullptr;
    QString m_statusText;
    QTimer m_pause;
    catalog::NodeId m_selectedFolder = catalog::NoNode;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    bool m_active = false;
    bool m_running = false;
    bool m_firstDelivered = false;
    qint64 m_rowsShown = 0;
    QElapsedTimer m_clock;
    std::thread m_thread;
};

} // namespace app
