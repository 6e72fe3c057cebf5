#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace store {

inline constexpr int kDefaultCodePage = 1252;

// Decodes 8-bit text stored in a Windows code page (1252, 1251, 932, 65001, ...). A code page
// that this system cannot decode falls back to Windows-1252, so that text is never dropped.
QString decodeCodePage(const QByteArray& bytes, int codePage = kDefaultCodePage);

// The IANA/ICU name of a Windows code page, or none when it is not known.
std::optional<QByteArray> codePageName(int codePage);

} // namespace store
