#include "ItemListModel.h"

#include "views/ItemListFill.h"

#include <QDateTime>
#include <algorithm>
#include <numeric>
#include <optional>

namespace app {

namespace {

Qt::Alignment alignmentOf(views::ListLayout::Alignment alignment)
{
    switch (alignment) {
    case views::ListLayout::Alignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case views::ListLayout::Alignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case views::ListLayout::Alignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The list's dates ("Oct 07, 2024 09:00:00"), always written with English month names.
std::optional<QDateTime> listDate(const QString& text)
{
    const QDateTime date = QDateTime::fromString(text, QStringLiteral("MMM dd, yyyy HH:mm:ss"));
    return date.isValid() ? std::optional(date) : std::nullopt;
}

// Compares texts as people read them: runs of digits by their numbers ("a9" before "a10"), the
// rest in the user's language's order. The caller folds case first.
int naturalCompare(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitA = a[i].isDigit();
        const bool digitB = b[j].isDigit();
        qsizetype endA = i;
        qsizetype endB = j;
        while (endA < a.size() && a[endA].isDigit() == digitA)
            ++endA;
        while (endB < b.size() && b[endB].isDigit() == digitB)
            ++endB;
        QStringView runA = QStringView(a).mid(i, endA - i);
        QStringView runB = QStringView(b).mid(j, endB - j);
        int result = 0;
        if (digitA && digitB) {
            while (runA.size() > 1 && runA.front() == u'0')
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == u'0')
                runB = runB.mid(1);
            result = runA.size() != runB.size() ? (runA.size() < runB.size() ? -1 : 1) : runA.compare(runB);
        } else {
            result = QString::localeAwareCompare(runA, runB);
        }
        if (result != 0)
            return result;
        i = endA;
        j = endB;
    }
    return (i < a.size()) - (j < b.size());
}

} // namespace

ItemListModel::ItemListModel(QObject* parent)
    : QAbstractTableModel(parent), m_columns(views::ListLayout::columns(views::ListLayout::Kind::Initial))
{
}

void ItemListModel::setColumns(const QList<views::ListLayout::Column>& columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

QList<ItemListModel::Row> ItemListModel::rowsOf(QList<QStringList> texts)
{
    QList<Row> rows;
    rows.reserve(texts.size());
    for (QStringList& row : texts)
        rows.append(Row{std::move(row), nullptr});
    return rows;
}

void ItemListModel::setContents(const QList<views::ListLayout::Column>& columns, QList<QStringList> rows)
{
    beginResetModel();
    m_columns = columns;
    m_rows = rowsOf(std::move(rows));
    endResetModel();
}

void ItemListModel::setMails(const QList<views::ListLayout::Column>& columns,
                             const QList<std::shared_ptr<const catalog::MailRecord>>& mails)
{
    beginResetModel();
    m_columns = columns;
    m_rows.clear();
    m_rows.reserve(mails.size());
    for (const auto& mail : mails)
        m_rows.append(Row{{}, mail});
    endResetModel();
}

void ItemListModel::clearRows()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ItemListModel::prependRows(const QList<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
    // One at a time from the last: QList keeps free room at its front, so a long scan's rows
    // do not copy the whole list with every batch.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        m_rows.prepend(Row{*it, nullptr});
    endInsertRows();
}

void ItemListModel::prependMails(const QList<std::shared_ptr<const catalog::MailRecord>>& mails)
{
    if (mails.isEmpty())
        return;
    beginInsertRows({}, 0, static_cast<int>(mails.size()) - 1);
    for (auto it = mails.crbegin(); it != mails.crend(); ++it)
        m_rows.prepend(Row{{}, *it});
    endInsertRows();
}

void ItemListModel::appendRows(const QList<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (const QStringList& row : rows)
        m_rows.append(Row{row, nullptr});
    endInsertRows();
}

QString ItemListModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row& entry = m_rows[row];
    if (entry.mail)
        return views::ItemListFill::mailRow(*entry.mail).value(column);
    return column >= 0 && column < entry.texts.size() ? entry.texts[column] : QString();
}

int ItemListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() < m_columns.size())
        return QVariant::fromValue(alignmentOf(m_columns[index.column()].alignment));
    return {};
}

void ItemListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns.size() || m_rows.size() < 2)
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();

    // Dates made once per row: a dated column sorts by its dates (rows without one go first), any
    // other by its texts, numbers within them as numbers.
    const qsizetype count = m_rows.size();
    std::vector<std::optional<QDateTime>> dates(count);
    bool dated = false;
    for (qsizetype row = 0; row < count; ++row) {
        dates[row] = listDate(cell(static_cast<int>(row), column));
        dated = dated || dates[row].has_value();
    }
    // Texts folded once per row, not at every comparison.
    std::vector<QString> texts;
    if (!dated) {
        texts.reserve(count);
        for (qsizetype row = 0; row < count; ++row)
            texts.push_back(cell(static_cast<int>(row), column).toCaseFolded());
    }
    std::vector<qsizetype> permutation(count);
    std::iota(permutation.begin(), permutation.end(), 0);
    const auto less = [&](qsizetype a, qsizetype b) {
        if (dated)
            return dates[a] < dates[b];
        return naturalCompare(texts[a], texts[b]) < 0;
    };
    if (order == Qt::AscendingOrder)
        std::stable_sort(permutation.begin(), permutation.end(), less);
    else
        std::stable_sort(permutation.begin(), permutation.end(),
                         [&](qsizetype a, qsizetype b) { return less(b, a); });

    QList<Row> sorted;
    sorted.reserve(count);
    std::vector<int> newRow(count);
    for (qsizetype position = 0; position < count; ++position) {
        sorted.append(std::move(m_rows[permutation[position]]));
        newRow[permutation[position]] = static_cast<int>(position);
    }
    m_rows = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(newRow[index.row()], index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[section].heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(m_columns[section].alignment));
    return {};
}

} // namespace app
