// The desktop program used with the keyboard alone, from start to conversion, on the demo store
// with the real scan, preview and conversion: what a user who never touches the mouse does.

#include "AppTestSupport.h"
#include "Browser.h"
#include "ConversionThread.h"
#include "FolderTreeWidget.h"
#include "HelpWindow.h"
#include "ItemListModel.h"
#include "MainWindow.h"
#include "MessageBuilder.h"
#include "ScanThread.h"
#include "StoreWriter.h"
#include "Texts.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"
#include "views/ListLayout.h"

#include <QAccessible>
#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWebEngineView>

using app::MainWindow;
using apptest::FakeInteraction;

namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::QtEnvironment);

template <typename Predicate> bool waitUntil(Predicate done, int milliseconds = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xFF\xFE"))
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    return QString::fromUtf8(bytes);
}

class Walkthrough : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(m_store))
            GTEST_SKIP() << "no demo store (target demo_store)";
        ASSERT_TRUE(m_dir.isValid());
        // As when a screen reader runs: the preview builds its accessible tree only then.
        QAccessible::setActive(true);
        QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
        QDir(m_dir.path()).mkpath(QStringLiteral("tmp"));
        m_previewFolder = m_dir.filePath(QStringLiteral("tmp")) + QLatin1Char('/');
        m_scan = std::make_unique<app::ScanThread>(m_catalogs, m_treeModel,
                                                   m_previewFolder + QStringLiteral("Attachments"));
        // The program as run from the build tree, so that it finds the help there.
        m_window = std::make_unique<MainWindow>(MainWindow::Dependencies{
            m_interaction, m_catalogs, m_treeModel, m_scan.get(), &m_conversion,
            QStringLiteral(OST2EML_BINARY_DIR "/src/app/tarvolin-ost2eml"), m_previewFolder});
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    QWidget* focused() const { return QApplication::focusWidget(); }

    // Tab or Shift+Tab until `target` has the focus, as a user would: the way that does not pass
    // through the preview, which keeps Tab for its own links.
    void tabTo(QWidget* target)
    {
        bool forward = false;
        for (QWidget* next = focused() ? focused()->nextInFocusChain() : nullptr; next && next != focused();
             next = next->nextInFocusChain()) {
            if (next == target) {
                forward = true;
                break;
            }
            if (m_window->browser()->isAncestorOf(next))
                break;
        }
        for (int presses = 0; presses < 30 && focused() != target; ++presses) {
            if (forward)
                QTest::keyClick(focused(), Qt::Key_Tab);
            else
                QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
        }
        ASSERT_EQ(focused(), target) << "at " << (focused() ? qPrintable(focused()->objectName()) : "none")
                                     << " instead of " << qPrintable(target->objectName());
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(focused(), static_cast<Qt::Key>(key), modifiers);
        QCoreApplication::processEvents();
    }

    // Arrow keys in the tree until `label` is the current folder; the list follows.
    void arrowToFolder(const QString& label)
    {
        app::FolderTreeWidget* tree = m_window->tree();
        // Labels carry the number of items: "Inbox(11)".
        const QList<QTreeWidgetItem*> found = tree->findItems(
            QStringLiteral("^%1(\\(\\d+\\))?$").arg(label), Qt::MatchRegularExpression | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << label.toStdString();
        const auto current = [&] {
            return tree->currentItem();
        };
        if (!current())
            key(Qt::Key_Down);
        const int direction = tree->visualItemRect(found[0]).top() < tree->visualItemRect(current()).top()
                                  ? Qt::Key_Up
                                  : Qt::Key_Down;
        for (int presses = 0; presses < 40 && current() != found[0]; ++presses)
            key(direction);
        ASSERT_EQ(current(), found[0]);
        ASSERT_TRUE(waitUntil([&] { return !m_window->isFillingList(); }));
    }

    template <typename T> T* control(int id) const { return m_window->findChild<T*>(QString::number(id)); }

    // A store of 15,000 short mails: its scan lasts long enough (about a second) to be interrupted.
    QString largeStore() const
    {
        storegen::Folder inbox;
        inbox.name = QStringLiteral("Inbox");
        inbox.containerClass = QStringLiteral("IPF.Note");
        for (int i = 0; i < 15000; ++i)
            inbox.messages.push_back(storegen::MessageBuilder()
                                         .subject(QStringLiteral("mail %1").arg(i))
                                         .plainBody(QStringLiteral("body %1").arg(i))
                                         .build());
        storegen::StoreDescription description;
        description.folders.push_back(inbox);
        const QString path = m_dir.filePath(QStringLiteral("large.ost"));
        storegen::writeStore(description, path);
        return path;
    }

    const QString m_store = QStringLiteral(OST2EML_BINARY_DIR "/demo/demo.ost");
    QTemporaryDir m_dir;
    QString m_previewFolder;
    FakeInteraction m_interaction;
    catalog::Catalogs m_catalogs;
    views::FolderTreeModel m_treeModel;
    std::unique_ptr<app::ScanThread> m_scan;
    app::ConversionThread m_conversion;
    std::unique_ptr<MainWindow> m_window;
};

TEST_F(Walkthrough, FromTheStoreOnTheCommandLineToTheConvertedInbox)
{
    m_window->openStore(m_store);
    auto* field = control<QLineEdit>(1001);
    field->setFocus();
    ASSERT_EQ(focused(), field);

    // Scan.
    tabTo(control<QPushButton>(1006));
    key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return !m_interaction.informations.isEmpty(); }));
    EXPECT_EQ(m_interaction.informations, QStringList{app::Texts::scanCompleted()});
    EXPECT_EQ(control<QProgressBar>(1009)->text(), app::Texts::itemsRead(44, 44));

    // Arrow keys to Inbox: the list fills; arrow down the list previews each mail, with its body
    // as text or HTML, never as RTF source.
    tabTo(m_window->tree());
    arrowToFolder(QStringLiteral("Inbox"));
    const int mails = m_window->listModel()->rowCount();
    // Its 11 mails and the mail attached to one of them.
    ASSERT_EQ(mails, 12);
    auto* list = control<QTableView>(1005);
    tabTo(list);
    QSet<QString> subjects;
    for (int row = 0; row < mails; ++row) {
        if (row > 0)
            key(Qt::Key_Down);
        else
            list->selectRow(0);
        const QString page = readText(m_previewFolder + QStringLiteral("temp.html"));
        subjects << m_window->listModel()->cell(list->currentIndex().row(), 3);
        ASSERT_TRUE(page.contains(m_window->listModel()->cell(list->currentIndex().row(), 3).toHtmlEscaped()))
            << "row " << row;
        for (const char* body : {"body.html", "body.txt"}) {
            const QString text = readText(m_previewFolder + QLatin1String(body));
            EXPECT_FALSE(text.trimmed().startsWith(QStringLiteral("{\\rtf"))) << body;
        }
    }
    EXPECT_EQ(subjects.size(), mails);

    // The calendar lists the appointments by their subjects, the stand-up's moved meeting (kept
    // as an item attached to its series) among them.
    tabTo(m_window->tree());
    arrowToFolder(QStringLiteral("Calendar"));
    ASSERT_EQ(m_window->listModel()->rowCount(), 6);
    for (int row = 0; row < 6; ++row) {
        const QString subject = m_window->listModel()->cell(row, 2);
        EXPECT_FALSE(subject.isEmpty());
        EXPECT_NE(subject, QStringLiteral("None"));
    }
    const QString pictures = QStringLiteral(OST2EML_BINARY_DIR "/screenshots");
    QDir().mkpath(pictures);
    m_window->resize(1200, 800);
    settle(300);
    EXPECT_TRUE(m_window->grab().save(pictures + QStringLiteral("/calendar-list.png")));

    // Space checks Inbox (and so its sub-folders); Convert writes only their mails.
    arrowToFolder(QStringLiteral("Inbox"));
    key(Qt::Key_Space);
    QCoreApplication::processEvents();
    // Into a folder of EML files, then of Maildirs.
    for (const char* destination : {"eml", "maildir"}) {
        SCOPED_TRACE(destination);
        const QString out = m_dir.filePath(QStringLiteral("out-") + QLatin1String(destination));
        m_interaction.folder = out;
        m_interaction.onModal = [destination](QDialog& dialog) {
            dialog.findChild<QRadioButton*>(QLatin1String(destination))->click();
            dialog.findChild<QPushButton*>(QStringLiteral("browseFolder"))->click();
        };
        m_interaction.informations.clear();
        tabTo(control<QPushButton>(1007));
        key(Qt::Key_Space);
        ASSERT_TRUE(waitUntil([&] { return !m_interaction.informations.isEmpty(); }));
        EXPECT_TRUE(m_interaction.informations[0].startsWith(app::Texts::conversionCompleted()))
            << m_interaction.informations[0].toStdString();
        QStringList written;
        for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = QDir(out).relativeFilePath(it.next());
            if (!file.startsWith(QStringLiteral("conversion-report")))
                written << file;
        }
        // Inbox's 11, Projects' 2, Apollo Launch's 3, Invoices' 3.
        EXPECT_EQ(written.size(), 19) << written.join(QLatin1Char('\n')).toStdString();
        for (const QString& file : written) {
            EXPECT_TRUE(file.startsWith(QStringLiteral("demo.ost/Top of Personal Folders/Inbox/")))
                << file.toStdString();
            const QString kind = QFileInfo(file).dir().dirName();
            EXPECT_TRUE(destination == std::string("eml") ? file.endsWith(QStringLiteral(".eml"))
                                                           : kind == QStringLiteral("cur") || kind == QStringLiteral("new"))
                << file.toStdString();
        }
    }
    m_interaction.onModal = nullptr;

    // Ctrl+O and a store large enough to be still scanning when Escape follows Scan: Escape asks
    // before it stops, and after No the scan goes on to its end.
    const QString large = largeStore();
    m_interaction.storeFiles = {large};
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(field->text(), large);
    tabTo(control<QPushButton>(1006));
    m_interaction.answers = {false};
    m_interaction.informations.clear();
    key(Qt::Key_Space);
    key(Qt::Key_Escape);
    ASSERT_EQ(m_interaction.questions.size(), 1u);
    EXPECT_EQ(m_interaction.questions[0].text, app::Texts::stopScanQuestion());
    EXPECT_TRUE(m_window->isVisible());
    ASSERT_TRUE(waitUntil([&] { return !m_interaction.informations.isEmpty(); }));
    EXPECT_EQ(m_interaction.informations, QStringList{app::Texts::scanCompleted()});

    // F1 opens the help shipped with the program.
    key(Qt::Key_F1);
    auto* help = m_window->findChild<app::HelpWindow*>();
    if (!help)
        GTEST_SKIP() << "no help pages in the build tree";
    settle(300);
    EXPECT_FALSE(help->browser()->toPlainText().isEmpty());
    EXPECT_TRUE(help->grab().save(pictures + QStringLiteral("/help.png")));
}

// Every control says what it is to assistive technology.
TEST_F(Walkthrough, ControlsHaveAccessibleNamesAndRoles)
{
    struct Expected
    {
        QWidget* widget;
        QString name;
        QAccessible::Role role;
    };
    const Expected controls[] = {
        {control<QWidget>(1001), app::Texts::pathFieldName(), QAccessible::EditableText},
        {control<QWidget>(1002), QStringLiteral("Browse..."), QAccessible::Button},
        {control<QWidget>(1006), QStringLiteral("Scan"), QAccessible::Button},
        {control<QWidget>(1008), QStringLiteral("Stop"), QAccessible::Button},
        {control<QWidget>(1007), QStringLiteral("Convert OST to EML"), QAccessible::Button},
        {m_window->tree(), app::Texts::treeName(), QAccessible::Tree},
        {control<QWidget>(1005), app::Texts::listName(), QAccessible::Table},
        {control<QWidget>(1009), app::Texts::progressName(), QAccessible::ProgressBar},
    };
    for (const Expected& expected : controls) {
        ASSERT_NE(expected.widget, nullptr);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(expected.widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), expected.name)
            << expected.widget->objectName().toStdString();
        EXPECT_EQ(accessible->role(), expected.role) << expected.name.toStdString();
    }

    QAccessibleInterface* preview = QAccessible::queryAccessibleInterface(m_window->browser()->view());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->text(QAccessible::Name), app::Texts::previewName());
}

} // namespace
