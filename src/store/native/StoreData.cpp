#include "StoreData.h"

#include "Bytes.h"
#include "Heap.h"
#include "PropertyContext.h"
#include "store/CodePage.h"
#include "store/StoreError.h"

#include <QStringDecoder>
#include <algorithm>
#include <limits>
#include <map>

namespace store::native {

namespace {

constexpr std::uint32_t kNameToIdMapNid = 0x61;
constexpr std::uint16_t kNameGuidStream = 0x0002;
constexpr std::uint16_t kNameStringStream = 0x0004;
constexpr std::uint16_t kMessageCodePage = 0x3FFD;
constexpr std::uint16_t kInternetCodePage = 0x3FDE;
constexpr std::uint16_t kSubject = 0x0037;
constexpr std::uint16_t kDisplayName = 0x3001;
// Messages sampled across the store to find its code page.
constexpr std::size_t kCodePageSample = 200;

std::optional<std::uint32_t> inlineInteger(const std::vector<PropertyEntry>& entries, std::uint16_t id)
{
    for (const PropertyEntry& e : entries) {
        if (e.storedId == id && e.type == 0x0003 && e.storage == PropertyEntry::Storage::Inline)
            return get32(e.inlineBytes);
    }
    return std::nullopt;
}

// An 8-bit text property of a property context, where it is in the heap.
std::optional<QByteArray> string8(const Heap& heap, const std::vector<PropertyEntry>& entries,
                                  std::uint16_t id)
{
    for (const PropertyEntry& e : entries) {
        if (e.storedId == id && e.type == 0x001E && e.storage == PropertyEntry::Storage::Heap) {
            const QByteArrayView bytes = heap.allocation(e.reference);
            if (!bytes.isEmpty())
                return QByteArray(bytes.data(), bytes.size());
        }
    }
    return std::nullopt;
}

// Whether a decoded text shows signs of the wrong code page: bytes it could not decode, C1
// controls (what Windows-1252 makes of the bytes it leaves undefined) or unassigned characters.
bool looksMisdecoded(const QString& text)
{
    for (const QChar c : text) {
        if (c == QChar::ReplacementCharacter || (c.unicode() >= 0x80 && c.unicode() <= 0x9F) ||
            c.category() == QChar::Other_NotAssigned)
            return true;
    }
    return false;
}

// How many of the texts do not decode cleanly in the code page.
int undecodable(const std::vector<QByteArray>& texts, int codePage)
{
    const std::optional<QByteArray> name = codePageName(codePage);
    if (!name)
        return static_cast<int>(texts.size());
    int count = 0;
    for (const QByteArray& text : texts) {
        QStringDecoder decoder(name->constData());
        const QString decoded = decoder.decode(text);
        if (!decoder.isValid() || decoder.hasError() || looksMisdecoded(decoded))
            ++count;
    }
    return count;
}

} // namespace

StoreData::StoreData(const QString& path, int codePage) : m_ndb(path), m_givenCodePage(codePage) {}

StoreData::StoreData(const QString& path, int codePage, std::vector<BlockEntry> found)
    : m_ndb(path, std::move(found)), m_givenCodePage(codePage)
{
}

const NameToIdMap& StoreData::names() const
{
    std::call_once(m_namesRead, [this] {
        // Without a readable map, named properties keep their stored ids.
        try {
            const NodeEntry& node = m_ndb.nodes().get(kNameToIdMapNid);
            const Heap heap(m_ndb.readLeaves(node.bidData), node.nid);
            const std::vector<SubnodeEntry> subnodes = m_ndb.readSubnodes(node.bidSub);
            // The map's streams: GUIDs of the property sets, name records, string names.
            QByteArray streams[3];
            for (const PropertyEntry& e : readPropertyContext(heap)) {
                if (e.storedId < kNameGuidStream || e.storedId > kNameStringStream || e.type != 0x0102)
                    continue;
                QByteArray& stream = streams[e.storedId - kNameGuidStream];
                if (e.storage == PropertyEntry::Storage::Heap) {
                    const QByteArrayView bytes = heap.allocation(e.reference);
                    stream = QByteArray(bytes.data(), bytes.size());
                } else if (e.storage == PropertyEntry::Storage::Subnode) {
                    for (const SubnodeEntry& s : subnodes) {
                        if (s.nid == e.reference)
                            stream = m_ndb.readValue(s.bidData);
                    }
                }
            }
            m_names = NameToIdMap(streams[1], streams[0], streams[2]);
        } catch (const StoreError&) {
        }
    });
    return m_names;
}

CodePageChoice StoreData::codePageChoice() const
{
    if (m_givenCodePage > 0)
        return CodePageChoice{m_givenCodePage, CodePageChoice::Origin::Given};
    std::call_once(m_codePageRead, [this] {
        const std::vector<NodeEntry>& nodes = m_ndb.nodes().nodes();
        std::vector<const NodeEntry*> messages;
        std::vector<const NodeEntry*> folders;
        for (const NodeEntry& node : nodes) {
            if (nidType(node.nid) == NidType::NormalMessage)
                messages.push_back(&node);
            else if (nidType(node.nid) == NidType::NormalFolder && folders.size() < kCodePageSample)
                folders.push_back(&node);
        }
        const std::size_t step = std::max<std::size_t>(1, messages.size() / kCodePageSample);
        // PR_MESSAGE_CODEPAGE names the code page of a message's 8-bit texts; PR_INTERNET_CPID that
        // of its Internet form, which often differs, so it counts only where no message names the
        // former, and not when it names a Unicode form or US-ASCII: 8-bit texts in a store are in
        // a Windows code page, which is also why an Internet code page counts as the Windows code
        // page of its script.
        struct Votes
        {
            int count = 0;
            std::map<int, int> named;
        };
        std::map<int, Votes> votes[2];
        std::vector<QByteArray> texts;
        int sampled = 0;
        for (std::size_t i = 0; i < messages.size(); i += step) {
            try {
                const Heap heap(m_ndb.readLeaves(messages[i]->bidData), messages[i]->nid);
                const std::vector<PropertyEntry> entries = readPropertyContext(heap);
                ++sampled;
                if (std::optional<QByteArray> subject = string8(heap, entries, kSubject))
                    texts.push_back(std::move(*subject));
                for (int kind = 0; kind < 2; ++kind) {
                    const std::optional<std::uint32_t> page =
                        inlineInteger(entries, kind == 0 ? kMessageCodePage : kInternetCodePage);
                    if (page && codePageName(windowsCodePage(static_cast<int>(*page))) &&
                        (kind == 0 ? *page != 1200 && *page != 1201
                                   : *page != 1200 && *page != 1201 && *page != 65000 && *page != 65001 &&
                                         *page != 20127)) {
                        Votes& v = votes[kind][windowsCodePage(static_cast<int>(*page))];
                        ++v.count;
                        ++v.named[static_cast<int>(*page)];
                        break;
                    }
                }
            } catch (const StoreError&) {
            }
        }
        const int kind = votes[0].empty() ? 1 : 0;
        const std::map<int, Votes>& counted = votes[kind];
        m_codePage.sampled = sampled;
        if (counted.empty())
            return;
        if (counted.size() > 1) {
            for (const NodeEntry* folder : folders) {
                try {
                    const Heap heap(m_ndb.readLeaves(folder->bidData), folder->nid);
                    if (std::optional<QByteArray> name =
                            string8(heap, readPropertyContext(heap), kDisplayName))
                        texts.push_back(std::move(*name));
                } catch (const StoreError&) {
                }
            }
        }
        // The best candidate: fewest texts that do not decode, then most votes.
        std::pair<int, int> best{std::numeric_limits<int>::max(), 0};
        for (const auto& [page, v] : counted) {
            const int unclean = counted.size() > 1 ? undecodable(texts, page) : 0;
            if (unclean < best.first || (unclean == best.first && v.count > best.second)) {
                best = {unclean, v.count};
                m_codePage.codePage = page;
                m_codePage.messages = v.count;
                m_codePage.named =
                    std::max_element(v.named.begin(), v.named.end(), [](const auto& a, const auto& b) {
                        return a.second < b.second;
                    })->first;
            }
        }
        m_codePage.origin =
            kind == 0 ? CodePageChoice::Origin::MessageCodePage : CodePageChoice::Origin::InternetCodePage;
    });
    return m_codePage;
}

} // namespace store::native
