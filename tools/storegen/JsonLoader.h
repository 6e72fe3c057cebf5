#pragma once

#include "StoreModel.h"

#include <QByteArray>

namespace storegen {

// Reads a store description from JSON (the format is documented in README.md). Throws
// std::runtime_error naming the offending element.
class JsonLoader
{
public:
    static StoreDescription parse(const QByteArray& json);
};

} // namespace storegen
