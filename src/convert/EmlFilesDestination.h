#pragma once

#include "Destination.h"

namespace convert {

// A folder of .eml files per store folder: <directory>/<serial> <subject>.eml. A mail whose name
// holds the same bytes is already there; one whose name holds other bytes gets a new name.
// The hidden .ost2eml-index of each folder lists the files written with their mails' identities,
// sizes and times, so that a re-run knows a mail whose file is as it was written without making
// it again (a file that was changed, or is not listed, is compared byte for byte).
class EmlFilesDestination : public Destination
{
public:
    std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) override;
};

} // namespace convert
