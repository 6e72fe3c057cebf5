#include "SpecialFolders.h"

#include "Item.h"
#include "StoreError.h"

#include <QtEndian>

namespace store {

namespace {

constexpr std::uint32_t kRecordKey = 0x0FF9;
constexpr std::uint32_t kWastebasket = 0x35E3; // PR_IPM_WASTEBASKET_ENTRYID
constexpr std::uint32_t kSentMail = 0x35E4;    // PR_IPM_SENTMAIL_ENTRYID
constexpr std::uint32_t kFirstDefaultFolder = 0x36D0; // PR_IPM_APPOINTMENT_ENTRYID ...
constexpr std::uint32_t kDrafts = 0x36D7;             // ... PR_IPM_DRAFTS_ENTRYID
constexpr std::uint32_t kAdditionalRen = 0x36D8;      // PR_ADDITIONAL_REN_ENTRYIDS
constexpr int kJunkIndex = 4;                         // its value for Junk E-mail

template <typename Read>
auto orNothing(Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const StoreError&) {
        return {};
    }
}

} // namespace

std::optional<std::uint32_t> entryIdTarget(const QByteArray& entryId, const QByteArray& recordKey)
{
    if (entryId.size() != 24 || (recordKey.size() == 16 && entryId.mid(4, 16) != recordKey))
        return std::nullopt;
    const auto target = qFromLittleEndian<std::uint32_t>(entryId.constData() + 20);
    if (target == 0)
        return std::nullopt;
    return target;
}

std::map<std::uint32_t, SpecialFolder> specialFolders(const Store& store)
{
    std::map<SpecialFolder, std::uint32_t> found;
    QByteArray recordKey;
    const auto name = [&](SpecialFolder kind, const std::optional<QByteArray>& entryId) {
        if (found.count(kind) || !entryId)
            return;
        if (const auto target = entryIdTarget(*entryId, recordKey))
            found.emplace(kind, *target);
    };
    const auto namesOfRoot = [&](const Item& folder) {
        name(SpecialFolder::Drafts, orNothing([&] { return folder.binary(kDrafts, 0); }));
        if (const auto ren = orNothing([&] { return folder.binary(kAdditionalRen, 0); })) {
            if (const std::vector<QByteArray> ids = multipleValues(*ren); ids.size() > static_cast<std::size_t>(kJunkIndex))
                name(SpecialFolder::JunkEmail, ids[kJunkIndex]);
        }
    };

    if (const std::unique_ptr<Item> messageStore = orNothing([&] { return store.messageStore(); })) {
        recordKey = orNothing([&] { return messageStore->binary(kRecordKey, 0); }).value_or(QByteArray());
        name(SpecialFolder::DeletedItems, orNothing([&] { return messageStore->binary(kWastebasket, 0); }));
        name(SpecialFolder::SentItems, orNothing([&] { return messageStore->binary(kSentMail, 0); }));
    }
    const std::unique_ptr<Item> root = orNothing([&] { return store.rootFolder(); });
    if (!root)
        return {};
    namesOfRoot(*root);

    // The folders below each top folder, where the special ones are.
    struct Candidate
    {
        std::uint32_t identifier;
        QString name;
        bool namesDefaultFolders;
    };
    std::vector<Candidate> candidates;
    const int tops = orNothing([&] { return root->subFolderCount(); });
    for (int t = 0; t < tops; ++t) {
        const std::unique_ptr<Item> top = orNothing([&] { return root->subFolder(t); });
        if (!top)
            continue;
        const int count = orNothing([&] { return top->subFolderCount(); });
        for (int i = 0; i < count; ++i) {
            const std::unique_ptr<Item> folder = orNothing([&] { return top->subFolder(i); });
            if (!folder)
                continue;
            const std::optional<std::uint32_t> identifier =
                orNothing([&] { return std::optional<std::uint32_t>(folder->identifier()); });
            if (!identifier)
                continue;
            Candidate candidate{*identifier,
                                QString::fromUtf8(orNothing([&] { return folder->utf8String(0x3001, 0); })
                                                      .value_or(QByteArray())),
                                false};
            for (std::uint32_t id = kFirstDefaultFolder; id <= kDrafts && !candidate.namesDefaultFolders; ++id)
                candidate.namesDefaultFolders = orNothing([&] { return folder->binary(id, 0); }).has_value();
            if (candidate.namesDefaultFolders && !found.count(SpecialFolder::Inbox)) {
                found.emplace(SpecialFolder::Inbox, candidate.identifier);
                namesOfRoot(*folder);
            }
            candidates.push_back(std::move(candidate));
        }
    }
    const std::pair<SpecialFolder, const char*> englishNames[] = {
        {SpecialFolder::Inbox, "Inbox"},
        {SpecialFolder::SentItems, "Sent Items"},
        {SpecialFolder::Drafts, "Drafts"},
        {SpecialFolder::DeletedItems, "Deleted Items"},
        {SpecialFolder::JunkEmail, "Junk E-mail"},
    };
    for (const auto& [kind, english] : englishNames) {
        if (found.count(kind))
            continue;
        for (const Candidate& candidate : candidates) {
            if (candidate.name.compare(QLatin1String(english), Qt::CaseInsensitive) == 0) {
                found.emplace(kind, candidate.identifier);
                break;
            }
        }
    }
    std::map<std::uint32_t, SpecialFolder> byFolder;
    for (const auto& [kind, identifier] : found)
        byFolder.emplace(identifier, kind); // a folder named twice keeps its first use
    return byFolder;
}

} // namespace store
