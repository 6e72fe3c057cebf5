#include "QtUserInteraction.h"

#include "Texts.h"
#include "views/RunFolder.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>

namespace app {

namespace {

void showBox(QMessageBox::Icon icon, const QString& text)
{
    // No owner: the box stands for the whole program, as the scan's results do.
    QMessageBox box(icon, Texts::productName(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

bool QtUserInteraction::askYesNo(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Question, Texts::productName(), text, QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtUserInteraction::inform(const QString& text)
{
    showBox(QMessageBox::Information, text);
}

void QtUserInteraction::error(const QString& text)
{
    showBox(QMessageBox::Critical, text);
}

QString QtUserInteraction::chooseStoreFile(QWidget* owner)
{
    return QFileDialog::getOpenFileName(owner, Texts::fileDialogTitle(), QString(), Texts::fileDialogFilter(),
                                        nullptr, QFileDialog::ReadOnly);
}

QString QtUserInteraction::chooseFolder(QWidget* owner, const QString& caption)
{
    return QFileDialog::getExistingDirectory(owner, caption, QString(), QFileDialog::ShowDirsOnly);
}

QString QtUserInteraction::chooseFile(QWidget* owner, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, caption, QString(), filter, nullptr, QFileDialog::ReadOnly);
}

void QtUserInteraction::openUrl(const QUrl& url, std::function<void()> failed)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The desktop's opener says by its exit status whether anything could open the file; the
    // desktop services only know whether the opener started. The opener may stay while the
    // application runs, which is no failure; it is never stopped by this program, not even
    // when the program ends.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (url.isLocalFile() && failed && !opener.isEmpty()) {
        auto* process = new QProcess;
        QObject::connect(process, &QProcess::finished, process,
                         [process, failed](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             if (status != QProcess::NormalExit || code != 0)
                                 failed();
                         });
        QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart)
                return;
            process->deleteLater();
            failed();
        });
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(opener, {url.toLocalFile()});
        return;
    }
#endif
    if (!QDesktopServices::openUrl(url) && failed)
        failed();
}

int QtUserInteraction::runModal(QDialog& dialog)
{
    return dialog.exec();
}

void QtUserInteraction::terminateProcess(int exitCode)
{
    // A confirmed close ends everything where it stands, a running scan included; nothing is
    // saved, so there is nothing to flush. Only the run's private folder is removed: ending this
    // way runs no destructor that would.
    views::RunFolder::current().remove();
    std::_Exit(exitCode);
}

} // namespace app
