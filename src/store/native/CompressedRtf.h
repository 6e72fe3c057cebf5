#pragma once

#include <QByteArray>

namespace store::native {

// Decompresses an RTF body stored in the compressed RTF format ("LZFu", or "MELA" for data kept
// uncompressed). Checks the header sizes and the CRC of the compressed data; throws StoreError
// when they do not match.
QByteArray decompressRtf(const QByteArray& stored);

} // namespace store::native
