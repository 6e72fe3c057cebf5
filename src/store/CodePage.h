#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace store {

inline constexpr int kDefaultCodePage = 1252;

// Decodes 8-bit text stored in a Windows code page (1252, 1251, 932, 65001, ...). A code page
// that this system cannot decode falls back to Windows-1252, so that text is never dropped.
QString decodeCodePage(const QByteArray& bytes, int codePage = kDefaultCodePage);

// The Windows code page of an Internet code page's script where it is not one itself
// (ISO-2022-JP 50220 and EUC-JP 51932: 932; KOI8-R 20866: 1251; ISO-8859-1 28591: 1252, ...);
// any other code page as given. A message names the Internet form it travelled in, but the 8-bit
// texts of a store are in a Windows code page.
int windowsCodePage(int codePage);

// The IANA/ICU name of a Windows code page, or none when it is not known.
std::optional<QByteArray> codePageName(int codePage);

} // namespace store
