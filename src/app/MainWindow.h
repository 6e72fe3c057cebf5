#pragma once

#include "CommandState.h"
#include "ConversionSession.h"
#include "LayoutEngine.h"
#include "ScanSession.h"
#include "catalog/NodeId.h"
#include "views/ItemListFill.h"
#include "views/PreviewWriter.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMimeData;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTableView;

namespace catalog {
class Catalogs;
}
namespace views {
class FolderTreeModel;
}

namespace app {

class Browser;
class ClientArea;
class FolderTreeWidget;
class HelpWindow;
class ItemListModel;
class ItemSearch;
class Panes;
class UserInteraction;
class WidgetLayoutHost;

// The program's main window: the path field, the command buttons, the folder tree, the item
// list, the browser, the progress bar and the status bar, laid out from the dialog template and
// kept in place by the layout engine. Routes the commands (Browse, Scan, Stop, Convert, help,
// about, closing) and keeps which of them are available. While a scan runs it catches up with
// the scan's core state (tree model, mail catalog, progress) in batches on a timer. GUI thread.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct Dependencies
    {
        UserInteraction& interaction;
        catalog::Catalogs& catalogs;
        views::FolderTreeModel& treeModel;
        ScanSession* scan = nullptr;             // outlives the window; none: Scan fails to open
        ConversionSession* conversion = nullptr; // outlives the window; none: nothing to convert
        QString programPath;                     // the program's file path (status page and pictures)
        QString previewFolder;                   // ends with a separator
    };

    explicit MainWindow(const Dependencies& dependencies, QWidget* parent = nullptr);
    ~MainWindow() override;

    const CommandState& commands() const { return m_commands; }
    QString storePath() const { return m_storePath; }
    QString statusPagePath() const { return m_statusPagePath; }
    Browser* browser() const { return m_browser; }
    ItemListModel* listModel() const { return m_listModel; }
    FolderTreeWidget* tree() const { return m_tree; }
    ItemSearch* search() const { return m_search; }
    Panes* panes() const { return m_panes; }
    const LayoutEngine& layoutEngine() const { return m_layout; }
    // The size of the client area the controls were laid out for.
    static QSize templateClientSize();

    // True from a click on a folder until its rows are in the list.
    bool isFillingList() const { return m_fillPending; }

    // The store file handed over on the command line: as if chosen with Browse.
    void openStore(const QString& path);

public Q_SLOTS:
    void browse();
    void scan();
    void stop();
    void convert();
    void showHelp();
    void showAbout();
    void exitApplication();
    void showProductPage();
    // Copies the attachments of the mail shown in the preview into a folder the user chooses.
    void saveAttachments();
    // A link clicked in the browser: an attachment the scan saved opens with the desktop's
    // application, a web or mail address with the desktop's browser or mail program; anything
    // else (another local file a mail names) is not opened.
    void openLink(const QUrl& url);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The store a drag carries: one local file named *.ost, while Browse is available; else empty.
    QString draggedStore(const QMimeData* mime) const;
    void createControls();
    void createMenus();
    void createStatusBar();
    void applyCommands(CommandEvent event);
    void applyCommandState();
    void chooseStore(const QString& path);
    void storePathEdited(const QString& text);
    void clearScanResults();
    void removeAttachmentsDirectory();
    void writeStatusPage(const QString& fragment);
    void onClientResized();
    void onScanFinished(ScanOutcome outcome);
    void handleScanOutcome(ScanOutcome outcome);
    // Brings the tree, the scan's own rows and the progress bar up to date. The rows come at
    // most every LiveRowsIntervalMs unless all: each batch moves every row of the list down
    // and repaints it.
    void catchUpWithScan(bool all = true);
    // The progress bar during a scan: what the scan does, and how far it is.
    void showScanActivity();
    void resetProgress();
    void stopConversion();
    // The store identifiers of the folders checked in the tree; empty when none is checked.
    std::vector<std::uint32_t> checkedFolders() const;
    void onConversionFinished(ConversionOutcome outcome, const QString& summary, const QString& detail);
    void handleConversionOutcome(ConversionOutcome outcome, const QString& summary, const QString& detail);
    void showFolder(catalog::NodeId node);
    void applyListFill();
    void showSearchMatches(const QList<QStringList>& rows, bool first);
    void endSearch();
    void showItemPreview();
    // Shows an item's page in the preview (a mail's attachments are saved first).
    void previewItem(const QString& type, const QString& serial);
    // An attachment that the desktop could not open: the user may save it instead.
    void offerToSave(const QString& file);
    void applyColumnWidths();
    void setPreviewedAttachments(const QList<catalog::MailAttachment>& attachments);

    UserInteraction& m_interaction;
    catalog::Catalogs& m_catalogs;
    views::FolderTreeModel& m_treeModel;
    ScanSession* m_scan;
    ConversionSession* m_conversion;
    QString m_programPath;
    views::PreviewWriter m_preview;

    LayoutEngine m_layout;
    std::unique_ptr<WidgetLayoutHost> m_host;
    CommandState m_commands;

    ClientArea* m_client = nullptr;
    QPointer<HelpWindow> m_help;
    QStatusBar* m_statusBar = nullptr;
    QLineEdit* m_pathField = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_scanButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_convertButton = nullptr;
    FolderTreeWidget* m_tree = nullptr;
    QTableView* m_list = nullptr;
    ItemSearch* m_search = nullptr;
    catalog::NodeId m_shownFolder = catalog::NoNode;
    ItemListModel* m_listModel = nullptr;
    Browser* m_browser = nullptr;
    Panes* m_panes = nullptr;
    QProgressBar* m_progress = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_scanAction = nullptr;
    QAction* m_convertAction = nullptr;
    QAction* m_saveAttachmentsAction = nullptr;
    QAction* m_includeRecoveredAction = nullptr;
    // Whether the tree shows the recovered items: the last scan was asked for them.
    bool m_scannedWithRecovered = false;
    // The saved attachments of the mail the preview shows.
    QList<catalog::MailAttachment> m_previewedAttachments;

    QString m_storePath;
    QString m_statusPagePath;
    catalog::NodeId m_storeNode = catalog::NoNode;
    QTimer m_catchUpTimer;
    qsizetype m_liveMails = 0;
    QElapsedTimer m_sinceLiveRows; // since the scan's rows last came into the list
    bool m_scanRunning = false;
    bool m_askingToStop = false;
    std::optional<ScanOutcome> m_deferredOutcome;
    bool m_converting = false;
    // What the running conversion's messages name: its destination, and what is said when
    // nothing can be written there.
    QString m_conversionDestination;
    QString m_conversionRefusal;
    CommandState m_commandsBeforeConversion;
    struct FinishedConversion
    {
        ConversionOutcome outcome;
        QString summary;
        QString detail;
    };
    std::optional<FinishedConversion> m_deferredConversion;
    bool m_closeWithoutPrompt = false;
    QFutureWatcher<views::ItemListFill::Result> m_fillWatcher;
    quint64 m_fillGeneration = 0;
    bool m_fillPending = false;
};

} // namespace app
