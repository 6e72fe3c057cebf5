#pragma once

// Stores written by storegen are read back through libpff: an independent reader of the format,
// whereas the store layer's default reader is the project's own, which these stores are made to
// check.
#include "store/Store.h"

#include <QString>
#include <memory>

namespace storegen {

inline store::OpenOptions libpffOptions(int codePage = 0)
{
    store::OpenOptions options;
    options.reader = store::ReaderKind::Libpff;
    options.codePage = codePage;
    return options;
}

inline std::unique_ptr<store::Store> openWithLibpff(const QString& path, int codePage = 0)
{
    return store::openStore(path, libpffOptions(codePage));
}

} // namespace storegen
