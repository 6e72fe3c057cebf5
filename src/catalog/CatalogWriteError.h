#pragma once

#include <QString>
#include <exception>

namespace catalog {

// Thrown by a catalog append whose texts could not be written to the catalogs' text file (a full
// disk, a removed folder), and by a read of that file that fails. Like running out of memory it
// ends the whole scan rather than one item: a record whose texts are lost must not be shown.
// Carries the file's path and the system's reason; the app and the command line choose the words.
class CatalogWriteError : public std::exception
{
public:
    CatalogWriteError(QString path, QString reason) : m_path(std::move(path)), m_reason(std::move(reason)) {}

    const QString& path() const noexcept { return m_path; }
    const QString& reason() const noexcept { return m_reason; }
    const char* what() const noexcept override { return "catalog text file not written"; }

private:
    QString m_path;
    QString m_reason;
};

} // namespace catalog
