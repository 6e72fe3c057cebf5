#pragma once

#include <QString>

namespace catalog {

// The mapping applied to subjects and folder paths before they enter the catalogs: the phrases
// "Deleted Items" and "Top of Personal Folders" get hyphens, then every character other than a
// space, "-./0-9A-Z[\`a-z" or a letter, digit or combining mark of another script becomes "-".
// The length never changes.
QString SanitizeDisplayText(const QString& text);

} // namespace catalog
