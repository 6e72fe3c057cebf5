#pragma once

#include <QStringList>

namespace cli {

// `ost2eml info [--json] STORE`: opens an offline store, walks every folder and prints the folder
// tree with the number of items of each kind. Writes nothing anywhere.
int runInfoCommand(const QStringList& arguments);

} // namespace cli
