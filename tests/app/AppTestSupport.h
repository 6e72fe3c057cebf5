#pragma once

#include "ConversionSession.h"
#include "ScanSession.h"
#include "UserInteraction.h"

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace apptest {

// Creates the one QApplication of a GUI test program, offscreen, with the browser engine's
// sandbox off (the tests may run as root).
class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        static int argc = 1;
        static char name[] = "app-test";
        static char* argv[] = {name, nullptr};
        m_application = new QApplication(argc, argv);
    }

private:
    QApplication* m_application = nullptr;
};

// Answers the window's questions from a script and records what was asked.
class FakeInteraction : public app::UserInteraction
{
public:
    struct Question
    {
        QWidget* owner;
        QString text;
    };

    std::vector<Question> questions;
    std::vector<bool> answers; // consumed front to back; No when empty
    QStringList informations;
    QStringList errors;
    QStringList storeFiles; // consumed front to back; cancelled when empty
    int storeDialogs = 0;
    QStringList folderCaptions;
    QString folder;
    QStringList fileCaptions;
    QString file;
    std::vector<QUrl> openedUrls;
    QStringList modalDialogs;
    int terminations = 0;
    std::function<void()> duringQuestion;

    bool askYesNo(QWidget* owner, const QString& text) override
    {
        questions.push_back({owner, text});
        if (duringQuestion)
            duringQuestion();
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    void inform(const QString& text) override { informations.append(text); }
    void error(const QString& text) override { errors.append(text); }
    QString chooseStoreFile(QWidget*) override
    {
        ++storeDialogs;
        return storeFiles.isEmpty() ? QString() : storeFiles.takeFirst();
    }
    QString chooseFolder(QWidget*, const QString& caption) override
    {
        folderCaptions.append(caption);
        return folder;
    }
    QString chooseFile(QWidget*, const QString& caption, const QString&) override
    {
        fileCaptions.append(caption);
        return file;
    }
    void openUrl(const QUrl& url, std::function<void()> failed) override
    {
        openedUrls.push_back(url);
        if (openingFails && failed)
            failed();
    }
    // Runs onModal, then presses OK, unless onModal cancelled: the dialog's own accept() decides.
    int runModal(QDialog& dialog) override
    {
        modalDialogs.append(dialog.objectName());
        dialog.setResult(-1);
        if (onModal)
            onModal(dialog);
        if (dialog.result() == -1)
            dialog.accept();
        return dialog.result();
    }
    void terminateProcess(int exitCode) override
    {
        ++terminations;
        lastExitCode = exitCode;
    }
    int lastExitCode = -1;
    bool openingFails = false; // every document opened fails (no application for its type)

    std::function<void(QDialog&)> onModal;
};

// A scan that runs only as far as the test says.
class FakeScanSession : public app::ScanSession
{
public:
    QStringList startedPaths;
    catalog::NodeId storeNode = catalog::NoNode;
    bool running = false;
    bool paused = false;
    int pauses = 0;
    int resumes = 0;
    int abandons = 0;
    int progressValue = 0;

    bool includeRecovered = false;
    void setIncludeRecovered(bool include) override { includeRecovered = include; }
    void start(const QString& storePath, catalog::NodeId node) override
    {
        startedPaths.append(storePath);
        storeNode = node;
        running = true;
    }
    bool isRunning() const override { return running; }
    bool pause() override
    {
        ++pauses;
        paused = running;
        return running;
    }
    void resume() override
    {
        ++resumes;
        paused = false;
    }
    void abandon() override
    {
        ++abandons;
        running = false;
    }
    int progress() const override { return progressValue; }
    QString failureReason() const override { return reason; }
    app::ScanActivity activity() const override { return currentActivity; }
    QString reason;
    app::ScanActivity currentActivity{app::ScanActivity::Step::Opening, 0, 0};

    void finish(app::ScanOutcome outcome)
    {
        running = false;
        Q_EMIT finished(outcome);
    }
};

// A conversion that runs only as far as the test says.
class FakeConversionSession : public app::ConversionSession
{
public:
    QStringList started; // "store -> destination"
    std::vector<std::uint32_t> startedFolders;
    app::ConversionRequest startedRequest;
    bool running = false;
    int pauses = 0;
    int resumes = 0;
    int stops = 0;

    bool includeRecovered = false;
    void setIncludeRecovered(bool include) override { includeRecovered = include; }
    void start(const QString& storePath, app::ConversionRequest&& request,
               const std::vector<std::uint32_t>& folders) override
    {
        started.append(storePath + QStringLiteral(" -> ") + request.destination());
        startedRequest = std::move(request);
        startedFolders = folders;
        running = true;
    }
    bool isRunning() const override { return running; }
    bool pause() override
    {
        ++pauses;
        return running;
    }
    void resume() override { ++resumes; }
    void stop() override { ++stops; }
    int progress() const override { return 0; }

    void finish(app::ConversionOutcome outcome, const QString& summary = {}, const QString& detail = {})
    {
        running = false;
        Q_EMIT finished(outcome, summary, detail);
    }
};

} // namespace apptest
