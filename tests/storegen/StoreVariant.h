#pragma once

// The on-disk variants that parameterised store tests run against, named in test listings.
#include "StoreOptions.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace storegen {

struct Variant
{
    std::string name;
    StoreOptions options;
};

inline void PrintTo(const Variant& v, std::ostream* os)
{
    *os << v.name;
}

// The test name suffix of a parameter that has a name.
template <typename Param> std::string nameOf(const ::testing::TestParamInfo<Param>& info)
{
    return info.param.name;
}

// Every format with every encryption, offline and personal: "AnsiPersonalHigh", "FourKOffline", ...
inline std::vector<Variant> allVariants()
{
    const std::pair<const char*, FileFormat> formats[] = {
        {"Unicode", FileFormat::Unicode}, {"FourK", FileFormat::Unicode4k}, {"Ansi", FileFormat::Ansi}};
    const std::pair<const char*, StoreKind> kinds[] = {{"Offline", StoreKind::Offline},
                                                       {"Personal", StoreKind::Personal}};
    const std::pair<const char*, Encryption> encryptions[] = {
        {"", Encryption::None}, {"Compressible", Encryption::Compressible}, {"High", Encryption::High}};
    std::vector<Variant> variants;
    for (const auto& [formatName, format] : formats) {
        for (const auto& [kindName, kind] : kinds) {
            for (const auto& [encryptionName, encryption] : encryptions) {
                StoreOptions options;
                options.format = format;
                options.kind = kind;
                options.encryption = encryption;
                variants.push_back({std::string(formatName) + kindName + encryptionName, options});
            }
        }
    }
    return variants;
}

} // namespace storegen
