#pragma once

#include <QString>
#include <QTemporaryDir>

namespace views {

// A folder that only this run of the program uses: the preview pages, the body files, the status
// pages and the attachments the scan saves all go into it. Made on construction with a random
// name and owner-only access (0700) inside `parent`, removed with everything in it on
// destruction. The temporary folder is shared by every user of the machine; fixed names there
// would let others read the mail being shown or plant links where the program writes.
class RunFolder
{
public:
    // `parent` empty: the temporary folder (TMPDIR). Not the runtime folder: the attachments a
    // scan saves can be large, and that folder is a small memory file system.
    explicit RunFolder(const QString& parent = {});
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    bool isValid() const { return m_folder.isValid(); }
    // The folder's path, without a trailing separator; empty when it could not be made.
    QString path() const;
    // Removes the folder now (also what the destructor does).
    void remove();

    // The program run's folder, made on first use and removed at normal exit. Any thread.
    static RunFolder& current();

private:
    QTemporaryDir m_folder;
};

} // namespace views
