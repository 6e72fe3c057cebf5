#include "Browser.h"

#include <QDir>
#include <QFileInfo>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace app {

namespace {

// Keeps the preview in place: a followed link is handed to the window (which may open it with
// the desktop's application); only the pages the program navigates to itself are loaded.
class LocalPage : public QWebEnginePage
{
public:
    LocalPage(QWebEngineProfile* profile, Browser* browser)
        : QWebEnginePage(profile, browser), m_browser(browser)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (type == NavigationTypeLinkClicked) {
            Q_EMIT m_browser->linkActivated(url);
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    Browser* m_browser;
};

} // namespace

Browser::Browser(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new QWebEngineView(this);
    // An off-the-record profile: the pages are ours and local, nothing needs to persist.
    auto* page = new LocalPage(new QWebEngineProfile(this), this);
    m_page = page;
    QWebEngineSettings* settings = page->settings();
    // Record texts go into the pages unchanged from the store; a mail must not be able to run
    // code or fetch anything.
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    m_view->setPage(page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    // Files dragged onto the preview go to the window (which takes a dropped store), never to
    // the page as a place to navigate to.
    m_view->setAcceptDrops(false);
    connect(m_view, &QWebEngineView::loadFinished, this, &Browser::pageLoaded);
    layout->addWidget(m_view);
}

Browser::~Browser()
{
    // The page has to go before its profile, which is deleted with the other children.
    delete m_view;
    delete m_page;
}

void Browser::navigate(const QString& address)
{
    QUrl url;
    if (QDir::isAbsolutePath(address) && !address.startsWith(QLatin1String("qrc:")))
        url = QUrl::fromLocalFile(address);
    else
        url = QUrl(address);
    m_address = url;
    // The program rewrites its pages under the same names. Each visit gets an address of its
    // own, so that a page rewritten while its previous version still loads is read again
    // rather than taken for the navigation already under way.
    if (url.isLocalFile())
        url.setQuery(QStringLiteral("v=%1").arg(++m_navigations));
    m_view->setUrl(url);
}

QUrl Browser::currentAddress() const
{
    return m_address;
}

} // namespace app
