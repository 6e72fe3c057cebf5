#pragma once

#include "StoreModel.h"

#include <QByteArray>
#include <optional>

namespace storegen {

// Reads a store description from JSON (the format is documented in README.md). Throws
// std::runtime_error naming the offending element.
class JsonLoader
{
public:
    static StoreDescription parse(const QByteArray& json);
};

// The option values by the names the JSON form and the command line give them ("unicode", "4k",
// "ansi"; "none", "compressible", "high").
std::optional<FileFormat> fileFormatNamed(const QString& name);
std::optional<Encryption> encryptionNamed(const QString& name);

} // namespace storegen
