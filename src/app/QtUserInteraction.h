#pragma once

#include "UserInteraction.h"

namespace app {

// The real user interaction: application-modal Qt message boxes captioned with the product
// name, Qt file and directory dialogs, the desktop's URL handler. GUI thread.
class QtUserInteraction : public UserInteraction
{
public:
    bool askYesNo(QWidget* owner, const QString& text) override;
    void inform(const QString& text) override;
    void error(const QString& text) override;
    QString chooseStoreFile(QWidget* owner) override;
    QString chooseFolder(QWidget* owner, const QString& caption) override;
    QString chooseFile(QWidget* owner, const QString& caption, const QString& filter) override;
    void openUrl(const QUrl& url, std::function<void()> failed) override;
    int runModal(QDialog& dialog) override;
    void terminateProcess(int exitCode = 0) override;
};

} // namespace app
