#pragma once

#include <QString>

namespace views {

// The folder tree's 17 images by index, and which one a folder gets from its name. The app maps
// the indices (or the names) to pictures.
class FolderImage
{
public:
    static constexpr int Count = 17;
    enum Index : int
    {
        ClosedFolder = 0,
        OpenFolder = 1,
        HouseWithClock = 2,
        Calendar = 3,
        Contacts = 4,
        DeletedItems = 5,
        Drafts = 6,
        Inbox = 7,
        Journal = 8,
        JunkEmails = 9,
        Notes = 10,
        Outbox = 11,
        SentItems = 12,
        Tasks = 13,
        SyncIssues = 14,
        OpenEnvelope = 15,
        StackedTrays = 16,
    };

    // The image of a folder labelled `label`: the well-known name's image when the upper-cased
    // label equals one exactly ("INBOX" -> 7), else ClosedFolder.
    static int indexForFolderName(const QString& label);
    // A stable file-style name of image `index` ("closed-folder", "inbox", ...); empty when out
    // of range.
    static QString name(int index);
};

} // namespace views
