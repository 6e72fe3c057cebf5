#pragma once

#include "catalog/NodeId.h"
#include "views/FolderImage.h"

#include <QIcon>
#include <QTreeWidget>
#include <array>
#include <unordered_map>

namespace catalog {
class Catalogs;
}
namespace views {
class FolderTreeModel;
}

namespace app {

// The folder tree of the main window: shows the folder tree model (labels, icons by folder
// name, check boxes, bold) and turns clicks and the space key into the model's check rules.
// The model is the truth; the widget catches up with it through sync(), which applies the
// model's recorded changes in one go. GUI thread.
class FolderTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    FolderTreeWidget(views::FolderTreeModel& model, const catalog::Catalogs& catalogs,
                     QWidget* parent = nullptr);

    // Applies the model's changes since the last sync.
    void sync();
    catalog::NodeId nodeOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* itemOf(catalog::NodeId node) const;
    // The folder picture of an image index.
    QIcon folderIcon(int imageIndex) const;

Q_SIGNALS:
    // A left click on a node the folder catalog knows.
    void folderClicked(catalog::NodeId node);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool isFolderNode(catalog::NodeId node) const;
    bool isOnCheckBox(QTreeWidgetItem* item, const QPoint& pos) const;
    void rebuild();
    void insertNode(catalog::NodeId node);
    void refreshNode(catalog::NodeId node);
    void toggleCheck(QTreeWidgetItem* item);

    std::array<QIcon, views::FolderImage::Count> m_icons;
    views::FolderTreeModel& m_model;
    const catalog::Catalogs& m_catalogs;
    quint64 m_sequence = 0;
    std::unordered_map<catalog::NodeId, QTreeWidgetItem*> m_items;
    bool m_syncing = false;
    bool m_swallowRelease = false;
};

} // namespace app
