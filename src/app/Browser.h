#pragma once

#include <QUrl>
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

namespace app {

// The embedded browser of the main window that shows the status, preview and product pages.
// One operation: navigate to a web address or a local file. Scripts, plugins and remote loads
// from local pages are off; a click on a link is reported (linkActivated) instead of replacing
// the page. GUI thread.
class Browser : public QWidget
{
    Q_OBJECT

public:
    explicit Browser(QWidget* parent = nullptr);
    ~Browser() override;

    // `address` is a URL ("qrc:/...", "https://...") or a full local file path.
    void navigate(const QString& address);
    // The address last navigated to, as a URL.
    QUrl currentAddress() const;
    QWebEngineView* view() const { return m_view; }

Q_SIGNALS:
    // A link was clicked; the page stays. The owner decides whether and how to open it.
    void linkActivated(const QUrl& url);
    // The page navigated to has been loaded (or failed to).
    void pageLoaded(bool ok);

private:
    QWebEngineView* m_view = nullptr;
    QWebEnginePage* m_page = nullptr;
    QUrl m_address;
    quint64 m_navigations = 0;
};

} // namespace app
