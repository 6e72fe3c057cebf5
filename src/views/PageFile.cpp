#include "PageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace views {

QByteArray PageFile::encode(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.append('\xFF');
    bytes.append('\xFE');
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    }
    return bytes;
}

bool PageFile::write(const QString& path, const QString& text)
{
    // A read-only page left by an earlier run must not block the new one. The new content goes
    // to a fresh file renamed over the old name. The save file would write through a link at
    // that name, so a link (one planted in a shared temporary folder, say) is removed first,
    // and when it cannot be removed nothing is written.
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        if (!QFile::remove(path) || QFileInfo(path).isSymLink())
            return false;
    } else if (info.exists() && !info.isWritable()) {
        QFile::setPermissions(path, info.permissions() | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = encode(text);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace views
