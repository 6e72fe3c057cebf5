#include "GifWriter.h"

#include <QByteArray>
#include <QFile>
#include <unordered_map>

namespace artwork {

namespace {

class BitWriter
{
public:
    void put(int code, int bits)
    {
        m_accumulator |= static_cast<quint32>(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_bytes.append(static_cast<char>(m_accumulator & 0xFF));
            m_accumulator >>= 8;
            m_count -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_count > 0)
            m_bytes.append(static_cast<char>(m_accumulator & 0xFF));
        m_accumulator = 0;
        m_count = 0;
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_accumulator = 0;
    int m_count = 0;
};

QByteArray lzw(const QImage& image)
{
    constexpr int minCodeSize = 8;
    constexpr int clearCode = 1 << minCodeSize;
    constexpr int endCode = clearCode + 1;
    BitWriter out;
    std::unordered_map<quint32, int> table;
    int codeSize = minCodeSize + 1;
    int maxCode = endCode;
    out.put(clearCode, codeSize);
    int current = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const int pixel = line[x];
            if (current < 0) {
                current = pixel;
                continue;
            }
            const quint32 key = (static_cast<quint32>(current) << 8) | static_cast<quint32>(pixel);
            const auto found = table.find(key);
            if (found != table.end()) {
                current = found->second;
                continue;
            }
            out.put(current, codeSize);
            table.emplace(key, ++maxCode);
            if (maxCode >= (1 << codeSize))
                ++codeSize;
            if (maxCode == 4095) {
                out.put(clearCode, codeSize);
                table.clear();
                codeSize = minCodeSize + 1;
                maxCode = endCode;
            }
            current = pixel;
        }
    }
    if (current >= 0)
        out.put(current, codeSize);
    out.put(endCode, codeSize);
    return out.finish();
}

void putShort(QByteArray& out, int value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

} // namespace

bool GifWriter::write(const QString& path, const QList<QImage>& frames, const QList<QRgb>& palette,
                      int delayCs)
{
    if (frames.isEmpty() || palette.isEmpty() || palette.size() > 256)
        return false;
    QList<QRgb> colours = palette;
    while (colours.size() < 256)
        colours.append(qRgb(0, 0, 0));
    const int width = frames.first().width();
    const int height = frames.first().height();

    QByteArray out("GIF89a");
    putShort(out, width);
    putShort(out, height);
    out.append(static_cast<char>(0xF7)); // global colour table of 256 entries
    out.append('\0');
    out.append('\0');
    for (const QRgb c : colours) {
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    if (frames.size() > 1) {
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        putShort(out, 0); // loop for ever
        out.append('\0');
    }
    for (const QImage& frame : frames) {
        const QImage indexed = frame.convertToFormat(QImage::Format_RGB32)
                                   .convertToFormat(QImage::Format_Indexed8, colours, Qt::ThresholdDither);
        out.append("\x21\xF9\x04", 3);
        out.append('\x04'); // keep the frame in place; no transparency
        putShort(out, delayCs);
        out.append('\0');
        out.append('\0');
        out.append('\x2C');
        putShort(out, 0);
        putShort(out, 0);
        putShort(out, width);
        putShort(out, height);
        out.append('\0');
        out.append('\x08');
        const QByteArray data = lzw(indexed);
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const qsizetype n = std::min<qsizetype>(255, data.size() - i);
            out.append(static_cast<char>(n));
            out.append(data.constData() + i, n);
        }
        out.append('\0');
    }
    out.append('\x3B');

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(out) == out.size();
}

} // namespace artwork
