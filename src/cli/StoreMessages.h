#pragma once

#include "store/StoreError.h"

#include <QString>

namespace cli {

inline constexpr char16_t kNotOfflineStoreText[] = u"This is not a valid OST File";
inline constexpr char16_t kCannotOpenText[] = u"Please check file use in another proess or File is highly "
                                              u"corrupted! Please select another file OR contact "
                                              u"support team..";

// The message for a store that could not be opened: the program's own text for the two cases the
// desktop program knows, a precise one for the cases only a command line meets, and the store
// library's own explanation underneath.
QString openFailureMessage(const QString& path, const store::OpenError& error);

} // namespace cli
