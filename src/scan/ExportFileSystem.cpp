#include "ExportFileSystem.h"

#include "ExportHandle.h"
#include "LogHandle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace scan {

namespace {

bool isReplaced(char16_t c)
{
    if (c >= 1 && c <= 31)
        return true;
    switch (c) {
    case u'!':
    case u'"':
    case u'$':
    case u'%':
    case u'&':
    case u'\'':
    case u'*':
    case u'+':
    case u'/':
    case u':':
    case u';':
    case u'<':
    case u'>':
    case u'?':
    case u'@':
    case u'\\':
    case u'`':
    case u'~':
        return true;
    default:
        return false;
    }
}

bool isDirectory(ExportHandle* handle, const QString& path)
{
    if (!handle)
        return QFileInfo(path).isDir();
    const auto known = handle->directories.constFind(path);
    if (known != handle->directories.constEnd())
        return *known;
    const bool there = QFileInfo(path).isDir();
    handle->directories.insert(path, there);
    return there;
}

int createItemFile(ExportHandle* handle, const QByteArray& nameUtf8, int nameSize, const QString& basePath,
                   int baseSize, std::unique_ptr<QFile>* file, QString* error, bool text)
{
    if (!file) {
        if (error)
            *error = QStringLiteral("invalid file");
        return -1;
    }
    QString target;
    int targetSize = 0;
    if (export_handle_create_target_path(handle, basePath, baseSize, nameUtf8, nameSize, &target, &targetSize,
                                         error, DiskPathSeparator) != 1 ||
        target.isEmpty())
        return -1;
    // The walk creates no directories for the item files it asks for: without its directory the
    // file is simply not made.
    if (!isDirectory(handle, basePath)) {
        if (error)
            *error = QStringLiteral("no directory %1").arg(basePath);
        return -1;
    }
    if (pathExists(target))
        return 0;
    auto created = std::make_unique<QFile>(target);
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly;
    if (text)
        mode |= QIODevice::Text;
    if (!created->open(mode)) {
        if (error)
            *error = created->errorString();
        return -1;
    }
    *file = std::move(created);
    return 1;
}

} // namespace

int export_handle_create_target_path(ExportHandle* /*handle*/, const QString& basePath, int baseSize,
                                     const QByteArray& nameUtf8, int nameSize, QString* target,
                                     int* targetSize, QString* error, QChar separator)
{
    if (!target || !targetSize || nameSize < 0 || baseSize < 0) {
        if (error)
            *error = QStringLiteral("invalid target path arguments");
        return -1;
    }
    if (!target->isNull()) {
        if (error)
            *error = QStringLiteral("target path already set");
        return -1;
    }
    // The base's characters up to its size, the last of them (its terminator) becoming the
    // separator.
    const qsizetype kept = std::min<qsizetype>(std::max(0, baseSize - 1), basePath.size());
    QByteArray name = nameUtf8.left(nameSize);
    const qsizetype zero = name.indexOf('\0');
    if (zero >= 0)
        name.truncate(zero);
    QString cleaned = QString::fromUtf8(name);
    export_handle_sanitize_filename(nullptr, cleaned.data(), cleaned.size(), nullptr);
    QString composed;
    composed.reserve(kept + 1 + cleaned.size());
    composed.append(basePath.left(kept));
    composed.append(separator);
    composed.append(cleaned);
    *targetSize = static_cast<int>(composed.size()) + 1;
    *target = composed;
    return 1;
}

int export_handle_sanitize_filename(ExportHandle* /*handle*/, QChar* characters, qsizetype count,
                                    QString* error)
{
    if (count < 0 || (!characters && count > 0)) {
        if (error)
            *error = QStringLiteral("invalid file name");
        return -1;
    }
    for (qsizetype i = 0; i < count; ++i) {
        if (isReplaced(characters[i].unicode()))
            characters[i] = QLatin1Char('_');
    }
    return 1;
}

QString sanitizedFileName(const QString& name)
{
    QString copy = name;
    export_handle_sanitize_filename(nullptr, copy.data(), copy.size(), nullptr);
    return copy;
}

int export_handle_make_directory(ExportHandle* handle, const QString& directoryPath, LogHandle* log,
                                 QString* error)
{
    if (directoryPath.isEmpty()) {
        if (error)
            *error = QStringLiteral("invalid directory path");
        return -1;
    }
    if (handle && handle->directories.value(directoryPath, false))
        return 1;
    const bool made = QDir().mkpath(directoryPath);
    if (handle)
        handle->directories.insert(directoryPath, made);
    log_handle_printf(log, QStringLiteral("Created directory: %1.\n").arg(directoryPath));
    return 1;
}

int export_handle_create_text_item_file(ExportHandle* handle, const QByteArray& nameUtf8, int nameSize,
                                        const QString& basePath, int baseSize, std::unique_ptr<QFile>* file,
                                        QString* error)
{
    return createItemFile(handle, nameUtf8, nameSize, basePath, baseSize, file, error, true);
}

int export_handle_create_binary_item_file(ExportHandle* handle, const QByteArray& nameUtf8, int nameSize,
                                          const QString& basePath, int baseSize, std::unique_ptr<QFile>* file,
                                          QString* error)
{
    return createItemFile(handle, nameUtf8, nameSize, basePath, baseSize, file, error, false);
}

bool pathExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool removeDirectoryTree(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir())
        return false;
    QDir directory(path);
    const QFileInfoList entries =
        directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            if (!removeDirectoryTree(entry.filePath()))
                return false;
        } else if (!QFile::remove(entry.filePath())) {
            return false;
        }
    }
    return QDir().rmdir(path);
}

} // namespace scan
