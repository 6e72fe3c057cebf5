#include "EmlFilesDestination.h"

#include "NewFile.h"

#include <QDir>

namespace engine {

namespace {

class EmlFilesFolder : public DestinationFolder
{
public:
    explicit EmlFilesFolder(QString directory) : m_directory(std::move(directory)) {}

    Result write(const DestinationMail& mail, QString* failure) override
    {
        switch (NewFile::write(m_directory, mail.baseName, QStringLiteral(".eml"), mail.bytes, failure)) {
        case NewFile::Outcome::Written:
            return Result::Written;
        case NewFile::Outcome::AlreadyThere:
            return Result::AlreadyThere;
        case NewFile::Outcome::Failed:
            break;
        }
        return Result::Failed;
    }

private:
    QString m_directory;
};

} // namespace

std::unique_ptr<DestinationFolder> EmlFilesDestination::openFolder(const Folder& folder, QString* failure)
{
    if (!QDir().mkpath(folder.directory)) {
        *failure = QStringLiteral("cannot create the folder ") + folder.directory;
        return nullptr;
    }
    NewFile::removeLeftovers(folder.directory);
    return std::make_unique<EmlFilesFolder>(folder.directory);
}

} // namespace engine
