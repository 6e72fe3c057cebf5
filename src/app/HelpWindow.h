#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace app {

// The program's help: the HTML pages installed with it, shown in a window of their own beside
// the main window. Links within the help stay in it; links to the web go to the desktop's
// browser. GUI thread.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    // The help's first page for the program at `programPath`: installed, it lies in
    // <prefix>/share/tarvolin-ost2eml/help/ beside <prefix>/bin; in the build tree, in
    // <build>/share/tarvolin-ost2eml/help/. Empty when neither exists.
    static QString findIndex(const QString& programPath);

    HelpWindow(const QString& indexPath, QWidget* parent = nullptr);

    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser = nullptr;
};

} // namespace app
