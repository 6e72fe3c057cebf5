// The main window's conversion flow: what to convert and where, the run with its progress and
// Stop, and what the user is told at its end.
#include "MainWindow.h"

#include "ConvertDestinationDialog.h"
#include "Texts.h"
#include "UserInteraction.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"

#include <QProgressBar>
#include <unordered_set>
#include <utility>

namespace app {

namespace {

// What the user is told when nothing could be written to the destination.
QString refusal(const ConversionRequest& request)
{
    if (request.uploads())
        return Texts::uploadImpossible(request.destination());
    if (request.format == convert::DestinationFormat::EmlFiles)
        return Texts::destinationUnusable();
    return Texts::folderUnusable(request.destination());
}

} // namespace

void MainWindow::convert()
{
    if (m_converting || m_scanRunning)
        return;
    if (!m_conversion || m_storePath.isEmpty()) {
        m_interaction.inform(Texts::nothingToConvert());
        return;
    }
    ConvertDestinationDialog dialog(m_interaction, this);
    if (m_interaction.runModal(dialog) != QDialog::Accepted)
        return;
    ConversionRequest request = dialog.request();
    // The password stays in the request alone, which hands it to the run.
    dialog.clearPassword();
    // While the conversion runs only Stop is available; afterwards everything is as before.
    m_commandsBeforeConversion = m_commands;
    for (const Command command : {Command::BrowseButton, Command::ScanButton, Command::ConvertButton,
                                  Command::FileOpen, Command::FileScan, Command::FileConvert})
        m_commands.setEnabled(command, false);
    m_commands.setEnabled(Command::StopButton, true);
    applyCommandState();
    m_converting = true;
    m_conversionDestination = request.destination();
    m_conversionRefusal = refusal(request);
    resetProgress();
    m_catchUpTimer.start();
    m_conversion->setIncludeRecovered(m_scannedWithRecovered);
    m_conversion->start(m_storePath, std::move(request), checkedFolders());
}

std::vector<std::uint32_t> MainWindow::checkedFolders() const
{
    std::unordered_set<catalog::NodeId> checked;
    for (const views::FolderTreeModel::Node& node : m_treeModel.nodes())
        if (node.stateImage == views::FolderTreeModel::CheckedStateImage)
            checked.insert(node.id);
    std::vector<std::uint32_t> folders;
    if (checked.empty())
        return folders;
    for (const auto& record : m_catalogs.folders().records())
        if (record->storeIdentifier && checked.contains(record->node))
            folders.push_back(*record->storeIdentifier);
    // Checked nodes that name no folder of the store (only the store's own node): nothing to
    // restrict to, so everything is converted, as when nothing is checked.
    return folders;
}

void MainWindow::stopConversion()
{
    if (!m_conversion->pause())
        return;
    m_askingToStop = true;
    const bool confirmed = m_interaction.askYesNo(this, Texts::stopConversionQuestion());
    m_askingToStop = false;
    if (confirmed)
        m_conversion->stop();
    else
        m_conversion->resume();
    if (auto deferred = std::exchange(m_deferredConversion, std::nullopt))
        handleConversionOutcome(deferred->outcome, deferred->summary, deferred->detail);
}

void MainWindow::onConversionFinished(ConversionOutcome outcome, const QString& summary,
                                      const QString& detail)
{
    if (m_askingToStop) {
        m_deferredConversion = FinishedConversion{outcome, summary, detail};
        return;
    }
    handleConversionOutcome(outcome, summary, detail);
}

void MainWindow::handleConversionOutcome(ConversionOutcome outcome, const QString& summary,
                                         const QString& detail)
{
    m_converting = false;
    m_catchUpTimer.stop();
    m_commands = m_commandsBeforeConversion;
    applyCommandState();
    const QString separator = QStringLiteral("\n\n");
    switch (outcome) {
    case ConversionOutcome::Completed:
        m_progress->setValue(100);
        m_interaction.inform(Texts::conversionCompleted() + separator + summary);
        return;
    case ConversionOutcome::Stopped:
        m_interaction.inform(Texts::conversionStopped() + separator + summary);
        return;
    // A destination that failed on the way: why, and what was done until then (the summary
    // ends with the failure's words).
    case ConversionOutcome::DestinationFailed:
        m_interaction.error(Texts::destinationFailed(m_conversionDestination) + separator + summary);
        return;
    // Refusals are errors, with the reason below the message.
    case ConversionOutcome::NotAnOfflineStore:
    case ConversionOutcome::OpenFailed:
    case ConversionOutcome::DestinationUnusable: {
        const QString message = outcome == ConversionOutcome::NotAnOfflineStore ? Texts::notAnOstFile()
                                : outcome == ConversionOutcome::OpenFailed      ? Texts::openFailed()
                                                                                : m_conversionRefusal;
        m_interaction.error(detail.isEmpty() ? message : message + separator + detail);
        return;
    }
    }
}

} // namespace app
