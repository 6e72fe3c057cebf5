#include "FileHeader.h"

#include "Bytes.h"
#include "Checksum.h"
#include "FileSource.h"
#include "store/StoreError.h"

#include <string>

namespace store::native {

namespace {

constexpr std::size_t kHeaderSize = 564;
constexpr std::size_t kCrcPartialOffset = 8;
constexpr std::size_t kCrcPartialSize = 471;
constexpr std::size_t kCrcFullSize = 516;

[[noreturn]] void refuse(const std::string& why)
{
    throw OpenError(OpenError::Reason::Unreadable, why);
}

} // namespace

Layout Layout::of(Format format)
{
    Layout layout;
    layout.format = format;
    switch (format) {
    case Format::Ansi:
        layout.pageSize = 512;
        layout.pageTrailerSize = 12;
        layout.btreeEntryBytes = 496;
        layout.blockTrailerSize = 12;
        layout.blockAlign = 64;
        layout.maxBlockSize = 8192;
        layout.idSize = 4;
        break;
    case Format::Unicode:
        break;
    case Format::Unicode4k:
        layout.pageSize = 4096;
        layout.pageTrailerSize = 24;
        layout.btreeEntryBytes = 4056;
        layout.blockTrailerSize = 24;
        layout.blockAlign = 512;
        layout.maxBlockSize = 65536;
        break;
    }
    return layout;
}

FileHeader readFileHeader(const FileSource& file)
{
    if (file.size() < kHeaderSize)
        refuse("the store header is cut short (" + std::to_string(file.size()) + " bytes)");
    char h[kHeaderSize];
    file.read(0, h, kHeaderSize, "the store header");
    if (get32(h) != 0x4E444221u) // "!BDN"
        refuse("the file is not an Outlook store (no store signature)");

    FileHeader header;
    header.contentType[0] = h[8];
    header.contentType[1] = h[9];
    header.version = get16(h + 10);
    if (header.version == 14 || header.version == 15)
        header.layout = Layout::of(Format::Ansi);
    else if (header.version >= 23 && header.version < 36)
        header.layout = Layout::of(Format::Unicode);
    else if (header.version >= 36 && header.version <= 37)
        header.layout = Layout::of(Format::Unicode4k);
    else
        refuse("unknown store file version " + std::to_string(header.version));

    if (get32(h + 4) != formatCrc(h + kCrcPartialOffset, kCrcPartialSize))
        refuse("the store header is damaged (its checksum does not match)");

    std::uint8_t crypt = 0;
    if (header.layout.isAnsi()) {
        const char* root = h + 164;
        header.fileEof = get32(root + 4);
        header.nodeRoot = BlockRef{get32(root + 20), get32(root + 24)};
        header.blockRoot = BlockRef{get32(root + 28), get32(root + 32)};
        crypt = get8(h + 461);
    } else {
        const std::uint32_t full = get32(h + 524);
        if (full != 0 && full != formatCrc(h + kCrcPartialOffset, kCrcFullSize))
            refuse("the store header is damaged (its checksum does not match)");
        const char* root = h + 180;
        header.fileEof = get64(root + 4);
        header.nodeRoot = BlockRef{get64(root + 36), get64(root + 44)};
        header.blockRoot = BlockRef{get64(root + 52), get64(root + 60)};
        crypt = get8(h + 513);
    }
    if (crypt > 2)
        refuse("the store's data is encoded in a way this reader does not know (method " +
               std::to_string(crypt) + ")");
    header.crypt = static_cast<CryptMethod>(crypt);
    return header;
}

} // namespace store::native
