#include "FolderImage.h"

#include <array>

namespace views {

namespace {

struct WellKnownFolder
{
    const char16_t* upperName;
    int index;
};

// Tested in this order; the first exact match wins.
constexpr std::array<WellKnownFolder, 12> wellKnownFolders{{
    {u"CALENDAR", FolderImage::Calendar},
    {u"CONTACTS", FolderImage::Contacts},
    {u"DELETED ITEMS", FolderImage::DeletedItems},
    {u"DRAFTS", FolderImage::Drafts},
    {u"INBOX", FolderImage::Inbox},
    {u"JOURNAL", FolderImage::Journal},
    {u"JUNK E-MAILS", FolderImage::JunkEmails},
    {u"NOTES", FolderImage::Notes},
    {u"OUTBOX", FolderImage::Outbox},
    {u"SENT ITEMS", FolderImage::SentItems},
    {u"TASKS", FolderImage::Tasks},
    {u"SYNC ISSUES", FolderImage::SyncIssues},
}};

constexpr std::array<const char*, FolderImage::Count> imageNames{
    "closed-folder", "open-folder", "house-with-clock", "calendar",      "contacts",      "deleted-items",
    "drafts",        "inbox",       "journal",          "junk-emails",   "notes",         "outbox",
    "sent-items",    "tasks",       "sync-issues",      "open-envelope", "stacked-trays",
};

} // namespace

int FolderImage::indexForFolderName(const QString& label)
{
    const QString upper = label.toUpper();
    for (const WellKnownFolder& folder : wellKnownFolders) {
        if (upper == QStringView(folder.upperName))
            return folder.index;
    }
    return ClosedFolder;
}

QString FolderImage::name(int index)
{
    if (index < 0 || index >= Count)
        return {};
    return QString::fromLatin1(imageNames[static_cast<std::size_t>(index)]);
}

} // namespace views
