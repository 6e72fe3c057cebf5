#include "ItemListModel.h"

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

void ItemListModel::setContents(const QList<views::ListLayout::Column>& columns, QList<QStringList> rows)
{
    beginResetModel();
    m_columns = columns;
    m_rows = std::move(rows);
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
        m_rows.prepend(*it);
    endInsertRows();
}

QString ItemListModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const QStringList& texts = m_rows[row];
    return column >= 0 && column < texts.size() ? texts[column] : QString();
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
