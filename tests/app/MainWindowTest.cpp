#include "MainWindow.h"

#include "../support/MailView.h"
#include "AboutDialog.h"
#include "AppTestSupport.h"
#include "Browser.h"
#include "ConvertDestinationDialog.h"
#include "FolderTreeWidget.h"
#include "HelpWindow.h"
#include "ItemListModel.h"
#include "ItemSearch.h"
#include "Panes.h"
#include "ScanThread.h"
#include "Texts.h"
#include "catalog/AppointmentRecord.h"
#include "catalog/Catalogs.h"
#include "catalog/ContactRecord.h"
#include "catalog/SearchQuery.h"
#include "scan/ScanJob.h"
#include "views/FolderTreeModel.h"
#include "views/ListLayout.h"
#include "views/StatusPage.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <memory>
#include <tuple>

using app::Command;
using app::MainWindow;
using app::ScanOutcome;
using apptest::FakeInteraction;
using apptest::FakeScanSession;

namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::QtEnvironment);

// Lets the window's list fill, which runs on another thread, arrive in the list.
void waitForList(const MainWindow& window)
{
    while (window.isFillingList())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The texts of a list column, top to bottom, separated by spaces.
QString columnTexts(const app::ItemListModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.cell(row, column);
    return texts.join(QLatin1Char(' '));
}

QString fromUtf16File(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xFF\xFE"))
        return QStringLiteral("<no byte-order mark>");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                              (bytes.size() - 2) / 2);
}

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
        QDir(m_dir.path()).mkpath(QStringLiteral("tmp"));
        programPath = m_dir.filePath(QStringLiteral("bin/tarvolin-ost2eml"));
        previewFolder = m_dir.filePath(QStringLiteral("tmp")) + QLatin1Char('/');
        window = std::make_unique<MainWindow>(MainWindow::Dependencies{
            interaction, catalogs, treeModel, &scan, &conversion, programPath, previewFolder});
    }

    template <typename T> T* control(int id) const { return window->findChild<T*>(QString::number(id)); }
    QAction* action(int id) const { return window->findChild<QAction*>(QString::number(id)); }

    // Browse, Scan, Stop, Convert buttons; File > Open, Scan, Convert; tree, as the widgets show
    // them.
    std::string widgetStates() const
    {
        std::string s;
        for (const int id : {1002, 1006, 1008, 1007})
            s += control<QPushButton>(id)->isEnabled() ? '1' : '0';
        for (const int id : {32771, 32772, 32773})
            s += action(id)->isEnabled() ? '1' : '0';
        s += control<QWidget>(1000)->isEnabled() ? '1' : '0';
        return s;
    }

    // Convert, the dialog's folder chosen with its Browse button; `more` fills in the rest.
    void convertInto(const QString& folder, const std::function<void(QDialog&)>& more = {})
    {
        interaction.folder = folder;
        interaction.onModal = [more](QDialog& dialog) {
            dialog.findChild<QPushButton*>(QStringLiteral("browseFolder"))->click();
            if (more)
                more(dialog);
        };
        window->convert();
    }

    QString chooseStore()
    {
        const QString path = m_dir.filePath(QStringLiteral("mailbox.ost"));
        interaction.storeFiles.append(path);
        window->browse();
        return path;
    }

    // A folder node with its folder record, as the scan makes them.
    catalog::NodeId addFolder(catalog::NodeId parent, const QString& name, int depth)
    {
        const catalog::NodeId node = treeModel.InsertFolderNode(parent, name);
        catalogs.AppendFolderRecord(name, QString(), depth, name, parent, node);
        return node;
    }

    void appendMail(catalog::NodeId node, int serial, const QString& subject)
    {
        support::MailView mail;
        mail.node = node;
        mail.serial = serial;
        mail.from = QStringLiteral("Ann Example");
        mail.subject = subject;
        mail.flags = QStringLiteral("Read");
        mail.priority = QStringLiteral("Normal");
        mail.body = QStringLiteral("Hello");
        catalogs.AppendMailRecord(mail, mail);
    }

    QTemporaryDir m_dir;
    QString programPath;
    QString previewFolder;
    FakeInteraction interaction;
    FakeScanSession scan;
    apptest::FakeConversionSession conversion;
    catalog::Catalogs catalogs;
    views::FolderTreeModel treeModel;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(MainWindowTest, ControlsMenusAndTextsFollowTheTemplate)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tarvolin OST to EML Converter Ver 1.1"));
    EXPECT_EQ(control<QLabel>(1016)->text(), QStringLiteral("Select OST File : "));
    EXPECT_EQ(control<QPushButton>(1002)->text(), QStringLiteral("Browse..."));
    EXPECT_EQ(control<QPushButton>(1006)->text(), QStringLiteral("Scan"));
    EXPECT_EQ(control<QPushButton>(1008)->text(), QStringLiteral("Stop"));
    EXPECT_EQ(control<QPushButton>(1007)->text(), QStringLiteral("Convert OST to EML"));
    EXPECT_TRUE(control<QLineEdit>(1001)->text().isEmpty());
    ASSERT_NE(control<QTreeWidget>(1000), nullptr);
    ASSERT_NE(control<QTableView>(1005), nullptr);
    ASSERT_NE(control<app::Browser>(1012), nullptr);
    EXPECT_EQ(control<QProgressBar>(1009)->maximum(), 100);
    EXPECT_TRUE(control<QPushButton>(1)->isHidden());
    EXPECT_TRUE(control<QPushButton>(2)->isHidden());

    // Dialog units to pixels: x * 1.5, y * 1.625.
    EXPECT_EQ(control<QPushButton>(1002)->geometry(), QRect(513, 114, 83, 31));
    EXPECT_EQ(MainWindow::templateClientSize(), QSize(884, 653));

    const std::pair<int, const char*> entries[] = {
        {32771, "Open"}, {32772, "Scan"},    {32773, "Convert"},
        {32774, "Exit"}, {32775, "Content"}, {32776, "About Tarvolin OST to EML Converter"},
    };
    // The texts as shown; an "&" marks the access key.
    for (const auto& [id, text] : entries)
        EXPECT_EQ(QString(action(id)->text()).remove(QLatin1Char('&')), QString::fromUtf8(text)) << id;

    const auto* list = window->listModel();
    const QStringList headings = {QStringLiteral("S.NO"), QStringLiteral("Type"),
                                  QStringLiteral("From"), QStringLiteral("E-mail Subject"),
                                  QStringLiteral("Flag"), QStringLiteral("Priority")};
    ASSERT_EQ(list->columnCount(), headings.size());
    for (int i = 0; i < headings.size(); ++i)
        EXPECT_EQ(list->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString(), headings[i]);
    EXPECT_TRUE(control<QTableView>(1005)->isColumnHidden(0));
    EXPECT_TRUE(control<QTableView>(1005)->isColumnHidden(1));
    EXPECT_EQ(control<QTableView>(1005)->columnWidth(3), 400);

    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("pane0"))->text(), app::Texts::productName());
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("pane1"))->text(),
              QStringLiteral("qrc:/extract-ost-to-eml.html"));
}

TEST_F(MainWindowTest, OnlyBrowseAndOpenAfterStartUp)
{
    EXPECT_EQ(widgetStates(), "10001001");
    EXPECT_TRUE(action(32774)->isEnabled());
    EXPECT_TRUE(action(32775)->isEnabled());
    EXPECT_TRUE(action(32776)->isEnabled());
}

TEST_F(MainWindowTest, CancellingTheFirstFileDialogEnablesFileConvert)
{
    window->browse();
    EXPECT_EQ(interaction.storeDialogs, 1);
    EXPECT_EQ(widgetStates(), "10001011");
    EXPECT_TRUE(window->storePath().isEmpty());
}

TEST_F(MainWindowTest, ChoosingAFileShowsItAndTheStoreNode)
{
    QDir(previewFolder).mkpath(QStringLiteral("Attachments/embedded/deeper"));
    const QString path = chooseStore();
    EXPECT_EQ(widgetStates(), "11001101");
    EXPECT_EQ(window->storePath(), path);
    EXPECT_EQ(control<QLineEdit>(1001)->text(), QDir::toNativeSeparators(path));
    EXPECT_FALSE(QDir(previewFolder + QStringLiteral("Attachments")).exists());
    const auto* tree = control<QTreeWidget>(1000);
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QDir::toNativeSeparators(path));
    EXPECT_EQ(control<QTableView>(1005)->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(MainWindowTest, ChoosingAnotherFileClearsTheEarlierScan)
{
    chooseStore();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    appendMail(inbox, 1, QStringLiteral("first"));
    chooseStore();
    EXPECT_EQ(catalogs.mails().size(), 0);
    EXPECT_EQ(catalogs.folders().size(), 0);
    EXPECT_EQ(control<QTreeWidget>(1000)->topLevelItemCount(), 1);
    EXPECT_EQ(control<QTreeWidget>(1000)->topLevelItem(0)->childCount(), 0);
}

TEST_F(MainWindowTest, ScanRunsToCompletion)
{
    const QString path = chooseStore();
    window->scan();
    ASSERT_EQ(scan.startedPaths, QStringList{path});
    EXPECT_EQ(scan.storeNode, treeModel.rootNode());
    EXPECT_EQ(widgetStates(), "00100001");
    EXPECT_TRUE(fromUtf16File(window->statusPagePath()).contains(QStringLiteral("loading.gif")));
    EXPECT_EQ(window->browser()->currentAddress(), QUrl::fromLocalFile(window->statusPagePath()));

    scan.finish(ScanOutcome::Completed);
    EXPECT_EQ(interaction.informations, QStringList{app::Texts::scanCompleted()});
    EXPECT_EQ(widgetStates(), "10011011");
    EXPECT_TRUE(fromUtf16File(window->statusPagePath()).contains(QStringLiteral("done.gif")));
    // Scan stays off until another file is chosen.
    window->scan();
    EXPECT_EQ(scan.startedPaths.size(), 1);
}

TEST_F(MainWindowTest, StatusPageLiesInThePreviewFolderWithItsPictures)
{
    EXPECT_EQ(window->statusPagePath(), previewFolder + QStringLiteral("tarvolin-ost2emltemp.html"));
    chooseStore();
    window->scan();
    for (const char* picture : {"loading.gif", "done.gif"}) {
        QImage image(previewFolder + QLatin1String(picture));
        EXPECT_EQ(image.size(), QSize(100, 100)) << picture;
    }
    EXPECT_TRUE(QDir(m_dir.filePath(QStringLiteral("bin"))).isEmpty());
}

TEST_F(MainWindowTest, FailedScansSayWhyAsErrorsAndLeaveTheNextStepToTheUser)
{
    struct Case
    {
        ScanOutcome outcome;
        QString message;
        QString reason;
    };
    const Case cases[] = {
        {ScanOutcome::NotAnOfflineStore, app::Texts::notAnOstFile(),
         QStringLiteral("a personal store, not an offline one")},
        {ScanOutcome::OpenFailed, app::Texts::openFailed(), QStringLiteral("the file is empty, not a store")},
        {ScanOutcome::WalkFailed, app::Texts::scanFailed(), QString()},
        {ScanOutcome::TextsNotKept, app::Texts::textsNotKept(),
         QStringLiteral("the item texts could not be kept in /tmp/x: No space left on device")},
    };
    for (const auto& c : cases) {
        interaction.errors.clear();
        chooseStore();
        window->scan();
        const int dialogsBefore = interaction.storeDialogs;
        scan.reason = c.reason;
        scan.finish(c.outcome);
        EXPECT_TRUE(interaction.informations.isEmpty());
        EXPECT_EQ(
            interaction.errors,
            QStringList{c.reason.isEmpty() ? c.message : c.message + QStringLiteral("\n\n") + c.reason});
        EXPECT_EQ(interaction.storeDialogs, dialogsBefore);
        // Browse and Scan (to try again) on, Stop off; the status page says what happened.
        EXPECT_EQ(widgetStates(), "11001101");
        const QString page = fromUtf16File(window->statusPagePath());
        EXPECT_TRUE(page.contains(c.message.toHtmlEscaped())) << page.toStdString();
        EXPECT_FALSE(page.contains(QStringLiteral("Recovery Started")));
        EXPECT_TRUE(page.contains(c.reason.toHtmlEscaped()));
        // Items whose texts are lost are not shown: the tree keeps only the store's node.
        if (c.outcome == ScanOutcome::TextsNotKept) {
            EXPECT_EQ(window->listModel()->rowCount(), 0);
            EXPECT_EQ(catalogs.mails().size(), 0);
            EXPECT_EQ(window->tree()->topLevelItemCount(), 1);
        }
    }
}

TEST_F(MainWindowTest, ThePathFieldIsTheStoreThatIsScannedAndConverted)
{
    chooseStore();
    window->scan();
    scan.finish(ScanOutcome::Completed);
    auto* field = control<QLineEdit>(1001);
    ASSERT_FALSE(field->isReadOnly());

    // Typing another path makes it the store: the old scan's results go, Scan comes on.
    const QString typed = m_dir.filePath(QStringLiteral("other.ost"));
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, typed);
    EXPECT_EQ(field->text(), typed);
    EXPECT_EQ(window->storePath(), typed);
    EXPECT_TRUE(control<QPushButton>(1006)->isEnabled());
    window->scan();
    EXPECT_EQ(scan.startedPaths.back(), typed);
    // While the scan runs the field cannot change.
    EXPECT_TRUE(field->isReadOnly());
    scan.finish(ScanOutcome::Completed);

    // An emptied field leaves nothing to scan or convert.
    field->clear();
    QTest::keyClick(field, Qt::Key_A);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(window->storePath().isEmpty());
    EXPECT_FALSE(control<QPushButton>(1006)->isEnabled());
    EXPECT_FALSE(control<QPushButton>(1007)->isEnabled());
}

TEST_F(MainWindowTest, StopDeclinedLetsTheScanGoOn)
{
    chooseStore();
    window->scan();
    interaction.answers = {false};
    window->stop();
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_EQ(interaction.questions[0].text, QStringLiteral("Do you want to stop recovery process ?"));
    EXPECT_EQ(interaction.questions[0].owner, window.get());
    EXPECT_EQ(scan.pauses, 1);
    EXPECT_EQ(scan.resumes, 1);
    EXPECT_EQ(scan.abandons, 0);
    EXPECT_EQ(widgetStates(), "00100001");
    EXPECT_EQ(control<QTreeWidget>(1000)->topLevelItemCount(), 1);
}

TEST_F(MainWindowTest, StopConfirmedAbandonsAndClears)
{
    chooseStore();
    window->scan();
    appendMail(treeModel.rootNode(), 1, QStringLiteral("one"));
    QDir(previewFolder).mkpath(QStringLiteral("Attachments/x"));
    control<QProgressBar>(1009)->setValue(40);
    interaction.answers = {true};
    window->stop();
    EXPECT_EQ(scan.abandons, 1);
    EXPECT_EQ(scan.resumes, 0);
    EXPECT_EQ(catalogs.mails().size(), 0);
    EXPECT_EQ(control<QTreeWidget>(1000)->topLevelItemCount(), 0);
    EXPECT_EQ(window->listModel()->rowCount(), 0);
    EXPECT_EQ(control<QProgressBar>(1009)->value(), 0);
    EXPECT_FALSE(QDir(previewFolder + QStringLiteral("Attachments")).exists());
    EXPECT_EQ(widgetStates(), "10001001");
    EXPECT_EQ(fromUtf16File(window->statusPagePath()), views::StatusPage::stoppedFragment());
    // The abandoned scan's late report changes nothing.
    scan.finish(ScanOutcome::Abandoned);
    EXPECT_TRUE(interaction.informations.isEmpty());
    EXPECT_EQ(widgetStates(), "10001001");
}

TEST_F(MainWindowTest, StopWithoutScanOnlyEnablesBrowse)
{
    chooseStore();
    window->scan();
    scan.finish(ScanOutcome::Completed);
    window->stop();
    EXPECT_TRUE(interaction.questions.empty());
    EXPECT_EQ(widgetStates(), "10011011");
}

TEST_F(MainWindowTest, ScanEndingWhileTheStopQuestionIsOpen)
{
    for (const bool answer : {false, true}) {
        interaction.informations.clear();
        chooseStore();
        window->scan();
        interaction.answers = {answer};
        interaction.duringQuestion = [this] {
            scan.finish(ScanOutcome::Completed);
        };
        window->stop();
        interaction.duringQuestion = nullptr;
        if (answer) {
            // Yes wins: the results are discarded and nothing is announced.
            EXPECT_TRUE(interaction.informations.isEmpty());
            EXPECT_EQ(scan.abandons, 0);
            // File > Convert stays on from the first, completed run.
            EXPECT_EQ(widgetStates(), "10001011");
        } else {
            EXPECT_EQ(interaction.informations, QStringList{app::Texts::scanCompleted()});
            EXPECT_EQ(widgetStates(), "10011011");
        }
    }
}

TEST_F(MainWindowTest, LiveRowsShowTheNewestMailOnTop)
{
    chooseStore();
    window->scan();
    appendMail(treeModel.rootNode(), 1, QStringLiteral("first"));
    appendMail(treeModel.rootNode(), 2, QStringLiteral("second"));
    scan.currentActivity = {app::ScanActivity::Step::Walking, 57, 100};
    scan.finish(ScanOutcome::Completed);
    const auto* list = window->listModel();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->cell(0, 0), QStringLiteral("2"));
    EXPECT_EQ(list->cell(0, 1), QStringLiteral("mail"));
    EXPECT_EQ(list->cell(0, 3), QStringLiteral("second"));
    EXPECT_EQ(list->cell(1, 3), QStringLiteral("first"));
    EXPECT_EQ(control<QProgressBar>(1009)->value(), 57);
}

TEST_F(MainWindowTest, ClickedFolderFillsTheListAndSelectionShowsThePreview)
{
    chooseStore();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    appendMail(inbox, 1, QStringLiteral("first"));
    appendMail(inbox, 2, QStringLiteral("second <b>bold</b>"));
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(inbox);
    waitForList(*window);
    auto* list = window->listModel();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("S.No"));
    EXPECT_EQ(list->cell(0, 3), QStringLiteral("first"));
    EXPECT_EQ(control<QTableView>(1005)->columnWidth(3), 300);

    control<QTableView>(1005)->selectRow(1);
    const QString page = previewFolder + QStringLiteral("temp.html");
    EXPECT_EQ(window->browser()->currentAddress(), QUrl::fromLocalFile(page));
    const QString html = fromUtf16File(page);
    EXPECT_TRUE(html.contains(QStringLiteral("Subjects:")));
    EXPECT_TRUE(html.contains(QStringLiteral("second &lt;b&gt;bold&lt;/b&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral("body.txt")));

    // A folder with nothing to list shows neither the previous rows nor their last preview.
    const catalog::NodeId empty = addFolder(root, QStringLiteral("Tasks"), 2);
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(empty);
    waitForList(*window);
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_EQ(window->browser()->currentAddress(), QUrl(QStringLiteral("about:blank")));
}

// The demo store scanned into the window's catalogs: its folders of tasks, notes and journal
// entries list their items under their own columns, and a selected row shows the item's page.
TEST_F(MainWindowTest, DemoTasksNotesAndJournalListTheirItemsAndSelectionShowsThePreview)
{
    const QString demo = QStringLiteral(OST2EML_BINARY_DIR "/demo/demo.ost");
    if (!QFileInfo::exists(demo))
        GTEST_SKIP() << "no demo store (target demo_store)";
    chooseStore();
    scan::ScanJob job(catalogs, treeModel);
    scan::ScanSettings settings;
    settings.storePath = demo;
    settings.attachmentsDirectory = previewFolder + QStringLiteral("Attachments");
    settings.storeNode = treeModel.rootNode();
    ASSERT_EQ(job.run(settings), scan::ScanOutcome::Completed);
    window->tree()->sync();

    struct Case
    {
        const char* folder;
        const char* headings; // after S.No and Type, separated by "|"
        int rows;
        const char* firstRow;
        const char* onPage;
    };
    const Case cases[] = {
        {"Tasks", "Subject|Due Date|Status|% Complete|Priority", 3,
         "Submit expense report|Oct 10, 2024 17:00:00|Completed|100%|High", "<b>Status :</b>Completed<BR>"},
        {"Notes", "Subject|Color|Last Modified", 1,
         "Wi-Fi password for the offsite|Yellow|Oct 04, 2024 16:20:00",
         "Wi-Fi password for the offsite: see the welcome pack"},
        {"Journal", "Subject|Entry Type|Start", 1,
         "Call with Dana about the Apollo budget|Phone call|Oct 08, 2024 15:30:00",
         "Budget approved.<BR>Dana sends"},
    };
    auto* list = window->listModel();
    const auto show = [&](const char* folder) {
        catalog::NodeId node = catalog::NoNode;
        for (const auto& record : catalogs.folders().records())
            if (record->name == QLatin1String(folder))
                node = record->node;
        Q_EMIT window->tree()->folderClicked(node);
        waitForList(*window);
    };
    const QString page = previewFolder + QStringLiteral("temp.html");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        show(c.folder);
        QStringList headings;
        for (const auto& column : list->columns().mid(2))
            headings << column.heading;
        EXPECT_EQ(headings.join(QLatin1Char('|')), QString::fromUtf8(c.headings));
        ASSERT_EQ(list->rowCount(), c.rows);
        QStringList firstRow;
        for (int column = 2; column < list->columnCount(); ++column)
            firstRow << list->cell(0, column);
        EXPECT_EQ(firstRow.join(QLatin1Char('|')), QString::fromUtf8(c.firstRow));

        QFile::remove(page);
        control<QTableView>(1005)->selectRow(0);
        EXPECT_EQ(window->browser()->currentAddress(), QUrl::fromLocalFile(page));
        EXPECT_TRUE(fromUtf16File(page).contains(QString::fromUtf8(c.onPage)))
            << fromUtf16File(page).toStdString();
    }

    // % Complete sorts as numbers ("100%" last), not as texts.
    show("Tasks");
    list->sort(5);
    EXPECT_EQ(columnTexts(*list, 5), QStringLiteral("0% 50% 100%"));
}

TEST_F(MainWindowTest, SpaceOnASelectedFolderChecksItsSubtree)
{
    chooseStore();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    const catalog::NodeId sub = addFolder(inbox, QStringLiteral("Sub"), 2);
    auto* tree = window->tree();
    tree->sync();
    ASSERT_NE(tree->itemOf(inbox), nullptr);
    tree->setCurrentItem(tree->itemOf(inbox));
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(tree, &space);
    EXPECT_EQ(tree->itemOf(inbox)->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->itemOf(sub)->checkState(0), Qt::Checked);
    EXPECT_TRUE(tree->itemOf(sub)->font(0).bold());
    EXPECT_TRUE(tree->itemOf(inbox)->font(0).bold());
}

TEST_F(MainWindowTest, ClosingAsksAndEndsTheProcessOnYes)
{
    window->show();
    interaction.answers = {false};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_EQ(interaction.questions[0].text,
              QStringLiteral("Are you sure, you want to close this application..                      "));
    EXPECT_EQ(interaction.terminations, 0);
    EXPECT_TRUE(window->isVisible());

    interaction.answers = {true};
    window->close();
    EXPECT_EQ(interaction.terminations, 1);
}

TEST_F(MainWindowTest, ExitAsksItsOwnQuestion)
{
    window->show();
    interaction.answers = {false};
    action(32774)->trigger();
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_EQ(interaction.questions[0].text,
              QStringLiteral("Are you sure, you want to close this application..                       "));
    EXPECT_TRUE(window->isVisible());
    interaction.answers = {true};
    action(32774)->trigger();
    EXPECT_EQ(interaction.terminations, 1);
    EXPECT_EQ(interaction.questions.size(), 2u);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, NoDuringAScanLeavesItRunning)
{
    chooseStore();
    window->scan();
    window->show();
    interaction.answers = {false};
    window->close();
    EXPECT_TRUE(scan.running);
    EXPECT_EQ(scan.abandons, 0);
    EXPECT_EQ(widgetStates(), "00100001");
}

TEST_F(MainWindowTest, EscapeEndsWithoutAQuestion)
{
    window->show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(control<QLineEdit>(1001), &escape);
    EXPECT_TRUE(interaction.questions.empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, EscapeWhileAJobRunsAsksTheStopQuestion)
{
    chooseStore();
    window->show();
    window->scan();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    interaction.answers = {false};
    QApplication::sendEvent(control<QLineEdit>(1001), &escape);
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_EQ(interaction.questions[0].text, QStringLiteral("Do you want to stop recovery process ?"));
    EXPECT_TRUE(scan.running);
    EXPECT_TRUE(window->isVisible());

    scan.finish(ScanOutcome::Completed);
    convertInto(m_dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(conversion.started.size(), 1);
    interaction.answers = {false};
    QApplication::sendEvent(control<QLineEdit>(1001), &escape);
    ASSERT_EQ(interaction.questions.size(), 2u);
    EXPECT_EQ(interaction.questions[1].text,
              QStringLiteral("Do you want to stop OST to EML Conversion process ?"));
    EXPECT_EQ(conversion.stops, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(interaction.terminations, 0);
}

TEST_F(MainWindowTest, MenusHaveAccessKeysAndTheUsualShortcuts)
{
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(menus[1]->text(), QStringLiteral("&Help"));
    for (const int id : {32771, 32772, 32773, 32774, 32775, 32776})
        EXPECT_TRUE(action(id)->text().contains(QLatin1Char('&'))) << id;
    EXPECT_EQ(action(32771)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(action(32774)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(action(32775)->shortcut(), QKeySequence(Qt::Key_F1));

    // Ctrl+Q asks the closing question like File > Exit.
    window->show();
    interaction.answers = {false};
    action(32774)->trigger();
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ArrowKeysListFoldersAndPreviewMails)
{
    chooseStore();
    window->show();
    QCoreApplication::processEvents();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    const catalog::NodeId sent = addFolder(root, QStringLiteral("Sent"), 2);
    appendMail(inbox, 1, QStringLiteral("first"));
    appendMail(inbox, 2, QStringLiteral("second"));
    appendMail(sent, 3, QStringLiteral("sent"));
    auto* tree = window->tree();
    tree->sync();
    tree->expandAll();
    QList<catalog::NodeId> listed;
    QObject::connect(tree, &app::FolderTreeWidget::folderClicked,
                     [&](catalog::NodeId n) { listed.append(n); });
    auto press = [](QWidget* widget, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    tree->setCurrentItem(tree->itemOf(root));
    tree->setFocus();
    press(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentItem(), tree->itemOf(inbox));
    waitForList(*window);
    EXPECT_EQ(window->listModel()->rowCount(), 2);
    press(tree, Qt::Key_Down);
    waitForList(*window);
    EXPECT_EQ(listed, (QList<catalog::NodeId>{inbox, sent}));
    EXPECT_EQ(window->listModel()->rowCount(), 1);

    // Back to Inbox, then down the list: each row is previewed.
    press(tree, Qt::Key_Up);
    waitForList(*window);
    auto* list = control<QTableView>(1005);
    list->setFocus();
    list->selectRow(0);
    const QString page = previewFolder + QStringLiteral("temp.html");
    EXPECT_TRUE(fromUtf16File(page).contains(QStringLiteral("first")));
    press(list, Qt::Key_Down);
    EXPECT_TRUE(fromUtf16File(page).contains(QStringLiteral("second")));
}

TEST_F(MainWindowTest, SearchFieldFindsSelectsNarrowsAndClearsByKeyboard)
{
    catalogs.setTextFolder(m_dir.filePath(QStringLiteral("tmp")));
    catalogs.setSearchable(true);
    chooseStore();
    window->show();
    QCoreApplication::processEvents();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    const catalog::NodeId archive = addFolder(root, QStringLiteral("Archive"), 2);
    appendMail(inbox, 1, QStringLiteral("Budget review"));
    appendMail(inbox, 2, QStringLiteral("Lunch on Friday"));
    appendMail(archive, 3, QStringLiteral("Old budget, München"));
    auto* tree = window->tree();
    tree->sync();
    tree->expandAll();
    tree->setCurrentItem(tree->itemOf(root));
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    waitForList(*window);
    ASSERT_EQ(window->listModel()->rowCount(), 2);

    app::ItemSearch* search = window->search();
    QLineEdit* field = search->field();
    auto settle = [&](const QString& status) {
        QElapsedTimer waited;
        waited.start();
        while (search->statusText() != status && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return search->statusText();
    };
    auto column = [&](int c) {
        QStringList texts;
        for (int row = 0; row < window->listModel()->rowCount(); ++row)
            texts.append(window->listModel()->index(row, c).data().toString());
        return texts;
    };

    // Ctrl+F from the tree puts the focus into the field; the matches of the whole store come
    // with their folders.
    QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("BUDGET"));
    EXPECT_EQ(settle(app::Texts::searchFound(2)), app::Texts::searchFound(2));
    ASSERT_EQ(window->listModel()->columnCount(), 10);
    EXPECT_EQ(window->listModel()->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Folder"));
    EXPECT_EQ(column(3), (QStringList{QStringLiteral("Budget review"), QStringLiteral("Old budget, München")}));
    EXPECT_EQ(column(9), (QStringList{QStringLiteral("Inbox"), QStringLiteral("Archive")}));

    // A match is previewed when selected.
    control<QTableView>(1005)->selectRow(1);
    EXPECT_TRUE(fromUtf16File(previewFolder + QStringLiteral("temp.html")).contains(QStringLiteral("München")));

    // Diacritics do not matter; the selected folder narrows the search to Inbox.
    field->clear();
    QTest::keyClicks(field, QStringLiteral("munchen"));
    EXPECT_EQ(settle(app::Texts::searchFound(1)), app::Texts::searchFound(1));
    search->scopeChoice()->setCurrentIndex(1);
    EXPECT_EQ(settle(app::Texts::searchFound(0)), app::Texts::searchFound(0));
    EXPECT_EQ(window->listModel()->rowCount(), 0);

    // A malformed query says what is wrong instead of listing nothing.
    field->clear();
    QTest::keyClicks(field, QStringLiteral("subject:\"budget"));
    QString problem;
    EXPECT_FALSE(catalog::SearchQuery::parse(field->text(), &problem));
    EXPECT_EQ(settle(problem), problem);
    EXPECT_EQ(search->statusLabel()->toolTip(), problem); // the line itself may be cut

    // Escape clears the field and brings back the folder's list; the window stays open.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    waitForList(*window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->listModel()->columnCount(), 9);
    EXPECT_EQ(column(3), (QStringList{QStringLiteral("Budget review"), QStringLiteral("Lunch on Friday")}));
}

TEST_F(MainWindowTest, ASearchTypedDuringAScanKeepsItsKeys)
{
    chooseStore();
    window->show();
    QCoreApplication::processEvents();
    window->scan();
    window->tree()->setFocus();
    QTest::keyClick(window->tree(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit* field = window->search()->field();
    ASSERT_EQ(QApplication::focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("bud"));
    // New mails reach the list between two keys; the next keys still go into the field.
    appendMail(treeModel.rootNode(), 1, QStringLiteral("budget"));
    QTest::qWait(200); // a few catch-ups of the list
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("get"));
    EXPECT_EQ(field->text(), QStringLiteral("budget"));
    scan.finish(ScanOutcome::Completed);
}

TEST_F(MainWindowTest, AStoreDroppedOnTheWindowIsChosenAsWithBrowse)
{
    window->show();
    const QString path = m_dir.filePath(QStringLiteral("dropped.OST"));
    auto drop = [this](const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return true;
    };
    EXPECT_FALSE(drop(m_dir.filePath(QStringLiteral("notes.txt"))));
    EXPECT_TRUE(control<QLineEdit>(1001)->text().isEmpty());

    ASSERT_TRUE(drop(path));
    EXPECT_EQ(control<QLineEdit>(1001)->text(), QDir::toNativeSeparators(path));
    EXPECT_EQ(window->storePath(), path);
    EXPECT_EQ(widgetStates(), "11001101");

    // While a scan runs (Browse is off) a drop is refused.
    window->scan();
    EXPECT_FALSE(drop(m_dir.filePath(QStringLiteral("other.ost"))));
    EXPECT_EQ(control<QLineEdit>(1001)->text(), QDir::toNativeSeparators(path));
}

TEST_F(MainWindowTest, EnterMovesTheFocusAndStartsNothing)
{
    window->show();
    window->activateWindow();
    auto* path = control<QLineEdit>(1001);
    path->setFocus();
    ASSERT_EQ(window->focusWidget(), path);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(path, &enter);
    EXPECT_NE(window->focusWidget(), path);
    EXPECT_EQ(interaction.storeDialogs, 0);
    EXPECT_TRUE(interaction.questions.empty());
}

TEST_F(MainWindowTest, HelpComesFromTheSharedFolderBesideTheProgram)
{
    // Not installed: the user is told, nothing opens.
    action(32775)->trigger();
    EXPECT_EQ(interaction.errors, QStringList{app::Texts::helpMissing()});
    EXPECT_EQ(window->findChild<app::HelpWindow*>(), nullptr);

    const QString helpFolder = m_dir.filePath(QStringLiteral("share/tarvolin-ost2eml/help"));
    ASSERT_TRUE(QDir().mkpath(helpFolder));
    QFile index(helpFolder + QStringLiteral("/index.html"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("<html><body><h1>Converting a store</h1></body></html>");
    index.close();
    action(32775)->trigger();
    auto* help = window->findChild<app::HelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("Converting a store")));
    // F1 again brings the same window forward.
    action(32775)->trigger();
    EXPECT_EQ(window->findChildren<app::HelpWindow*>().size(), 1);
    EXPECT_EQ(interaction.errors.size(), 1);
}

TEST_F(MainWindowTest, AboutBoxFromTheHelpMenu)
{
    QStringList texts;
    QString okText;
    QSize size;
    interaction.onModal = [&](QDialog& dialog) {
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            if (!label->text().isEmpty())
                texts.append(label->text());
        okText = dialog.findChild<QPushButton*>(QStringLiteral("1006"))->text();
        size = dialog.size();
    };
    action(32776)->trigger();
    EXPECT_EQ(interaction.modalDialogs, QStringList{QStringLiteral("100")});
    EXPECT_TRUE(texts.contains(QStringLiteral("Tarvolin OST to EML Converter Ver 1.1")));
    EXPECT_TRUE(texts.contains(QStringLiteral("E-mail :")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Web Site:")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version " OST2EML_VERSION ". ") + app::Texts::licence()));
    EXPECT_EQ(okText, QStringLiteral("Ok"));
    EXPECT_EQ(size, QSize(600, 333));
}

TEST_F(MainWindowTest, ConvertWithoutAStoreOnlySaysSo)
{
    window->browse(); // cancelled: File > Convert comes on
    action(32773)->trigger();
    EXPECT_TRUE(interaction.modalDialogs.isEmpty());
    EXPECT_TRUE(conversion.started.isEmpty());
    EXPECT_EQ(interaction.informations, QStringList{app::Texts::nothingToConvert()});
}

TEST_F(MainWindowTest, ConversionRunsAfterACompletedScan)
{
    const QString path = chooseStore();
    window->scan();
    scan.finish(ScanOutcome::Completed);
    interaction.informations.clear();

    // A cancelled dialog starts nothing.
    interaction.onModal = [](QDialog& dialog) { dialog.reject(); };
    window->convert();
    EXPECT_TRUE(conversion.started.isEmpty());

    const QString out = m_dir.filePath(QStringLiteral("out"));
    convertInto(out);
    EXPECT_EQ(interaction.folderCaptions,
              QStringList{QStringLiteral("Select the Path to Save Recovered File")});
    ASSERT_EQ(conversion.started, QStringList{path + QStringLiteral(" -> ") + out});
    // Only Stop while it runs.
    EXPECT_EQ(widgetStates(), "00100001");

    interaction.answers = {false};
    window->stop();
    ASSERT_EQ(interaction.questions.size(), 1u);
    EXPECT_EQ(interaction.questions[0].text,
              QStringLiteral("Do you want to stop OST to EML Conversion process ?"));
    EXPECT_EQ(conversion.resumes, 1);
    EXPECT_EQ(conversion.stops, 0);

    interaction.answers = {true};
    window->stop();
    EXPECT_EQ(conversion.stops, 1);
    conversion.finish(app::ConversionOutcome::Stopped, QStringLiteral("3 mails written"));
    ASSERT_EQ(interaction.informations.size(), 1);
    EXPECT_TRUE(interaction.informations[0].startsWith(app::Texts::conversionStopped()));
    EXPECT_TRUE(interaction.informations[0].endsWith(QStringLiteral("3 mails written")));
    // Everything as it was before the conversion.
    EXPECT_EQ(widgetStates(), "10011011");
}

TEST_F(MainWindowTest, ConvertWritesWhatTheDialogSaysWhereItSays)
{
    chooseStore();
    window->scan();
    scan.finish(ScanOutcome::Completed);
    const QString out = m_dir.filePath(QStringLiteral("out"));
    const QString ca = m_dir.filePath(QStringLiteral("ca.pem"));
    QFile(ca).open(QIODevice::WriteOnly);
    using Format = convert::DestinationFormat;
    struct Case
    {
        const char* destination;
        std::vector<std::pair<const char*, QString>> fields; // line edits by name
        bool startTls;
        QString expected; // the request's destination
        Format format;
        int port;
        QString prefix;
        QString caFile;
    };
    const Case cases[] = {
        {"eml", {}, false, out, Format::EmlFiles, 0, {}, {}},
        {"mbox", {}, false, out, Format::Mbox, 0, {}, {}},
        {"maildir", {}, false, out, Format::Maildir, 0, {}, {}},
        // A user name that is an address, a prefix of two levels.
        {"imap",
         {{"host", QStringLiteral(" mail.example.com ")},
          {"user", QStringLiteral("ann@example.com")},
          {"password", QStringLiteral("s3cret pass")},
          {"prefix", QStringLiteral("/Archive/2024/")}},
         false, QStringLiteral("imaps://ann@example.com@mail.example.com/Archive/2024"), Format::EmlFiles, 993,
         QStringLiteral("Archive/2024"), {}},
        // STARTTLS moves the default port along; an IPv6 host; a certificate authority file.
        {"imap",
         {{"host", QStringLiteral("::1")},
          {"user", QStringLiteral("mover")},
          {"password", QStringLiteral("s3cret pass")},
          {"caFile", ca}},
         true, QStringLiteral("imap://mover@[::1]"), Format::EmlFiles, 143, {}, ca},
        {"imap",
         {{"host", QStringLiteral("[::1]")},
          {"port", QStringLiteral("10993")},
          {"user", QStringLiteral("mover")},
          {"password", QStringLiteral("s3cret pass")}},
         false, QStringLiteral("imaps://mover@[::1]:10993"), Format::EmlFiles, 10993, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        conversion.started.clear();
        QLineEdit* password = nullptr;
        convertInto(out, [&](QDialog& dialog) {
            // Contacts are asked for: a folder gets them, a server cannot.
            dialog.findChild<QCheckBox*>(QStringLiteral("contacts"))->setChecked(true);
            dialog.findChild<QRadioButton*>(QLatin1String(c.destination))->click();
            dialog.findChild<QComboBox*>(QStringLiteral("security"))->setCurrentIndex(c.startTls ? 1 : 0);
            for (const auto& [name, text] : c.fields)
                dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
            password = dialog.findChild<QLineEdit*>(QStringLiteral("password"));
            EXPECT_EQ(password->echoMode(), QLineEdit::Password);
            // The password is not kept once the run has it.
            QObject::connect(&dialog, &QObject::destroyed, [&] { password = nullptr; });
        });
        ASSERT_EQ(conversion.started.size(), 1);
        const app::ConversionRequest& request = conversion.startedRequest;
        EXPECT_EQ(request.destination(), c.expected);
        EXPECT_TRUE(request.kinds.mail);
        if (c.port == 0) {
            EXPECT_EQ(request.format, c.format);
            EXPECT_EQ(request.folder, out);
            EXPECT_TRUE(request.kinds.contacts);
            EXPECT_FALSE(request.server);
        } else {
            ASSERT_TRUE(request.server);
            EXPECT_EQ(request.server->implicitTls, !c.startTls);
            EXPECT_EQ(request.server->port, c.port);
            EXPECT_EQ(request.server->prefix, c.prefix);
            EXPECT_EQ(request.password, QByteArray("s3cret pass"));
            EXPECT_EQ(request.caFile, c.caFile);
            EXPECT_FALSE(request.kinds.contacts);
        }
        EXPECT_EQ(password, nullptr);
        conversion.finish(app::ConversionOutcome::Completed);
    }
}

TEST_F(MainWindowTest, ConvertDialogSaysWhatIsMissingAndKeepsToMailForAServer)
{
    const QString file = m_dir.filePath(QStringLiteral("a file"));
    QFile(file).open(QIODevice::WriteOnly);
    struct Case
    {
        const char* destination;
        std::vector<std::pair<const char*, QString>> fields;
        QString problem; // the start of it
    };
    const std::pair<const char*, QString> host{"host", QStringLiteral("mail.example.com")};
    const std::pair<const char*, QString> user{"user", QStringLiteral("ann")};
    const std::pair<const char*, QString> password{"password", QStringLiteral("pw")};
    const Case cases[] = {
        {"eml", {}, app::Texts::folderMissing()},
        {"mbox", {{"folder", file}}, app::Texts::folderIsAFile(file)},
        {"imap", {user, password}, app::Texts::hostMissing()},
        {"imap", {host, {"port", QString()}, user, password}, app::Texts::portMissing()},
        {"imap", {host, {"port", QStringLiteral("99999")}, user, password}, QString()},
        {"imap", {host, password}, app::Texts::userMissing()},
        {"imap", {host, user}, app::Texts::passwordMissing()},
        {"imap", {{"host", QStringLiteral("mail/x")}, user, password}, app::Texts::notAHostName(QStringLiteral("mail/x"))},
        {"imap", {host, user, password, {"caFile", file + QStringLiteral(".missing")}},
         app::Texts::certificateFileMissing(file + QStringLiteral(".missing"))},
    };
    for (const Case& c : cases) {
        app::ConvertDestinationDialog dialog(interaction);
        dialog.findChild<QRadioButton*>(QLatin1String(c.destination))->click();
        for (const auto& [name, text] : c.fields)
            dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
        dialog.setResult(-1);
        dialog.accept();
        // OK leaves the dialog open, with the reason in it.
        EXPECT_EQ(dialog.result(), -1) << c.problem.toStdString();
        const QString shown = dialog.findChild<QLabel*>(QStringLiteral("problem"))->text();
        EXPECT_EQ(shown, dialog.problem());
        if (c.problem.isEmpty())
            EXPECT_TRUE(shown.contains(QStringLiteral("'99999' is not a port"))) << shown.toStdString();
        else
            EXPECT_EQ(shown, c.problem);
    }

    // A server takes mail alone: the other kinds are off, and said to be; with mail unchecked there
    // is nothing to upload.
    app::ConvertDestinationDialog dialog(interaction);
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    auto* mail = dialog.findChild<QCheckBox*>(QStringLiteral("mail"));
    auto* notes = dialog.findChild<QCheckBox*>(QStringLiteral("notes"));
    auto* mailOnly = dialog.findChild<QLabel*>(QStringLiteral("mailOnly"));
    notes->setChecked(true);
    mail->setChecked(false);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_FALSE(mailOnly->isVisibleTo(&dialog));
    dialog.findChild<QRadioButton*>(QStringLiteral("imap"))->click();
    EXPECT_FALSE(notes->isEnabled());
    EXPECT_TRUE(mailOnly->isVisibleTo(&dialog));
    EXPECT_FALSE(ok->isEnabled());
    mail->setChecked(true);
    EXPECT_TRUE(ok->isEnabled());
    // Back to a folder, the notes are as they were.
    dialog.findChild<QRadioButton*>(QStringLiteral("maildir"))->click();
    EXPECT_TRUE(notes->isEnabled() && notes->isChecked());
    // No kind at all: OK is off.
    mail->setChecked(false);
    notes->setChecked(false);
    EXPECT_FALSE(ok->isEnabled());
}

TEST_F(MainWindowTest, RecoveredItemsAreAskedForBeforeScanAndConvertedAsScanned)
{
    auto* include = window->findChild<QAction*>(QStringLiteral("includeRecovered"));
    ASSERT_TRUE(include);
    EXPECT_TRUE(include->isCheckable());
    EXPECT_FALSE(include->isChecked());
    chooseStore();
    include->setChecked(true);
    window->scan();
    EXPECT_TRUE(scan.includeRecovered);
    scan.finish(ScanOutcome::Completed);
    // Convert converts what the scan showed, whatever the check mark says since.
    include->setChecked(false);
    convertInto(m_dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(conversion.started.size(), 1);
    EXPECT_TRUE(conversion.includeRecovered);
}

TEST_F(MainWindowTest, ConversionOutcomesAreReported)
{
    const QString out = m_dir.filePath(QStringLiteral("out"));
    const QString server = QStringLiteral("imaps://ann@mail.example.com");
    struct Case
    {
        app::ConversionOutcome outcome;
        const char* destination;
        QString expectedStart;
        QString expectedEnd;
    };
    using Outcome = app::ConversionOutcome;
    const QString summary = QStringLiteral("summary");
    const QString detail = QStringLiteral("detail");
    const Case cases[] = {
        {Outcome::Completed, "eml", app::Texts::conversionCompleted(), summary},
        {Outcome::NotAnOfflineStore, "eml", app::Texts::notAnOstFile(), detail},
        {Outcome::OpenFailed, "eml", app::Texts::openFailed(), detail},
        {Outcome::DestinationUnusable, "eml", app::Texts::destinationUnusable(), detail},
        {Outcome::DestinationUnusable, "mbox", app::Texts::folderUnusable(out), detail},
        // A login or certificate refused, in the job's words.
        {Outcome::DestinationUnusable, "imap", app::Texts::uploadImpossible(server), detail},
        // A server gone during the run: the summary ends with why.
        {Outcome::DestinationFailed, "imap", app::Texts::destinationFailed(server), summary},
    };
    chooseStore();
    window->scan();
    scan.finish(ScanOutcome::Completed);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expectedStart.toStdString());
        interaction.informations.clear();
        interaction.errors.clear();
        convertInto(out, [&](QDialog& dialog) {
            dialog.findChild<QRadioButton*>(QLatin1String(c.destination))->click();
            for (const auto& [name, text] : {std::pair{"host", QStringLiteral("mail.example.com")},
                                             std::pair{"user", QStringLiteral("ann")},
                                             std::pair{"password", QStringLiteral("pw")}})
                dialog.findChild<QLineEdit*>(QLatin1String(name))->setText(text);
        });
        conversion.finish(c.outcome, summary, detail);
        // A completed conversion informs with its summary; a refused one is an error with its reason.
        const QStringList& said = c.outcome == Outcome::Completed ? interaction.informations : interaction.errors;
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said[0].startsWith(c.expectedStart)) << said[0].toStdString();
        EXPECT_TRUE(said[0].endsWith(c.expectedEnd));
        EXPECT_EQ(widgetStates(), "10011011");
    }
}

TEST_F(MainWindowTest, StoreFromTheCommandLineIsChosenAsWithBrowse)
{
    const QString path = m_dir.filePath(QStringLiteral("given.ost"));
    window->openStore(path);
    EXPECT_EQ(interaction.storeDialogs, 0);
    EXPECT_EQ(window->storePath(), path);
    EXPECT_EQ(widgetStates(), "11001101");
    EXPECT_EQ(control<QTreeWidget>(1000)->topLevelItemCount(), 1);
}

TEST_F(MainWindowTest, OutOfMemoryEndsTheProgramAfterSayingSo)
{
    chooseStore();
    window->scan();
    scan.finish(ScanOutcome::OutOfMemory);
    EXPECT_EQ(interaction.errors, QStringList{QStringLiteral("Not Enough Memory")});
    EXPECT_EQ(interaction.terminations, 1);
    EXPECT_NE(interaction.lastExitCode, 0);
}

TEST_F(MainWindowTest, TheProgressBarSaysWhatTheScanDoesFromTheStart)
{
    auto* bar = control<QProgressBar>(1009);
    chooseStore();
    window->scan();
    // Opening and counting have no total yet: the bar says what happens.
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->text(), app::Texts::openingStore());
    const auto after = [](int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    };
    scan.currentActivity = {app::ScanActivity::Step::Counting, 0, 0};
    after(120);
    EXPECT_EQ(bar->text(), app::Texts::countingItems());
    scan.currentActivity = {app::ScanActivity::Step::Walking, 2500, 100000};
    after(120);
    EXPECT_EQ(bar->maximum(), 100000);
    EXPECT_EQ(bar->value(), 2500);
    EXPECT_EQ(bar->text(), QStringLiteral("2,500 of 100,000 items read"));
    EXPECT_EQ(bar->accessibleDescription(), bar->text());
    // A failed scan leaves an empty bar.
    scan.finish(ScanOutcome::OpenFailed);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(bar->isTextVisible());
}

TEST_F(MainWindowTest, ListHeadingsSortTheRowsAndLiveRowsComeBackOnTop)
{
    window->show();
    auto* list = control<QTableView>(1005);
    app::ItemListModel* model = window->listModel();
    model->setContents(views::ListLayout::columns(views::ListLayout::Kind::Appointment),
                       {QStringLiteral("1|Appointment|b||Oct 10, 2024 15:00:00").split(u'|'),
                        QStringLiteral("2|Appointment|a10||Sep 30, 2024 09:00:00").split(u'|'),
                        QStringLiteral("3|Appointment|a9||None").split(u'|')});
    const auto column = [&](int c) {
        return columnTexts(*model, c);
    };
    QHeaderView* header = list->horizontalHeader();
    const auto clickHeading = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    clickHeading(2); // Subject: numbers within texts as numbers
    EXPECT_EQ(column(2), QStringLiteral("a9 a10 b"));
    clickHeading(2);
    EXPECT_EQ(column(2), QStringLiteral("b a10 a9"));
    clickHeading(4); // Start: dates as dates, none first
    EXPECT_EQ(column(0), QStringLiteral("3 2 1"));

    // Mails read by a scan go on top again, and the heading no longer claims an order.
    model->prependRows({QStringLiteral("4|Appointment|new").split(u'|')});
    EXPECT_EQ(model->cell(0, 2), QStringLiteral("new"));
    EXPECT_EQ(header->sortIndicatorSection(), 4);
    window->listModel()->setContents(views::ListLayout::columns(views::ListLayout::Kind::Appointment), {});
    EXPECT_EQ(header->sortIndicatorSection(), -1);
}

TEST_F(MainWindowTest, AMailFolderSortsByReceivedAsDatesAndBySizeAsNumbers)
{
    chooseStore();
    window->show();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    // Serial, delivery time (FILETIME: 2024-09-30, 2024-10-10, none), size.
    for (const auto& [serial, received, size] :
         {std::tuple{1, std::optional<quint64>(133721280000000000ull), std::optional<quint32>(900)},
          std::tuple{2, std::optional<quint64>(133729920000000000ull), std::optional<quint32>(10000)},
          std::tuple{3, std::optional<quint64>(), std::optional<quint32>(25)}}) {
        support::MailView mail;
        mail.node = inbox;
        mail.serial = serial;
        mail.subject = QStringLiteral("m%1").arg(serial);
        mail.deliveryTime = received;
        mail.size = size;
        catalogs.AppendMailRecord(mail, mail);
    }
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(inbox);
    waitForList(*window);
    app::ItemListModel* model = window->listModel();
    ASSERT_EQ(model->headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Received"));
    ASSERT_EQ(model->headerData(8, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Size"));
    EXPECT_EQ(model->cell(1, 6), QStringLiteral("Oct 10, 2024 00:00:00"));
    const auto serials = [&] {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->cell(row, 0);
        return texts.join(QLatin1Char(' '));
    };
    QHeaderView* header = control<QTableView>(1005)->horizontalHeader();
    const auto clickHeading = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    clickHeading(6); // none first, then by date
    EXPECT_EQ(serials(), QStringLiteral("3 1 2"));
    clickHeading(6);
    EXPECT_EQ(serials(), QStringLiteral("2 1 3"));
    clickHeading(8); // 25 < 900 < 10000, not as texts
    EXPECT_EQ(serials(), QStringLiteral("3 1 2"));
}

TEST_F(MainWindowTest, TheWindowKeepsASizeAtWhichNoControlsOverlap)
{
    window->show();
    QCoreApplication::processEvents();
    window->resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), window->minimumSize());
    QList<QWidget*> controls;
    for (const int id : {1001, 1002, 1006, 1008, 1007, 1000, 1005, 1012, 1009})
        controls << control<QWidget>(id);
    for (int a = 0; a < controls.size(); ++a)
        for (int b = a + 1; b < controls.size(); ++b)
            EXPECT_FALSE(controls[a]->geometry().intersects(controls[b]->geometry()))
                << controls[a]->objectName().toStdString() << " and "
                << controls[b]->objectName().toStdString();
}

TEST_F(MainWindowTest, ResizingMovesTheControlsAndPlacesTheBrowser)
{
    window->show();
    QCoreApplication::processEvents();
    QWidget* client = window->centralWidget();
    EXPECT_EQ(client->size(), MainWindow::templateClientSize());
    const QSize before = client->size();
    const QRect browse = control<QWidget>(1002)->geometry();
    const QRect list = control<QWidget>(1005)->geometry();
    const QRect tree = control<QWidget>(1000)->geometry();
    const QRect progress = control<QWidget>(1009)->geometry();
    window->resize(window->size() + QSize(100, 60));
    QCoreApplication::processEvents();
    const QSize delta = client->size() - before;
    ASSERT_EQ(delta, QSize(100, 60));
    EXPECT_EQ(control<QWidget>(1002)->geometry(), browse.translated(100, 0));
    EXPECT_EQ(control<QWidget>(1005)->geometry(), list.adjusted(0, 0, 100, 0));
    EXPECT_EQ(control<QWidget>(1000)->geometry(), tree.adjusted(0, 0, 0, 60));
    EXPECT_EQ(control<QWidget>(1009)->geometry(), progress.adjusted(0, 60, 100, 60));
    EXPECT_EQ(control<QWidget>(1012)->geometry(),
              QRect(243, 325, client->width() - 250, client->height() - 400));
}

// Drags a pane boundary by (dx, dy) with the left button, as the mouse does.
void dragHandle(QWidget* handle, QPoint distance)
{
    // The pointer's place on the screen; the handle moves under it while it is dragged.
    const QPointF start = handle->mapToGlobal(QRectF(handle->rect()).center());
    const auto send = [&](QEvent::Type type, QPointF global, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, handle->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPointF(distance) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPointF(distance), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPointF(distance), Qt::LeftButton, Qt::NoButton);
}

TEST_F(MainWindowTest, DraggedBoundariesResizeThePanesWithinLimitsAndStayOnResizing)
{
    window->show();
    QCoreApplication::processEvents();
    QWidget* tree = control<QWidget>(1000);
    QWidget* list = control<QWidget>(1005);
    QWidget* field = control<QWidget>(1020);
    QWidget* preview = control<QWidget>(1012);
    QWidget* treeBoundary = window->panes()->treeBoundary();
    QWidget* previewBoundary = window->panes()->previewBoundary();
    const QRect tree0 = tree->geometry(), list0 = list->geometry(), field0 = field->geometry(),
                preview0 = preview->geometry();
    for (QWidget* pane : {tree, list, preview})
        for (QWidget* handle : {treeBoundary, previewBoundary})
            EXPECT_FALSE(handle->geometry().intersects(pane->geometry())) << pane->objectName().toStdString();
    EXPECT_EQ(treeBoundary->cursor().shape(), Qt::SplitHCursor);
    EXPECT_EQ(previewBoundary->cursor().shape(), Qt::SplitVCursor);

    dragHandle(treeBoundary, QPoint(60, 7));
    EXPECT_EQ(tree->geometry(), tree0.adjusted(0, 0, 60, 0));
    EXPECT_EQ(list->geometry(), list0.adjusted(60, 0, 0, 0));
    EXPECT_EQ(field->geometry(), field0.adjusted(60, 0, 0, 0));
    EXPECT_EQ(preview->geometry(), preview0.adjusted(60, 0, 0, 0));
    dragHandle(previewBoundary, QPoint(-9, 120));
    EXPECT_EQ(list->geometry(), list0.adjusted(60, 0, 0, 120));
    EXPECT_EQ(preview->geometry(), preview0.adjusted(60, 120, 0, 0));
    EXPECT_EQ(previewBoundary->geometry().left(), list->geometry().left());

    // A wider and taller window keeps the dragged boundaries where they are.
    window->resize(window->size() + QSize(100, 60));
    QCoreApplication::processEvents();
    EXPECT_EQ(tree->geometry(), tree0.adjusted(0, 0, 60, 60));
    EXPECT_EQ(list->geometry(), list0.adjusted(60, 0, 100, 120));
    EXPECT_EQ(preview->geometry(), preview0.adjusted(60, 120, 100, 60));

    // Far drags stop where each pane keeps its smallest size.
    dragHandle(treeBoundary, QPoint(-2000, 0));
    EXPECT_EQ(tree->width(), app::Panes::MinimumTreeWidth);
    dragHandle(previewBoundary, QPoint(0, 2000));
    EXPECT_EQ(preview->height(), app::Panes::MinimumPreviewHeight);
    dragHandle(previewBoundary, QPoint(0, -4000));
    EXPECT_EQ(list->height(), app::Panes::MinimumListHeight);
    for (QWidget* handle : {treeBoundary, previewBoundary})
        for (QWidget* pane : {tree, list, preview})
            EXPECT_FALSE(handle->geometry().intersects(pane->geometry())) << pane->objectName().toStdString();
}

// Scans the demo store (written by the build) into a window of the template's size, opens the
// folder with the most mails, selects its first mail and saves a picture of the window (and of
// the about box) under build/screenshots for people to look at.
TEST(MainWindowScreenshot, SavesTheWindowAfterAScan)
{
    const QString store = QStringLiteral(OST2EML_BINARY_DIR "/demo/demo.ost");
    if (!QFileInfo::exists(store))
        GTEST_SKIP() << "no demo store (target demo_store)";
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("bin"));
    QDir(dir.path()).mkpath(QStringLiteral("tmp"));
    for (const char* picture : {"loading.gif", "done.gif"})
        QFile::copy(QStringLiteral(OST2EML_SOURCE_DIR "/res/pages/") + QLatin1String(picture),
                    dir.filePath(QStringLiteral("bin/")) + QLatin1String(picture));
    FakeInteraction interaction;
    catalog::Catalogs catalogs;
    views::FolderTreeModel treeModel;
    const QString previewFolder = dir.filePath(QStringLiteral("tmp")) + QLatin1Char('/');
    app::ScanThread scan(catalogs, treeModel, previewFolder + QStringLiteral("Attachments"));
    MainWindow window({interaction, catalogs, treeModel, &scan, nullptr,
                       dir.filePath(QStringLiteral("bin/tarvolin-ost2eml")), previewFolder});
    window.show();
    QCoreApplication::processEvents();

    auto waitFor = [](auto* sender, auto signal) {
        QEventLoop loop;
        QObject::connect(sender, signal, &loop, [&loop] { loop.quit(); });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const QString pictures = QStringLiteral(OST2EML_BINARY_DIR "/screenshots");
    QDir().mkpath(pictures);
    window.showProductPage();
    waitFor(window.browser(), &app::Browser::pageLoaded);
    QEventLoop paint;
    QTimer::singleShot(500, &paint, &QEventLoop::quit);
    paint.exec();
    EXPECT_TRUE(window.grab().save(pictures + QStringLiteral("/start-up.png")));

    interaction.storeFiles.append(store);
    window.browse();
    window.scan();
    waitFor(&scan, &app::ScanSession::finished);
    ASSERT_EQ(interaction.informations, QStringList{app::Texts::scanCompleted()});
    // The status pages of a short scan may still be loading; let them finish first, so that the
    // preview is the last page the browser loads.
    QEventLoop statusPages;
    QTimer::singleShot(1000, &statusPages, &QEventLoop::quit);
    statusPages.exec();

    catalog::NodeId busiest = catalog::NoNode;
    qsizetype most = 0;
    for (const auto& folder : catalogs.folders().records()) {
        const qsizetype count = catalogs.mails().countForNode(folder->node);
        if (count > most) {
            most = count;
            busiest = folder->node;
        }
    }
    ASSERT_NE(busiest, catalog::NoNode);
    window.tree()->setCurrentItem(window.tree()->itemOf(busiest));
    Q_EMIT window.tree()->folderClicked(busiest);
    waitForList(window);
    ASSERT_EQ(window.listModel()->rowCount(), most);
    window.findChild<QTableView*>(QStringLiteral("1005"))->selectRow(0);
    waitFor(window.browser(), &app::Browser::pageLoaded);
    // Lets the page be painted before the picture is taken.
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();

    EXPECT_TRUE(window.grab().save(pictures + QStringLiteral("/main-window.png")));
    window.resize(1400, 900);
    QEventLoop resized;
    QTimer::singleShot(500, &resized, &QEventLoop::quit);
    resized.exec();
    EXPECT_TRUE(window.grab().save(pictures + QStringLiteral("/main-window-large.png")));

    // A mail whose only body is RTF (holding HTML), and one with an inline picture.
    const std::pair<const char*, const char*> mails[] = {
        {"Payment reminder", "/rtf-only-mail.png"}, {"Photos from the offsite", "/inline-picture-mail.png"}};
    for (const auto& [subject, picture] : mails) {
        catalog::Catalog<catalog::MailRecord>::Pointer mail;
        for (const auto& record : catalogs.mails().records()) {
            if (record->subject == QString::fromUtf8(subject))
                mail = record;
        }
        ASSERT_TRUE(mail) << subject;
        window.tree()->setCurrentItem(window.tree()->itemOf(mail->node));
        Q_EMIT window.tree()->folderClicked(mail->node);
        waitForList(window);
        for (int row = 0; row < window.listModel()->rowCount(); ++row) {
            if (window.listModel()->cell(row, 0) == QString::number(mail->serial))
                window.findChild<QTableView*>(QStringLiteral("1005"))->selectRow(row);
        }
        waitFor(window.browser(), &app::Browser::pageLoaded);
        QEventLoop shown;
        QTimer::singleShot(800, &shown, &QEventLoop::quit);
        shown.exec();
        EXPECT_TRUE(window.grab().save(pictures + QLatin1String(picture)));
    }
    app::AboutDialog about(&window);
    about.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(about.grab().save(pictures + QStringLiteral("/about-box.png")));
}

TEST_F(MainWindowTest, TreeClicksSelectFillAndCheck)
{
    chooseStore();
    window->show();
    QCoreApplication::processEvents();
    const catalog::NodeId root = treeModel.rootNode();
    auto* tree = window->tree();
    QList<catalog::NodeId> clicked;
    QObject::connect(tree, &app::FolderTreeWidget::folderClicked,
                     [&](catalog::NodeId n) { clicked.append(n); });
    auto press = [tree](QTreeWidgetItem* item, int x) {
        const QRect rect = tree->visualItemRect(item);
        const QPoint pos(x < 0 ? rect.center().x() : rect.left() + x, rect.center().y());
        QMouseEvent event(QEvent::MouseButtonPress, pos, tree->viewport()->mapToGlobal(pos), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &event);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, tree->viewport()->mapToGlobal(pos),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &release);
    };
    // The check box is at the row's left end, before the icon.
    const int onCheckBox = 8;

    // The store node before any folder record: not a folder, its check box never checks it.
    tree->sync();
    press(tree->itemOf(root), -1);
    EXPECT_EQ(tree->currentItem(), tree->itemOf(root));
    EXPECT_TRUE(clicked.isEmpty());
    press(tree->itemOf(root), onCheckBox);
    EXPECT_EQ(tree->itemOf(root)->checkState(0), Qt::Unchecked);

    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    const catalog::NodeId sub = addFolder(inbox, QStringLiteral("Sub"), 2);
    appendMail(inbox, 1, QStringLiteral("hello"));
    tree->sync();
    QCoreApplication::processEvents();

    press(tree->itemOf(inbox), -1);
    waitForList(*window);
    EXPECT_EQ(clicked, QList<catalog::NodeId>{inbox});
    EXPECT_EQ(window->listModel()->rowCount(), 1);
    EXPECT_EQ(tree->itemOf(inbox)->checkState(0), Qt::Unchecked);

    press(tree->itemOf(inbox), onCheckBox);
    EXPECT_EQ(tree->itemOf(inbox)->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->itemOf(sub)->checkState(0), Qt::Checked);
    EXPECT_TRUE(tree->itemOf(sub)->font(0).bold());

    // Unchecking a child unchecks its ancestors.
    press(tree->itemOf(sub), onCheckBox);
    EXPECT_EQ(tree->itemOf(sub)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(tree->itemOf(inbox)->checkState(0), Qt::Unchecked);
}

TEST_F(MainWindowTest, ListShowsTheFolderClickedLast)
{
    chooseStore();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId inbox = addFolder(root, QStringLiteral("Inbox"), 1);
    const catalog::NodeId sent = addFolder(root, QStringLiteral("Sent Items"), 1);
    for (int i = 1; i <= 2000; ++i)
        appendMail(inbox, i, QStringLiteral("in %1").arg(i));
    appendMail(sent, 2001, QStringLiteral("out"));
    Q_EMIT window->tree()->folderClicked(inbox);
    Q_EMIT window->tree()->folderClicked(sent);
    waitForList(*window);
    ASSERT_EQ(window->listModel()->rowCount(), 1);
    EXPECT_EQ(window->listModel()->cell(0, 3), QStringLiteral("out"));

    // A fill of catalogs that a new file has emptied meanwhile shows nothing of them.
    Q_EMIT window->tree()->folderClicked(inbox);
    chooseStore();
    waitForList(*window);
    EXPECT_EQ(window->listModel()->rowCount(), 0);
}

TEST_F(MainWindowTest, ClickRightOfAShortLabelIsOnItsRow)
{
    chooseStore();
    window->show();
    const catalog::NodeId inbox = addFolder(treeModel.rootNode(), QStringLiteral("Inbox"), 1);
    auto* tree = window->tree();
    tree->sync();
    QCoreApplication::processEvents();
    QList<catalog::NodeId> clicked;
    QObject::connect(tree, &app::FolderTreeWidget::folderClicked,
                     [&](catalog::NodeId n) { clicked.append(n); });
    const QPoint pos(tree->viewport()->width() - 3, tree->visualItemRect(tree->itemOf(inbox)).center().y());
    QMouseEvent event(QEvent::MouseButtonPress, pos, tree->viewport()->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &event);
    EXPECT_EQ(clicked, QList<catalog::NodeId>{inbox});
    EXPECT_EQ(tree->currentItem(), tree->itemOf(inbox));
    waitForList(*window);
}

TEST_F(MainWindowTest, ContactAndAppointmentPagesShowRecordTextsAsText)
{
    chooseStore();
    const catalog::NodeId root = treeModel.rootNode();
    const catalog::NodeId contacts = addFolder(root, QStringLiteral("Contacts"), 1);
    const catalog::NodeId calendar = addFolder(root, QStringLiteral("Calendar"), 1);
    catalog::ContactRecord::SlotValues slots{};
    for (std::size_t slot = 0; slot < slots.size(); ++slot)
        slots[slot] = QStringLiteral("<b>slot %1</b>").arg(slot + 1);
    catalogs.AppendContactRecord(QStringLiteral("Contacts"), contacts, 7, slots, 1);
    catalog::AppointmentRecord appointment;
    appointment.node = calendar;
    appointment.serial = 2;
    appointment.location = QStringLiteral("Room <script>alert(1)</script>");
    appointment.start = QStringLiteral("Jan 05, 2010 14:03:59");
    catalogs.AppendAppointmentRecord(appointment);
    window->tree()->sync();
    const QString page = previewFolder + QStringLiteral("temp.html");

    for (const catalog::NodeId folder : {contacts, calendar}) {
        Q_EMIT window->tree()->folderClicked(folder);
        waitForList(*window);
        ASSERT_EQ(window->listModel()->rowCount(), 1);
        control<QTableView>(1005)->selectRow(0);
        EXPECT_EQ(window->browser()->currentAddress(), QUrl::fromLocalFile(page));
        const QString html = fromUtf16File(page);
        EXPECT_FALSE(html.contains(QStringLiteral("<script>"))) << html.toStdString();
        EXPECT_FALSE(html.contains(QStringLiteral("<b>slot"))) << html.toStdString();
        if (folder == contacts)
            EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;slot 1&lt;/b&gt;"))) << html.toStdString();
        else
            EXPECT_TRUE(html.contains(QStringLiteral("Room &lt;script&gt;alert(1)&lt;/script&gt;")))
                << html.toStdString();
    }
}

TEST_F(MainWindowTest, ASubjectCarryingAScriptIsShownAsText)
{
    chooseStore();
    const catalog::NodeId inbox = addFolder(treeModel.rootNode(), QStringLiteral("Inbox"), 1);
    appendMail(inbox, 1, QStringLiteral("<script>document.title='x'</script>"));
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(inbox);
    waitForList(*window);
    ASSERT_EQ(window->listModel()->rowCount(), 1);
    EXPECT_EQ(window->listModel()->cell(0, 3), QStringLiteral("<script>document.title='x'</script>"));
    control<QTableView>(1005)->selectRow(0);
    const QString html = fromUtf16File(previewFolder + QStringLiteral("temp.html"));
    EXPECT_FALSE(html.contains(QStringLiteral("<script>")));
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;script&gt;document.title=")));
}

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST_F(MainWindowTest, LinksOpenOnlySavedAttachmentsAndWebAddresses)
{
    const QString saved = previewFolder + QStringLiteral("Attachments/.files/1/a.pdf");
    const QString elsewhere = m_dir.filePath(QStringLiteral("bin/tool.sh"));
    writeFile(saved, "pdf");
    writeFile(elsewhere, "#!/bin/sh");
    for (const QUrl& url :
         {QUrl::fromLocalFile(saved), QUrl::fromLocalFile(elsewhere),
          QUrl::fromLocalFile(previewFolder + QStringLiteral("Attachments/../../bin/tool.sh")),
          QUrl(QStringLiteral("https://example.com/a")), QUrl(QStringLiteral("mailto:ann@example.com")),
          QUrl(QStringLiteral("smb://server/share/x.exe"))})
        Q_EMIT window->browser()->linkActivated(url);
    EXPECT_EQ(interaction.openedUrls,
              (std::vector<QUrl>{QUrl::fromLocalFile(QFileInfo(saved).canonicalFilePath()),
                                 QUrl(QStringLiteral("https://example.com/a")),
                                 QUrl(QStringLiteral("mailto:ann@example.com"))}));
}

TEST_F(MainWindowTest, AttachedMailsLinkToTheirPreviewAndFilesThatCannotOpenAreOfferedForSaving)
{
    chooseStore();
    const catalog::NodeId inbox = addFolder(treeModel.rootNode(), QStringLiteral("Inbox"), 1);
    appendMail(inbox, 11, QStringLiteral("Conference schedule"));
    const QString saved = previewFolder + QStringLiteral("Attachments/.files/1/a.pdf");
    writeFile(saved, "pdf");
    const QString directory = previewFolder + QStringLiteral("Attachments/");
    support::MailView mail;
    mail.node = inbox;
    mail.serial = 12;
    mail.subject = QStringLiteral("FW: Conference schedule");
    mail.attachments = directory + QStringLiteral("Embedded00001 ;") + directory + QStringLiteral("handbook.pdf ;") +
                       directory + QStringLiteral("a.pdf ;");
    catalog::MailAttachment attached{directory + QStringLiteral("Embedded00001"), {}, {}};
    attached.itemSerial = 11;
    catalog::MailAttachment reference{directory + QStringLiteral("handbook.pdf"), {}, {}};
    reference.target = QStringLiteral("\\\\files\\handbook <1>.pdf");
    mail.attachmentFiles = {attached, reference, {directory + QStringLiteral("a.pdf"), saved, {}}};
    catalogs.AppendMailRecord(mail, mail);
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(inbox);
    waitForList(*window);
    auto* list = control<QTableView>(1005);
    list->selectRow(window->listModel()->cell(0, 0) == QStringLiteral("12") ? 0 : 1);
    const QString pagePath = previewFolder + QStringLiteral("temp.html");
    const QString page = fromUtf16File(pagePath);
    EXPECT_TRUE(page.contains(QStringLiteral("<a href=\"item:11\">Embedded00001</a> ;"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("handbook.pdf (\\\\files\\handbook &lt;1&gt;.pdf) ;")))
        << page.toStdString();

    // The attached mail's own page; a serial no record has leaves the preview as it is.
    Q_EMIT window->browser()->linkActivated(QUrl(QStringLiteral("item:11")));
    EXPECT_TRUE(fromUtf16File(pagePath).contains(QStringLiteral(">Conference schedule<")))
        << fromUtf16File(pagePath).toStdString();
    Q_EMIT window->browser()->linkActivated(QUrl(QStringLiteral("item:99")));
    EXPECT_TRUE(fromUtf16File(pagePath).contains(QStringLiteral(">Conference schedule<")));
    EXPECT_TRUE(interaction.openedUrls.empty());

    // No application for the file: asked, then saved where the user chooses; a No saves nothing.
    interaction.openingFails = true;
    const QString target = m_dir.filePath(QStringLiteral("target"));
    QDir().mkpath(target);
    interaction.folder = target;
    interaction.answers = {false, true};
    Q_EMIT window->browser()->linkActivated(QUrl::fromLocalFile(saved));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/a.pdf")));
    Q_EMIT window->browser()->linkActivated(QUrl::fromLocalFile(saved));
    ASSERT_EQ(interaction.questions.size(), 2u);
    EXPECT_EQ(interaction.questions[1].text, app::Texts::attachmentNotOpened(QStringLiteral("a.pdf")));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/a.pdf")));
    EXPECT_TRUE(interaction.errors.isEmpty());
}

TEST_F(MainWindowTest, SaveAttachmentsCopiesThePreviewedMailsFilesWithoutReplacing)
{
    chooseStore();
    const catalog::NodeId inbox = addFolder(treeModel.rootNode(), QStringLiteral("Inbox"), 1);
    const QString saved = previewFolder + QStringLiteral("Attachments/.files/1/a.pdf");
    writeFile(saved, "pdf");
    support::MailView mail;
    mail.node = inbox;
    mail.serial = 1;
    mail.subject = QStringLiteral("with file");
    mail.attachments = previewFolder + QStringLiteral("Attachments/a.pdf ;");
    mail.attachmentFiles = {{previewFolder + QStringLiteral("Attachments/a.pdf"), saved, {}}};
    catalogs.AppendMailRecord(mail, mail);
    appendMail(inbox, 2, QStringLiteral("without"));
    window->tree()->sync();
    Q_EMIT window->tree()->folderClicked(inbox);
    waitForList(*window);
    auto* save = window->findChild<QAction*>(QStringLiteral("saveAttachments"));
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->isEnabled());

    auto* list = control<QTableView>(1005);
    const int withFile = window->listModel()->cell(0, 0) == QStringLiteral("1") ? 0 : 1;
    list->selectRow(withFile);
    ASSERT_TRUE(save->isEnabled());
    const QString page = fromUtf16File(previewFolder + QStringLiteral("temp.html"));
    EXPECT_TRUE(page.contains(QStringLiteral(">a.pdf</a> ;"))) << page.toStdString();

    const QString target = m_dir.filePath(QStringLiteral("target"));
    QDir().mkpath(target);
    writeFile(target + QStringLiteral("/a.pdf"), "mine");
    interaction.folder = target;
    save->trigger();
    save->trigger();
    EXPECT_EQ(interaction.folderCaptions.size(), 2);
    EXPECT_TRUE(interaction.errors.isEmpty());
    QFile kept(target + QStringLiteral("/a.pdf"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "mine");
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/a (2).pdf")));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/a (3).pdf")));

    interaction.folder = m_dir.filePath(QStringLiteral("missing"));
    save->trigger();
    ASSERT_EQ(interaction.errors.size(), 1);
    EXPECT_TRUE(interaction.errors[0].startsWith(app::Texts::attachmentsNotSaved()));
    EXPECT_TRUE(interaction.errors[0].contains(QStringLiteral("a.pdf")));

    list->selectRow(1 - withFile);
    EXPECT_FALSE(save->isEnabled());
    // Choosing another file removes the saved attachments; nothing is left to save.
    list->selectRow(withFile);
    chooseStore();
    EXPECT_FALSE(save->isEnabled());
}

// Without a preview folder of its own the window uses the run's private folder: nothing is
// written into the shared temporary folder, and links planted at the names used there before
// lead nowhere.
TEST(MainWindowFolders, PagesGoIntoThePrivateRunFolderOnly)
{
    QTemporaryDir programFolder;
    QTemporaryDir shared;
    const QByteArray previousTemp = qgetenv("TMPDIR");
    const auto restore = qScopeGuard([&] {
        if (previousTemp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", previousTemp);
    });
    qputenv("TMPDIR", QFile::encodeName(shared.path()));
    const QString victim = shared.filePath(QStringLiteral("victim"));
    writeFile(victim, "keep me");
    for (const char* name :
         {"temp.html", "body.html", "body.txt", "Attachments", "tarvolin-ost2emltemp.html"})
        ASSERT_TRUE(QFile::link(victim, shared.filePath(QLatin1String(name))));
    FakeInteraction interaction;
    FakeScanSession scan;
    catalog::Catalogs catalogs;
    views::FolderTreeModel treeModel;
    MainWindow window({interaction, catalogs, treeModel, &scan, nullptr,
                       programFolder.filePath(QStringLiteral("tarvolin-ost2eml")), QString()});
    interaction.storeFiles.append(shared.filePath(QStringLiteral("mailbox.ost")));
    window.browse();
    window.scan();
    const catalog::NodeId inbox = treeModel.InsertFolderNode(treeModel.rootNode(), QStringLiteral("Inbox"));
    catalogs.AppendFolderRecord(QStringLiteral("Inbox"), QString(), 1, QStringLiteral("Inbox"),
                                treeModel.rootNode(), inbox);
    for (int kind : {0, 1}) {
        support::MailView mail;
        mail.node = inbox;
        mail.serial = kind + 1;
        mail.bodyKind = kind;
        mail.body = QStringLiteral("secret");
        catalogs.AppendMailRecord(mail, mail);
    }
    scan.finish(ScanOutcome::Completed);
    Q_EMIT window.tree()->folderClicked(inbox);
    waitForList(window);
    auto* list = window.findChild<QTableView*>(QStringLiteral("1005"));
    list->selectRow(0);
    list->selectRow(1);

    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    const QFileInfoList made =
        QDir(shared.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    ASSERT_EQ(made.size(), 1);
    const QString runFolder = made[0].filePath();
    EXPECT_EQ(made[0].permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                       QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
              QFile::Permissions());
    EXPECT_EQ(QFileInfo(window.statusPagePath()).absolutePath(), runFolder);
    EXPECT_EQ(window.browser()->currentAddress(),
              QUrl::fromLocalFile(runFolder + QStringLiteral("/temp.html")));
    for (const char* name : {"temp.html", "body.html", "body.txt", "tarvolin-ost2emltemp.html", "done.gif"})
        EXPECT_TRUE(QFileInfo::exists(runFolder + QLatin1Char('/') + QLatin1String(name))) << name;
    EXPECT_TRUE(QDir(programFolder.path()).isEmpty());
}
