#pragma once

#include <QStringList>

namespace cli {

// `ost2eml show STORE SERIAL [-o DIR]`: scans an offline store and writes the preview page of the
// item with that serial number (and a mail's body file) into DIR, as the desktop program shows it.
int runShowCommand(const QStringList& arguments);

} // namespace cli
