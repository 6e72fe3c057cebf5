#pragma once

#include "Destination.h"

namespace engine {

// A folder of .eml files per store folder: <directory>/<serial> <subject>.eml. A mail whose name
// holds the same bytes is already there; one whose name holds other bytes gets a new name.
class EmlFilesDestination : public Destination
{
public:
    std::unique_ptr<DestinationFolder> openFolder(const Folder& folder, QString* failure) override;
};

} // namespace engine
