#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QDialog;
class QWidget;

namespace app {

// Everything the main window asks of the user or of the desktop: message boxes, file and folder
// dialogs, opening documents, running a modal dialog and ending the process. The program uses
// QtUserInteraction; tests put a fake in its place. GUI thread.
class UserInteraction
{
public:
    virtual ~UserInteraction() = default;

    // A Yes/No question with the question icon; true for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& text) = 0;
    // An information box without owner.
    virtual void inform(const QString& text) = 0;
    // An error box without owner.
    virtual void error(const QString& text) = 0;
    // The store file to open; empty when cancelled.
    virtual QString chooseStoreFile(QWidget* owner) = 0;
    // A destination folder; empty when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& caption) = 0;
    // A file to read, of the types `filter` names (as QFileDialog's filters); empty when cancelled.
    virtual QString chooseFile(QWidget* owner, const QString& caption, const QString& filter) = 0;
    // Opens a document or web address with the desktop's handler. When nothing could open it
    // (no application for the file's type), `failed` is called, perhaps later, on the GUI thread.
    virtual void openUrl(const QUrl& url, std::function<void()> failed) = 0;
    // Runs a modal dialog and returns its result code.
    virtual int runModal(QDialog& dialog) = 0;
    // Ends the process at once with `exitCode`, without any clean-up.
    virtual void terminateProcess(int exitCode = 0) = 0;
};

} // namespace app
