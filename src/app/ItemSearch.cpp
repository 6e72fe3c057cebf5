#include "ItemSearch.h"

#include "Texts.h"
#include "catalog/Catalogs.h"
#include "catalog/SearchQuery.h"
#include "views/FolderPaths.h"
#include "views/ItemListFill.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSet>

namespace app {

namespace {

// Long enough to type a word without a search per key, short enough to feel immediate.
constexpr int PauseMs = 250;

} // namespace

ItemSearch::ItemSearch(catalog::Catalogs& catalogs, QWidget* parent) : QObject(parent), m_catalogs(catalogs)
{
    m_field = new QLineEdit(parent);
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->setPlaceholderText(Texts::searchPlaceholder());
    m_field->setAccessibleName(Texts::searchFieldName());
    m_field->setClearButtonEnabled(true);
    m_field->setToolTip(Texts::searchHelp());

    m_scope = new QComboBox(parent);
    m_scope->setObjectName(QStringLiteral("searchScope"));
    m_scope->setAccessibleName(Texts::searchScopeName());
    m_scope->addItems({Texts::searchWholeStore(), Texts::searchSelectedFolder()});

    m_status = new QLabel(parent);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_status->setAccessibleName(Texts::searchStatusName());
    m_status->installEventFilter(this);

    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &ItemSearch::start);
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty()) {
            m_pause.stop();
            if (m_active || m_running) {
                cancel();
                m_active = false;
                showStatus(QString());
                Q_EMIT searchEnded();
            }
            return;
        }
        m_pause.start();
    });
    connect(m_field, &QLineEdit::returnPressed, this, &ItemSearch::runNow);
    connect(m_scope, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_field->text().trimmed().isEmpty())
            runNow();
    });
}

ItemSearch::~ItemSearch()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void ItemSearch::setSelectedFolder(catalog::NodeId node)
{
    m_selectedFolder = node;
}

void ItemSearch::runNow()
{
    m_pause.stop();
    start();
}

void ItemSearch::clear()
{
    m_field->clear(); // textChanged ends the search
}

void ItemSearch::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
    ++m_generation;
    m_running = false;
}

void ItemSearch::showStatus(const QString& text)
{
    m_statusText = text;
    m_status->setAccessibleDescription(text);
    // A long message (what is wrong with a query) is cut to the line's width; its tooltip holds
    // it whole.
    m_status->setToolTip(text);
    elideStatus();
}

void ItemSearch::elideStatus()
{
    m_status->setText(m_status->fontMetrics().elidedText(m_statusText, Qt::ElideRight, m_status->width()));
}

bool ItemSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_status && event->type() == QEvent::Resize)
        elideStatus();
    return QObject::eventFilter(watched, event);
}

void ItemSearch::start()
{
    const QString text = m_field->text();
    if (text.trimmed().isEmpty())
        return;
    cancel();
    QString problem;
    std::optional<catalog::SearchQuery> query = catalog::SearchQuery::parse(text, &problem);
    const std::shared_ptr<catalog::SearchIndex> index = m_catalogs.searchIndex();
    if (!query || !index) {
        showStatus(query ? Texts::searchNotAvailable() : problem);
        return;
    }
    catalog::SearchScope scope;
    if (m_scope->currentIndex() == 1) {
        // The selected folder and the folders below it.
        const views::FolderPaths paths(m_catalogs);
        QSet<quint32> nodes{catalog::toInt(m_selectedFolder)};
        if (const QString path = paths.path(m_selectedFolder); !path.isEmpty())
            nodes.unite(paths.nodesWithin(path));
        scope.nodes = nodes;
    }
    // The search before was told to stop; it ends at its next piece of the index.
    if (m_thread.joinable())
        m_thread.join();
    const quint64 generation = m_generation;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancelled;
    m_running = true;
    m_active = true;
    m_firstDelivered = false;
    m_rowsShown = 0;
    m_clock.start();
    showStatus(Texts::searching());

    const catalog::Catalogs* catalogs = &m_catalogs;
    ItemSearch* self = this; // joined before it goes, so the worker may post to it
    // A thread of its own rather than the pool's: a long search must not hold up a folder's fill.
    m_thread = std::thread([self, catalogs, index, query = std::move(*query), scope, cancelled, generation] {
        const views::FolderPaths paths(*catalogs);
        qint64 matches = 0;
        qint64 rows = 0;
        QString failure;
        try {
            index->search(
                query, scope, [&cancelled] { return cancelled->load(); },
                [&](const QList<catalog::SearchMatch>& batch) {
                    QList<QStringList> found;
                    for (const catalog::SearchMatch& match : batch) {
                        ++matches;
                        if (rows >= MaximumRows)
                            continue;
                        QStringList row = views::ItemListFill::searchRow(
                            *catalogs, match, paths.path(catalog::NodeId{match.node}));
                        if (!row.isEmpty()) {
                            found.append(std::move(row));
                            ++rows;
                        }
                    }
                    if (cancelled->load())
                        return;
                    QMetaObject::invokeMethod(
                        self, [self, generation, found, matches] { self->deliver(generation, found, matches); },
                        Qt::QueuedConnection);
                });
        } catch (const catalog::CatalogWriteError& e) {
            failure = Texts::searchFailed(e.path(), e.reason());
        }
        if (cancelled->load())
            return;
        QMetaObject::invokeMethod(
            self, [self, generation, matches, failure] { self->finish(generation, matches, failure); },
            Qt::QueuedConnection);
    });
}

void ItemSearch::deliver(quint64 generation, const QList<QStringList>& rows, qint64 matches)
{
    if (generation != m_generation)
        return;
    if (!rows.isEmpty() || !m_firstDelivered) {
        Q_EMIT matchesFound(rows, !m_firstDelivered);
        m_firstDelivered = true;
        m_rowsShown += rows.size();
    }
    showStatus(Texts::searchingFound(matches));
}

void ItemSearch::finish(quint64 generation, qint64 matches, const QString& problem)
{
    if (generation != m_generation)
        return;
    m_running = false;
    m_cancel.reset();
    if (!m_firstDelivered) {
        // Nothing matched: the list is emptied all the same, so that it never shows a folder
        // under a query.
        Q_EMIT matchesFound({}, true);
        m_firstDelivered = true;
    }
    const qint64 elapsed = m_clock.elapsed();
    if (!problem.isEmpty())
        showStatus(problem);
    else if (matches > m_rowsShown)
        showStatus(Texts::searchTooMany(m_rowsShown, matches));
    else
        showStatus(Texts::searchFound(matches));
    Q_EMIT searchFinished(matches, elapsed);
}

} // namespace app
