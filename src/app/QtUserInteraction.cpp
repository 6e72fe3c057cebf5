#include "QtUserInteraction.h"

#include "Texts.h"
#include "views/RunFolder.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
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

void QtUserInteraction::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
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
