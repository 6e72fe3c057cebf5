#include "Store.h"
#include "StoreError.h"
#include "libpff/LibpffStore.h"
#include "native/NativeStore.h"

#include <QFile>
#include <QFileInfo>

namespace store {

namespace {

constexpr char kSignature[] = "!BDN";
constexpr qint64 kContentTypeOffset = 8;

// Reads the first bytes of the file ourselves, so that a missing, empty, unreadable or foreign
// file gets a precise reason before a reader sees it.
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

std::unique_ptr<Store> openWith(const QString& path, const OpenOptions& options)
{
    switch (options.reader) {
    case ReaderKind::Libpff:
        return std::make_unique<LibpffStore>(path, options.codePage);
    case ReaderKind::Native:
        break;
    }
    return std::make_unique<native::NativeStore>(path, options.codePage);
}

} // namespace

std::optional<ReaderKind> readerKindFromName(const QString& name)
{
    if (name == QLatin1String("native"))
        return ReaderKind::Native;
    if (name == QLatin1String("libpff"))
        return ReaderKind::Libpff;
    return std::nullopt;
}

const char* readerKindName(ReaderKind kind)
{
    return kind == ReaderKind::Libpff ? "libpff" : "native";
}

std::unique_ptr<Store> openStore(const QString& path, const OpenOptions& options)
{
    readHeader(path);
    return openWith(path, options);
}

std::unique_ptr<Store> openOfflineStore(const QString& path, const OpenOptions& options)
{
    const QByteArray header = readHeader(path);
    if (header.size() < kContentTypeOffset + 2)
        throw OpenError(OpenError::Reason::Unreadable, "the store header is cut short");
    if (header.mid(kContentTypeOffset, 2) != QByteArrayLiteral("SO"))
        throw OpenError(OpenError::Reason::NotOfflineStore,
                        "the store is not an offline store (content type " +
                            header.mid(kContentTypeOffset, 2).toHex().toStdString() + ")");
    auto opened = openWith(path, options);
    if (opened->contentType() != ContentType::Offline)
        throw OpenError(OpenError::Reason::NotOfflineStore, "the store is not an offline store");
    return opened;
}

} // namespace store
