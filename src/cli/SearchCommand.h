#pragma once

#include <QStringList>

namespace cli {

// `ost2eml search STORE QUERY [--json] [--folder PATH] [--since DATE] [--until DATE]`: reads the
// store and prints the items that match the query, one line each (serial, folder, date, sender,
// subject), or a JSON object with a "matches" array.
int runSearchCommand(const QStringList& arguments);

// The query language, as the help texts of both programs explain it.
QString searchQueryHelp();

} // namespace cli
