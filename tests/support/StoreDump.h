#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <store/Store.h>

namespace support {

// Writes everything a reader shows of a store as lines of text, one fact per line, each starting
// with the path of its item ("/f2/m0/a1/e" = root folder, its third sub-folder, first message,
// second attachment, embedded item): kinds, counts, every property of every record set with its
// type and stored bytes, the texts the reads give, bodies, recipients, attachment data. Two
// readers that agree give the same lines. A failed read is a line "<path> <what> ! <message>";
// compare such lines up to the "!" since the readers word their messages differently.
struct StoreDumpOptions
{
    // Values longer than this are shown by size and SHA-256 instead of their bytes.
    int inlineBytes = 48;
    // Embedded messages deeper than this are not entered.
    int maxEmbeddingDepth = 8;
    // Sub-folders deeper than this are not entered.
    int maxFolderDepth = 64;
};

void dumpStore(const store::Store& store, const std::function<void(const QString&)>& line,
               const StoreDumpOptions& options = {});

QStringList dumpStore(const store::Store& store, const StoreDumpOptions& options = {});

// The part of a dump line that two readers must agree on: the line up to " ! " for failures.
QString comparablePart(const QString& line);

} // namespace support
