#pragma once

// The on-disk variants that parameterised store tests run against, named in test listings.
#include "StoreOptions.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace storegen {

struct Variant
{
    const char* name;
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

} // namespace storegen
