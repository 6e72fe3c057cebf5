#pragma once

#include "catalog/NodeId.h"

#include <QString>
#include <optional>

namespace support {

// A task, note or journal record of `node` with this serial and subject, the rest absent.
template <typename R>
R recordOf(catalog::NodeId node, int serial, std::optional<QString> subject = std::nullopt)
{
    R record;
    record.node = node;
    record.serial = serial;
    record.subject = std::move(subject);
    return record;
}

} // namespace support
