#include "LibpffStore.h"
#include "Store.h"
#include "StoreError.h"

#include <QFile>
#include <QFileInfo>

namespace store {

namespace {

constexpr char kSignature[] = "!BDN";
constexpr qint64 kContentTypeOffset = 8;

// Reads the first bytes of the file ourselves, so that a missing, empty, unreadable or foreign
// file gets a precise reason before the store library sees it.
QByteArray readHeader(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw OpenError(OpenError::Reason::NotFound,
                        "no such file: " + QFile::encodeName(path).toStdString());
    if (info.isDir())
        throw OpenError(OpenError::Reason::IsDirectory,
                        "this is a directory: " + QFile::encodeName(path).toStdString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const auto reason = file.error() == QFileDevice::PermissionsError
                                ? OpenError::Reason::PermissionDenied
                                : OpenError::Reason::Unreadable;
        throw OpenError(reason, "cannot read the file: " + file.errorString().toStdString());
    }
    if (file.size() == 0)
        throw OpenError(OpenError::Reason::Empty, "the file is empty");
    const QByteArray header = file.read(kContentTypeOffset + 2);
    if (header.size() < 4 || !header.startsWith(kSignature))
        throw OpenError(OpenError::Reason::Unreadable,
                        "the file is not an Outlook store (no store signature)");
    return header;
}

} // namespace

std::unique_ptr<Store> openStore(const QString& path)
{
    readHeader(path);
    return std::make_unique<LibpffStore>(path);
}

std::unique_ptr<Store> openOfflineStore(const QString& path)
{
    const QByteArray header = readHeader(path);
    if (header.size() < kContentTypeOffset + 2)
        throw OpenError(OpenError::Reason::Unreadable, "the store header is cut short");
    if (header.mid(kContentTypeOffset, 2) != QByteArrayLiteral("SO"))
        throw OpenError(OpenError::Reason::NotOfflineStore,
                        "the store is not an offline store (content type " +
                            header.mid(kContentTypeOffset, 2).toHex().toStdString() + ")");
    auto opened = std::make_unique<LibpffStore>(path);
    if (opened->contentType() != ContentType::Offline)
        throw OpenError(OpenError::Reason::NotOfflineStore, "the store is not an offline store");
    return opened;
}

} // namespace store
