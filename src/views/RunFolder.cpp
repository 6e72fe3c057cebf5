#include "RunFolder.h"

#include <QDir>
#include <QFile>

namespace views {

namespace {

QString folderTemplate(const QString& parent)
{
    const QString base = parent.isEmpty() ? QDir::tempPath() : parent;
    return QDir(base).filePath(QStringLiteral("tarvolin-ost2eml-XXXXXX"));
}

} // namespace

RunFolder::RunFolder(const QString& parent) : m_folder(folderTemplate(parent))
{
    // QTemporaryDir makes the folder with mkdtemp's 0700 on Unix; set it again so that no umask
    // or platform difference widens it.
    if (m_folder.isValid())
        QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}

QString RunFolder::path() const
{
    return m_folder.isValid() ? m_folder.path() : QString();
}

void RunFolder::remove()
{
    if (m_folder.isValid())
        m_folder.remove();
}

RunFolder& RunFolder::current()
{
    static RunFolder folder;
    return folder;
}

} // namespace views
