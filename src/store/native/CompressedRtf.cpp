#include "CompressedRtf.h"

#include "Bytes.h"
#include "Checksum.h"
#include "Failure.h"

#include <array>
#include <cstring>

namespace store::native {

namespace {

constexpr std::uint32_t kCompressed = 0x75465A4C;   // "LZFu"
constexpr std::uint32_t kUncompressed = 0x414C454D; // "MELA"
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kDictionarySize = 4096;
// Larger bodies are refused rather than allocated.
constexpr std::uint32_t kMaxRawSize = 256u << 20;

// The text every compressed stream's dictionary starts with.
constexpr char kInitialDictionary[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n\\par "
    "\\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr std::size_t kInitialSize = sizeof kInitialDictionary - 1;
static_assert(kInitialSize == 207);

} // namespace

QByteArray decompressRtf(const QByteArray& stored)
{
    if (static_cast<std::size_t>(stored.size()) < kHeaderSize)
        fail("compressed RTF body of " + std::to_string(stored.size()) + " bytes has no header");
    const char* p = stored.constData();
    const std::uint32_t compressedSize = get32(p);
    const std::uint32_t rawSize = get32(p + 4);
    const std::uint32_t kind = get32(p + 8);
    const std::uint32_t crc = get32(p + 12);
    if (rawSize > kMaxRawSize)
        fail("compressed RTF body claims " + std::to_string(rawSize) + " bytes");
    if (compressedSize < kHeaderSize - 4 || compressedSize - (kHeaderSize - 4) > stored.size() - kHeaderSize)
        fail("compressed RTF body is cut short: " + std::to_string(compressedSize + 4) +
             " bytes announced, " + std::to_string(stored.size()) + " stored");
    const char* in = p + kHeaderSize;
    const std::size_t inSize = compressedSize - (kHeaderSize - 4);

    if (kind == kUncompressed)
        return QByteArray(in, static_cast<qsizetype>(std::min<std::size_t>(inSize, rawSize)));
    if (kind != kCompressed)
        fail("compressed RTF body of unknown kind " + hex(kind));
    if (crc != formatCrc(in, inSize))
        fail("compressed RTF body: CRC mismatch");

    std::array<char, kDictionarySize> dictionary{};
    std::memcpy(dictionary.data(), kInitialDictionary, kInitialSize);
    std::size_t write = kInitialSize;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rawSize));
    std::size_t at = 0;
    while (at < inSize && static_cast<std::uint32_t>(out.size()) < rawSize) {
        const std::uint8_t control = get8(in + at++);
        for (int bit = 0; bit < 8 && at < inSize; ++bit) {
            if ((control & (1 << bit)) == 0) {
                const char c = in[at++];
                out.append(c);
                dictionary[write] = c;
                write = (write + 1) % kDictionarySize;
            } else {
                if (at + 2 > inSize)
                    fail("compressed RTF body: a reference is cut short");
                const std::uint16_t word =
                    static_cast<std::uint16_t>((get8(in + at) << 8) | get8(in + at + 1));
                at += 2;
                std::size_t offset = word >> 4;
                const std::size_t length = (word & 0x0F) + 2u;
                if (offset == write)
                    return out;
                for (std::size_t i = 0; i < length; ++i) {
                    const char c = dictionary[offset];
                    offset = (offset + 1) % kDictionarySize;
                    out.append(c);
                    dictionary[write] = c;
                    write = (write + 1) % kDictionarySize;
                }
            }
            if (static_cast<std::uint32_t>(out.size()) >= rawSize)
                break;
        }
    }
    if (static_cast<std::uint32_t>(out.size()) > rawSize)
        out.truncate(static_cast<qsizetype>(rawSize));
    return out;
}

} // namespace store::native
