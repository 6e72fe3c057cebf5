#include "MainWindow.h"

#include "AboutDialog.h"
#include "Browser.h"
#include "ClientArea.h"
#include "DialogUnits.h"
#include "FolderTreeWidget.h"
#include "HelpWindow.h"
#include "ItemListModel.h"
#include "ItemSearch.h"
#include "Panes.h"
#include "Texts.h"
#include "UserInteraction.h"
#include "WidgetLayoutHost.h"
#include "catalog/Catalogs.h"
#include "views/AttachmentCopier.h"
#include "views/FolderTreeModel.h"
#include "views/ItemListFill.h"
#include "views/ListLayout.h"
#include "views/StatusPage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QShortcut>
#include <QTableView>
#include <QUrl>
#include <QWebEngineView>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstdlib>
#include <unordered_set>

// The pictures are compiled into this library; a static library's resources have to be
// registered by hand, and only outside any namespace.
static void registerResources()
{
    Q_INIT_RESOURCE(app);
}

namespace app {

namespace {

// The catch-up period while a scan runs: often enough to watch the mails go by, rarely
// enough that the GUI thread stays free for the user.
constexpr int CatchUpIntervalMs = 50;

QString idName(int id)
{
    return QString::number(id);
}

QPushButton* makeButton(QWidget* parent, int id, const QString& text, const QRect& units)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(idName(id));
    button->setGeometry(DialogUnits::rect(units.x(), units.y(), units.width(), units.height()));
    button->setAutoDefault(false);
    return button;
}

QAction* makeAction(QMenu* menu, int id, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(idName(id));
    return action;
}

// Static texts and pictures show the window's background through them, with black text.
void makeTransparent(QLabel* label)
{
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

} // namespace

MainWindow::MainWindow(const Dependencies& dependencies, QWidget* parent)
    : QMainWindow(parent), m_interaction(dependencies.interaction), m_catalogs(dependencies.catalogs),
      m_treeModel(dependencies.treeModel), m_scan(dependencies.scan), m_conversion(dependencies.conversion),
      m_programPath(dependencies.programPath),
      m_preview(dependencies.previewFolder.isEmpty() ? views::PreviewWriter::defaultPreviewFolder()
                                                     : dependencies.previewFolder)
{
    registerResources();
    setObjectName(idName(102));
    setWindowTitle(Texts::windowTitle());
    // The template's font size: 8 points.
    QFont templateFont = font();
    templateFont.setPointSize(8);
    setFont(templateFont);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.png")));
    // A .ost file dropped anywhere on the window is chosen as with Browse.
    setAcceptDrops(true);

    m_client = new ClientArea(this);
    setCentralWidget(m_client);
    m_client->resize(templateClientSize());
    createControls();
    createMenus();
    createStatusBar();

    m_host = std::make_unique<WidgetLayoutHost>(m_client);
    m_layout.addControl(1005, 0xD0);
    m_layout.addControl(1009, 0xE0);
    m_layout.addControl(1001, 0xD0);
    m_layout.addControl(1014, 0xD0);
    m_layout.addControl(1002, 0x90);
    m_layout.addControl(1000, 0x70);
    m_layout.addControl(1008, 0x90);
    m_layout.addControl(1006, 0x90);
    m_layout.addControl(1007, 0x90);
    m_layout.addControl(1020, 0xD0);
    m_layout.addControl(1021, 0x90);
    m_layout.addControl(1022, 0x90);
    m_layout.initialLayout(m_host.get(), LayoutEngine::CreateSizeGrip);
    // The boundaries beside the tree and above the preview can be dragged.
    m_panes = new Panes(m_client, {m_tree, m_search->field(), m_list, m_browser});
    connect(m_client, &ClientArea::resized, this, &MainWindow::onClientResized);
    resize(templateClientSize() + QSize(0, menuBar()->sizeHint().height()));
    // The controls keep their places relative to the window's edges; below the template's size
    // they would run into each other.
    setMinimumSize(size());

    m_statusPagePath = views::StatusPage::pagePath(m_programPath, m_preview.previewFolder());
    applyCommands(CommandEvent::DialogInitialised);

    m_catchUpTimer.setInterval(CatchUpIntervalMs);
    connect(&m_catchUpTimer, &QTimer::timeout, this, [this] { catchUpWithScan(false); });
    if (m_scan)
        connect(m_scan, &ScanSession::finished, this, &MainWindow::onScanFinished);
    if (m_conversion)
        connect(m_conversion, &ConversionSession::finished, this, &MainWindow::onConversionFinished);

    // Enter moves the focus in every control of this window, whichever has it.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    // A fill still reading the catalogs must not outlive the window that handed them over.
    m_fillWatcher.waitForFinished();
}

QSize MainWindow::templateClientSize()
{
    return {DialogUnits::x(589), DialogUnits::y(402)};
}

void MainWindow::createControls()
{
    auto* headerLeft = new QLabel(m_client);
    headerLeft->setObjectName(QStringLiteral("headerLeft"));
    headerLeft->setGeometry(DialogUnits::rect(0, 0, 395, 63));
    headerLeft->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    headerLeft->setPixmap(QPixmap(QStringLiteral(":/pictures/header-left.png")));
    makeTransparent(headerLeft);

    auto* headerRight = new QLabel(m_client);
    headerRight->setObjectName(idName(1014));
    headerRight->setGeometry(DialogUnits::rect(394, 0, 195, 63));
    headerRight->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    headerRight->setPixmap(QPixmap(QStringLiteral(":/pictures/header-right.png")));
    makeTransparent(headerRight);
    for (QLabel* picture : {headerLeft, headerRight})
        picture->setAccessibleName(Texts::productName());

    auto* pathLabel = new QLabel(QStringLiteral("Select OST File : "), m_client);
    pathLabel->setObjectName(idName(1016));
    pathLabel->setGeometry(DialogUnits::rect(5, 75, 86, 12));
    pathLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    makeTransparent(pathLabel);

    m_pathField = new QLineEdit(m_client);
    m_pathField->setAcceptDrops(false);
    m_pathField->setObjectName(idName(1001));
    m_pathField->setGeometry(DialogUnits::rect(96, 71, 244, 19));
    pathLabel->setBuddy(m_pathField);
    m_pathField->setAccessibleName(Texts::pathFieldName());

    // A path typed into the field is the store from then on, as if chosen with Browse, so that
    // what the field shows is always what Scan and Convert work on.
    connect(m_pathField, &QLineEdit::textEdited, this, &MainWindow::storePathEdited);

    m_browseButton = makeButton(m_client, 1002, QStringLiteral("Browse..."), QRect(342, 70, 55, 19));
    m_scanButton = makeButton(m_client, 1006, QStringLiteral("Scan"), QRect(399, 70, 48, 19));
    m_stopButton = makeButton(m_client, 1008, QStringLiteral("Stop"), QRect(449, 70, 51, 19));
    m_convertButton =
        makeButton(m_client, 1007, QStringLiteral("Convert OST to EML"), QRect(503, 70, 81, 19));
    connect(m_browseButton, &QPushButton::clicked, this, &MainWindow::browse);
    connect(m_scanButton, &QPushButton::clicked, this, &MainWindow::scan);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stop);
    connect(m_convertButton, &QPushButton::clicked, this, &MainWindow::convert);

    m_tree = new FolderTreeWidget(m_treeModel, m_catalogs, m_client);
    m_tree->setObjectName(idName(1000));
    m_tree->setAccessibleName(Texts::treeName());
    m_tree->setGeometry(DialogUnits::rect(6, 95, 153, 262));
    connect(m_tree, &FolderTreeWidget::folderClicked, this, &MainWindow::showFolder);
    connect(&m_fillWatcher, &QFutureWatcherBase::finished, this, &MainWindow::applyListFill);

    m_listModel = new ItemListModel(this);
    m_list = new QTableView(m_client);
    m_list->setObjectName(idName(1005));
    m_list->setAccessibleName(Texts::listName());
    // The search row takes the top of the list's place in the template.
    m_list->setGeometry(DialogUnits::rect(162, 111, 422, 86));
    m_list->setModel(m_listModel);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the next control; the arrow keys move within it.
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 4);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(false);
    // A click on a column's heading orders the rows by it; a new folder's rows come in their own
    // order first.
    m_list->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_list->horizontalHeader()->setSortIndicatorShown(true);
    m_list->setSortingEnabled(true);
    applyColumnWidths();
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::showItemPreview);
    connect(m_listModel, &QAbstractItemModel::modelReset, this, &MainWindow::applyColumnWidths);

    m_search = new ItemSearch(m_catalogs, m_client);
    m_search->field()->setObjectName(idName(1020));
    m_search->field()->setGeometry(DialogUnits::rect(162, 95, 220, 13));
    m_search->scopeChoice()->setObjectName(idName(1021));
    m_search->scopeChoice()->setGeometry(DialogUnits::rect(384, 95, 76, 13));
    m_search->statusLabel()->setObjectName(idName(1022));
    m_search->statusLabel()->setGeometry(DialogUnits::rect(463, 95, 121, 13));
    makeTransparent(m_search->statusLabel());
    // Typed queries come before the list in the tab order, as the row lies above it.
    QWidget::setTabOrder(m_tree, m_search->field());
    QWidget::setTabOrder(m_search->field(), m_search->scopeChoice());
    QWidget::setTabOrder(m_search->scopeChoice(), m_list);
    connect(m_search, &ItemSearch::matchesFound, this, &MainWindow::showSearchMatches);
    connect(m_search, &ItemSearch::searchEnded, this, &MainWindow::endSearch);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->field()->setFocus(Qt::ShortcutFocusReason);
        m_search->field()->selectAll();
    });

    // The browser sits outside the layout engine; the size handler places it.
    m_browser = new Browser(m_client);
    m_browser->setObjectName(idName(1012));
    m_browser->setAccessibleName(Texts::previewName());
    m_browser->view()->setAccessibleName(Texts::previewName());
    m_browser->setGeometry(DialogUnits::rect(162, 200, 422, 156));
    connect(m_browser, &Browser::linkActivated, this, &MainWindow::openLink);

    m_progress = new QProgressBar(m_client);
    m_progress->setObjectName(idName(1009));
    m_progress->setAccessibleName(Texts::progressName());
    m_progress->setGeometry(DialogUnits::rect(6, 365, 578, 14));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    // The template's default and cancel buttons: never visible, Enter and Escape are handled
    // by the window itself.
    auto* ok = makeButton(m_client, 1, QStringLiteral("OK"), QRect(561, 372, 6, 6));
    auto* cancel = makeButton(m_client, 2, QStringLiteral("Cancel"), QRect(569, 372, 6, 6));
    ok->hide();
    cancel->hide();
}

void MainWindow::createMenus()
{
    menuBar()->setObjectName(idName(152));
    // Access keys (Alt+F, then O) and the usual shortcuts; the texts shown stay the same.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    m_openAction = makeAction(file, 32771, QStringLiteral("&Open"));
    m_openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_scanAction = makeAction(file, 32772, QStringLiteral("&Scan"));
    m_convertAction = makeAction(file, 32773, QStringLiteral("&Convert"));
    // Read at the next Scan: the scan then adds "Recovered Items", and Convert converts them too.
    m_includeRecoveredAction = file->addAction(Texts::includeRecoveredMenuEntry());
    m_includeRecoveredAction->setObjectName(QStringLiteral("includeRecovered"));
    m_includeRecoveredAction->setCheckable(true);
    m_saveAttachmentsAction = file->addAction(Texts::saveAttachmentsMenuEntry());
    m_saveAttachmentsAction->setObjectName(QStringLiteral("saveAttachments"));
    m_saveAttachmentsAction->setEnabled(false);
    connect(m_saveAttachmentsAction, &QAction::triggered, this, &MainWindow::saveAttachments);
    QAction* exit = makeAction(file, 32774, QStringLiteral("E&xit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* content = makeAction(help, 32775, QStringLiteral("&Content"));
    content->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* about = makeAction(help, 32776, QStringLiteral("&About Tarvolin OST to EML Converter"));
    connect(m_openAction, &QAction::triggered, this, &MainWindow::browse);
    connect(m_scanAction, &QAction::triggered, this, &MainWindow::scan);
    connect(m_convertAction, &QAction::triggered, this, &MainWindow::convert);
    connect(exit, &QAction::triggered, this, &MainWindow::exitApplication);
    connect(content, &QAction::triggered, this, &MainWindow::showHelp);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::createStatusBar()
{
    // Part of the client area, like the controls: it lies over the bottom of the window, under
    // the size grip.
    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setSizeGripEnabled(false);
    auto* productPane = new QLabel(Texts::productName(), m_statusBar);
    productPane->setObjectName(QStringLiteral("pane0"));
    productPane->setFixedWidth(300);
    auto* addressPane = new QLabel(Texts::productPageAddress(), m_statusBar);
    addressPane->setObjectName(QStringLiteral("pane1"));
    addressPane->setFixedWidth(299);
    m_statusBar->addWidget(productPane);
    m_statusBar->addWidget(addressPane);
    const int height = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, m_client->height() - height, m_client->width(), height);
}

void MainWindow::showProductPage()
{
    m_browser->navigate(Texts::productPageAddress());
}

void MainWindow::applyCommands(CommandEvent event)
{
    m_commands.apply(event);
    applyCommandState();
}

void MainWindow::applyCommandState()
{
    m_browseButton->setEnabled(m_commands.isEnabled(Command::BrowseButton));
    m_scanButton->setEnabled(m_commands.isEnabled(Command::ScanButton));
    m_stopButton->setEnabled(m_commands.isEnabled(Command::StopButton));
    m_convertButton->setEnabled(m_commands.isEnabled(Command::ConvertButton));
    m_openAction->setEnabled(m_commands.isEnabled(Command::FileOpen));
    m_scanAction->setEnabled(m_commands.isEnabled(Command::FileScan));
    m_convertAction->setEnabled(m_commands.isEnabled(Command::FileConvert));
    m_tree->setEnabled(m_commands.isEnabled(Command::Tree));
    // The store can be changed only where Browse could change it.
    m_pathField->setReadOnly(!m_commands.isEnabled(Command::BrowseButton));
}

void MainWindow::onClientResized()
{
    const QSize client = m_client->size();
    m_layout.resize();
    // A control's rectangle as the layout keeps it; the widget's own where it keeps none.
    const auto rectOf = [this](int controlId, const QWidget* widget) {
        const std::optional<LayoutRect> kept = m_layout.rectOf(controlId);
        return kept ? QRect(kept->left, kept->top, kept->width(), kept->height()) : widget->geometry();
    };
    m_panes->place(rectOf(1000, m_tree), rectOf(1020, m_search->field()), rectOf(1005, m_list),
                   QRect(243, 325, std::max(0, client.width() - 250), std::max(0, client.height() - 400)));
    const int height = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, client.height() - height, client.width(), height);
    if (QWidget* grip = m_host->control(WidgetLayoutHost::SizeGripId))
        grip->raise();
    m_client->update();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Maximising can leave the client's size as it was (a window already at screen size);
    // the grip still has to follow the window state.
    if (event->type() == QEvent::WindowStateChange)
        m_layout.resize();
}

void MainWindow::showHelp()
{
    if (m_help) {
        m_help->raise();
        m_help->activateWindow();
        return;
    }
    const QString index = HelpWindow::findIndex(m_programPath);
    if (index.isEmpty()) {
        m_interaction.error(Texts::helpMissing());
        return;
    }
    m_help = new HelpWindow(index, this);
    m_help->show();
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
    m_interaction.runModal(about);
}

void MainWindow::exitApplication()
{
    if (!m_interaction.askYesNo(this, Texts::exitQuestion()))
        return;
    m_interaction.terminateProcess();
    m_closeWithoutPrompt = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closeWithoutPrompt) {
        event->accept();
        return;
    }
    if (!m_interaction.askYesNo(this, Texts::closeQuestion())) {
        event->ignore();
        return;
    }
    m_interaction.terminateProcess();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        // Enter moves on like Tab and never starts a command.
        focusNextChild();
        return true;
    }
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && watched == m_search->field()) {
        // Escape in the search field clears the search; it never ends the program from there.
        m_search->clear();
        return true;
    }
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        // While a scan or a conversion runs, Escape asks the Stop question: ending the program
        // there would leave a conversion half written and without its report. Otherwise it ends
        // the program without the closing question.
        if (m_scanRunning || m_converting) {
            if (!m_askingToStop)
                stop();
            return true;
        }
        m_closeWithoutPrompt = true;
        close();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace app
