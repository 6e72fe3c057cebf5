#include "Browser.h"

#include "AppTestSupport.h"

#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::QtEnvironment);

void writePage(const QString& path, const QByteArray& html)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(html);
}

// Navigates and waits for the page (and its frames) to load, then lets the engine settle.
bool load(app::Browser& browser, const QString& path)
{
    bool loaded = false;
    QEventLoop loop;
    const auto connection = QObject::connect(&browser, &app::Browser::pageLoaded, &loop, [&](bool ok) {
        loaded = ok;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    browser.navigate(path);
    loop.exec();
    QObject::disconnect(connection);
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    return loaded;
}

} // namespace

// A mail's remote pictures (web bugs) are never fetched, in the page or in its body frame.
TEST(Browser, RemoteContentOfLocalPagesIsNotFetched)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        ++connections;
        delete server.nextPendingConnection();
    });
    const QByteArray remote = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    QTemporaryDir dir;
    writePage(dir.filePath(QStringLiteral("body.html")), "<p>body<img src=\"" + remote +
                                                             "/body.png\"></p><link rel=stylesheet href=\"" +
                                                             remote + "/s.css\">");
    writePage(dir.filePath(QStringLiteral("temp.html")),
              "<img src=\"" + remote + "/page.png\"><iframe src=\"body.html\"></iframe>");
    app::Browser browser;
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(load(browser, dir.filePath(QStringLiteral("temp.html"))));
    EXPECT_EQ(connections, 0);
}

// A click on a link is reported and the page stays where it is.
TEST(Browser, ClickedLinksAreReportedNotFollowed)
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("temp.html"));
    writePage(page, "<html><body style=\"margin:0\"><a href=\"file:///x/report.pdf\" "
                    "style=\"display:block;width:100%;height:300px\">report.pdf</a></body></html>");
    app::Browser browser;
    browser.resize(400, 300);
    browser.show();
    ASSERT_TRUE(load(browser, page));
    QList<QUrl> activated;
    QObject::connect(&browser, &app::Browser::linkActivated, [&](const QUrl& url) { activated.append(url); });
    QWidget* surface = browser.findChild<QWebEngineView*>()->focusProxy();
    ASSERT_NE(surface, nullptr);
    const QPoint at(100, 100);
    QMouseEvent press(QEvent::MouseButtonPress, at, surface->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, surface->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(surface, &press);
    QCoreApplication::sendEvent(surface, &release);
    QEventLoop wait;
    QObject::connect(&browser, &app::Browser::linkActivated, &wait, &QEventLoop::quit);
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    if (activated.isEmpty())
        wait.exec();
    EXPECT_EQ(activated, QList<QUrl>{QUrl(QStringLiteral("file:///x/report.pdf"))});
    EXPECT_EQ(browser.findChild<QWebEngineView*>()->url().adjusted(QUrl::RemoveQuery),
              QUrl::fromLocalFile(page));
}
