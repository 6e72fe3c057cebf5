#pragma once

#include "catalog/MailRecord.h"
#include "views/ListLayout.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <memory>

namespace app {

// The rows and columns of the item list: a column layout (mail, contacts, calendar or the
// initial one) and rows of plain texts, one per column. A row's identity is its type word
// (column 1) and serial number (column 0). GUI thread.
class ItemListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ItemListModel(QObject* parent = nullptr);

    const QList<views::ListLayout::Column>& columns() const { return m_columns; }
    void setColumns(const QList<views::ListLayout::Column>& columns);
    // Replaces the columns and all rows at once.
    void setContents(const QList<views::ListLayout::Column>& columns, QList<QStringList> rows);
    // Replaces the columns and rows with one row per mail, whose texts are made when shown.
    void setMails(const QList<views::ListLayout::Column>& columns,
                  const QList<std::shared_ptr<const catalog::MailRecord>>& mails);
    void clearRows();
    // Rows put on top during a scan; the first of `rows` ends up topmost.
    void prependRows(const QList<QStringList>& rows);
    // Rows added below the others (a search's later matches).
    void appendRows(const QList<QStringList>& rows);
    // The scan's mails put on top, the first of `mails` topmost. A row of these holds only its
    // record and makes its texts when they are shown, so that the list of a scan of a million
    // mails costs little more than the records themselves.
    void prependMails(const QList<std::shared_ptr<const catalog::MailRecord>>& mails);
    QString cell(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Orders the rows by a column's texts: dates as dates, numbers within texts as numbers,
    // letters as the user's language orders them; rows of equal texts keep their order. A
    // column below 0 leaves the order as it is.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // A row's texts, or the mail whose texts it shows.
    struct Row
    {
        QStringList texts;
        std::shared_ptr<const catalog::MailRecord> mail;
    };
    static QList<Row> rowsOf(QList<QStringList> texts);

    QList<views::ListLayout::Column> m_columns;
    QList<Row> m_rows;
};

} // namespace app
