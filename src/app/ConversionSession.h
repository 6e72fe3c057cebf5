#pragma once

#include "engine/EmlConversionJob.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

namespace app {

// How a conversion to EML files ended.
enum class ConversionOutcome
{
    Completed,
    Stopped,
    NotAnOfflineStore,
    OpenFailed,
    DestinationUnusable,
};

// One conversion of a store's mail into EML files at a time, run off the GUI thread. The main
// window drives it; tests use a fake. Created, driven and reporting on the GUI thread.
class ConversionSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Converts the folders with the store identifiers `folders` (each without its sub-folders),
    // or every folder when `folders` is empty.
    // `kinds` says which kinds of items are written.
    virtual void start(const QString& storePath, const QString& destination,
                       const std::vector<std::uint32_t>& folders, const engine::ItemKinds& kinds) = 0;
    // Whether the conversions from now on also convert the recovered items (as the scan shows them).
    virtual void setIncludeRecovered(bool include) { Q_UNUSED(include) }
    virtual bool isRunning() const = 0;
    virtual bool pause() = 0;
    virtual void resume() = 0;
    // Ends the conversion at its next item; `finished` follows with Stopped.
    virtual void stop() = 0;
    virtual int progress() const = 0;

Q_SIGNALS:
    // `summary` says what was written and what failed; `detail` why it could not start.
    void finished(app::ConversionOutcome outcome, const QString& summary, const QString& detail);
};

} // namespace app
